#ifndef QUARNEL_BANKLIST_PREVIEW_H_
#define QUARNEL_BANKLIST_PREVIEW_H_

// A preview: what an update started now would do to a bank code list. The
// new list is made exactly as the update makes it (banklist/new_list.h), but
// nothing is written, created, locked or removed anywhere.

#include <string>
#include <vector>

#include "banklist/refresh.h"
#include "platform/env.h"

namespace quarnel {

struct PreviewCounts {
  long long read = 0;       // data lines of the old list, its first line not counted
  long long unchanged = 0;  // written as they were read
  long long changed = 0;    // written with other bytes
  long long dropped = 0;    // giving no row
  long long appended = 0;   // built-in rows of the banks the list lacks
};

// A bank whose row the update would change, drop or append.
struct BankChange {
  std::string kind;  // "changed", "dropped" or "appended"
  std::string code;  // the row's first four characters
  std::string name;  // its NAME column (the new one where it has one)
};

struct ListPreview {
  // What the update would do with which files, one line each; the first
  // names the case.
  std::vector<std::string> plan;
  // The update's own plan; the preview of a list file by itself has none.
  UpdatePlan update;
  PreviewCounts counts;
  // Each bank once for each kind, in the order of the new list. Code and
  // name are converted from the ANSI code page, for people to read.
  std::vector<BankChange> banks;
  // A unified diff of the old list against the new one, line by line, in
  // the lists' own bytes; lines end in LF.
  std::string diff;
};

// The preview of the update of the installation in `app_path`. Refuses what
// the update refuses, with the same errors and before reading anything: no
// list (53), a read-only one (70), one that is not an ordinary file (75), an
// empty one (62), a row the rules cannot take (9).
ListPreview PreviewInstallation(Env& env, const std::string& app_path);

// The preview of the list file `path` by itself, without an installation
// around it; it is read and refused as the update reads and refuses its list,
// except that a read-only file is read, with a note in the plan that a run
// would refuse it. A folder at `path` is error 75.
ListPreview PreviewListFile(Env& env, const std::string& path);

// "summary: read N, unchanged K, changed C, dropped D, appended A".
std::string SummaryLine(const PreviewCounts& counts);

// The whole report: the plan, the summary, the banks and the diff.
std::string PreviewReport(const ListPreview& preview);

}  // namespace quarnel

#endif  // QUARNEL_BANKLIST_PREVIEW_H_
