#ifndef QUARNEL_APP_PREVIEW_H_
#define QUARNEL_APP_PREVIEW_H_

// The preview command: what an update would do to the list, touching nothing.

#include <string>

#include "banklist/preview.h"
#include "platform/env.h"

namespace quarnel {

// True for the argument texts that ask for a preview: "--preview" alone, or
// followed by a blank and the path of a list file.
bool IsPreviewRequest(const std::string& arguments);

// Makes the preview that `arguments` ask for -- of the installation, or of
// the list file they name -- and shows the whole report on standard output.
// Where the program has none, a message box shows the case, the summary and
// the banks that would change, and says how to get the whole report. No
// question, no database, no file written. Throws RunError as the update
// would for the same list.
void RunPreview(Env& env, const std::string& arguments);

// The text of that message box.
std::string PreviewBoxText(const ListPreview& preview, const std::string& command);

}  // namespace quarnel

#endif  // QUARNEL_APP_PREVIEW_H_
