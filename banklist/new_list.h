#ifndef QUARNEL_BANKLIST_NEW_LIST_H_
#define QUARNEL_BANKLIST_NEW_LIST_H_

// The new bank code list made from an old one, line by line: the one way the
// update writes it and the preview shows it.

#include <memory>
#include <string>
#include <string_view>

#include "banklist/migrate.h"
#include "platform/env.h"

namespace quarnel {

// Receives the new list in order: the header, every data line of the old
// list with the row it gives (RowSink), then the built-in rows.
class NewListSink : public RowSink {
 public:
  // The fixed header that takes the place of the old list's first line.
  virtual void Header(std::string_view old_first_line, std::string_view header) = 0;
  // The built-in row of a bank that the old list lacks.
  virtual void Appended(std::string_view row) = 0;
};

// Opens the old list `path` the way the update reads it: an ordinary file
// only, refused at once otherwise. A list without even a first line ends the
// run with error 62, before anything is made from it.
std::unique_ptr<LineReader> OpenOldList(Env& env, const std::string& path);

// Makes the new list of `source`, from which nothing has been read yet, into
// `sink`: the fixed header in place of its first line, every further line
// through the row pass, then the built-in row of each bank it lacks.
// `source_name` names the list in messages. Throws what the pass throws.
void MakeNewList(Env& env, LineReader& source, const std::string& source_name, NewListSink& sink);

// MakeNewList writing the new list to `target`.
void WriteNewList(Env& env, LineReader& source, const std::string& source_name, LineWriter& target);

}  // namespace quarnel

#endif  // QUARNEL_BANKLIST_NEW_LIST_H_
