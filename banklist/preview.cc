#include "banklist/preview.h"

#include <deque>
#include <memory>
#include <set>
#include <string_view>
#include <utility>

#include "banklist/new_list.h"
#include "banklist/refresh.h"

namespace quarnel {

namespace {

// Lines of unchanged text shown around each change.
constexpr size_t kContextLines = 3;

// Builds a unified diff from the old and the new list walked side by side:
// each old line is kept, replaced or removed where it stands, and new lines
// are only ever added at the end, so no search for a match is needed. A
// replaced line is shown as its "-" line followed at once by its "+" line,
// so the columns that differ stand one above the other.
class UnifiedDiff {
 public:
  UnifiedDiff(const std::string& old_name, const std::string& new_name)
      : text_("--- " + old_name + "\n+++ " + new_name + "\n") {}

  void Same(std::string_view line) {
    gap_.emplace_back(line);
    if (in_hunk_ && gap_.size() > 2 * kContextLines) {
      CloseHunk();
    } else if (!in_hunk_ && gap_.size() > kContextLines) {
      gap_.pop_front();
    }
    ++old_line_;
    ++new_line_;
  }
  void Removed(std::string_view line) {
    OpenHunk();
    Add('-', line);
    ++old_count_;
    ++old_line_;
  }
  void Added(std::string_view line) {
    OpenHunk();
    Add('+', line);
    ++new_count_;
    ++new_line_;
  }

  std::string Finish() {
    if (in_hunk_) CloseHunk();
    return std::move(text_);
  }

 private:
  void OpenHunk() {
    if (!in_hunk_) {
      in_hunk_ = true;
      old_start_ = old_line_ - static_cast<long long>(gap_.size());
      new_start_ = new_line_ - static_cast<long long>(gap_.size());
      old_count_ = new_count_ = 0;
      body_.clear();
    }
    for (const std::string& line : gap_) Add(' ', line);
    old_count_ += static_cast<long long>(gap_.size());
    new_count_ += static_cast<long long>(gap_.size());
    gap_.clear();
  }

  // Ends the hunk with at most kContextLines of the unchanged lines after
  // its last change, and keeps as many of the latest ones for the next.
  void CloseHunk() {
    const size_t trailing = std::min(gap_.size(), kContextLines);
    for (size_t i = 0; i < trailing; ++i) Add(' ', gap_[i]);
    old_count_ += static_cast<long long>(trailing);
    new_count_ += static_cast<long long>(trailing);
    // An empty side is named by the line before it.
    text_ += "@@ -" + std::to_string(old_count_ == 0 ? old_start_ - 1 : old_start_) + "," +
             std::to_string(old_count_) + " +" +
             std::to_string(new_count_ == 0 ? new_start_ - 1 : new_start_) + "," +
             std::to_string(new_count_) + " @@\n";
    text_ += body_;
    in_hunk_ = false;
    while (gap_.size() > kContextLines) gap_.pop_front();
  }

  void Add(char mark, std::string_view line) {
    body_ += mark;
    body_ += line;
    body_ += '\n';
  }

  std::string text_;
  std::string body_;
  std::deque<std::string> gap_;  // unchanged lines since the last change
  bool in_hunk_ = false;
  long long old_line_ = 1;  // the number of the next line of each side
  long long new_line_ = 1;
  long long old_start_ = 0;
  long long new_start_ = 0;
  long long old_count_ = 0;
  long long new_count_ = 0;
};

// Counts, lists and diffs the new list as the update makes it.
class PreviewSink final : public NewListSink {
 public:
  PreviewSink(Env& env, ListPreview& preview, const std::string& old_name,
              const std::string& new_name)
      : env_(env), preview_(preview), diff_(old_name, new_name) {}

  void Header(std::string_view old_first_line, std::string_view header) override {
    Pair(old_first_line, header);
  }
  void Row(std::string_view line, std::string_view row) override {
    PreviewCounts& counts = preview_.counts;
    ++counts.read;
    if (row.empty()) {
      ++counts.dropped;
      diff_.Removed(line);
      NoteBank("dropped", line);
    } else if (row == line) {
      ++counts.unchanged;
      diff_.Same(line);
    } else {
      ++counts.changed;
      Pair(line, row);
      NoteBank("changed", row);
    }
  }
  void Appended(std::string_view row) override {
    ++preview_.counts.appended;
    diff_.Added(row);
    NoteBank("appended", row);
  }

  void Finish() { preview_.diff = diff_.Finish(); }

 private:
  void Pair(std::string_view old_line, std::string_view new_line) {
    if (old_line == new_line) {
      diff_.Same(old_line);
      return;
    }
    diff_.Removed(old_line);
    diff_.Added(new_line);
  }

  // The bank of `row` (its first four characters, as the rules key it) with
  // its NAME column, once for each kind. An empty line names no bank.
  void NoteBank(const char* kind, std::string_view row) {
    const std::string_view code = row.substr(0, 4);
    if (code.empty() || !noted_.emplace(kind, std::string(code)).second) return;
    std::string_view name;
    size_t at = 0;
    for (int column = 1; column < 4 && at != std::string_view::npos; ++column) {
      at = row.find('|', at);
      if (at != std::string_view::npos) ++at;
    }
    if (at != std::string_view::npos) name = row.substr(at, row.find('|', at) - at);
    preview_.banks.push_back({kind, env_.FromAnsi(code), env_.FromAnsi(name)});
  }

  Env& env_;
  ListPreview& preview_;
  UnifiedDiff diff_;
  std::set<std::pair<std::string, std::string>> noted_;
};

void MakePreview(Env& env, const std::string& source_name, const std::string& new_name,
                 ListPreview& preview) {
  const std::unique_ptr<LineReader> source = OpenOldList(env, source_name);
  PreviewSink sink(env, preview, source_name, new_name + "\t(after the update)");
  MakeNewList(env, *source, source_name, sink);
  source->Close();
  sink.Finish();
}

}  // namespace

ListPreview PreviewInstallation(Env& env, const std::string& app_path) {
  ListPreview preview;
  const UpdatePlan& update = preview.update = PlanUpdate(env, app_path);
  const ListFiles root = RootListFiles(app_path);
  const ListFiles& at = update.at;
  std::vector<std::string>& plan = preview.plan;
  switch (update.update_case) {
    case UpdateCase::kMoveIntoRs:
      plan.push_back("case A: the list moves into Sifranti\\RS and is updated there");
      plan.push_back("reads: " + root.live);
      plan.push_back("moves it to: " + at.live +
                     (env.IsPresent(at.live, Presence::kFilesOnly)
                          ? " (the list there now is replaced and not kept)"
                          : ""));
      plan.push_back("deletes: " + root.live);
      if (env.IsPresent(root.backup, Presence::kFilesOnly)) {
        plan.push_back("deletes: " + root.backup);
      }
      break;
    case UpdateCase::kUpdateRs:
      plan.push_back("case B: the list in Sifranti\\RS is updated in place");
      plan.push_back("reads: " + at.live);
      break;
    case UpdateCase::kUpdateRoot:
    case UpdateCase::kNoList:  // refused by PlanUpdate
      plan.push_back("case C: the list in the program's folder is updated in place");
      plan.push_back("reads: " + at.live);
      break;
  }
  plan.push_back("backs up to: " + at.backup + " (a copy of the list as it is now)");
  plan.push_back("replaces: " + at.live + " (with the new list below)");
  MakePreview(env, update.source, at.live, preview);
  return preview;
}

ListPreview PreviewListFile(Env& env, const std::string& path) {
  if (!env.IsPresent(path, Presence::kFilesOnly)) {
    // A folder is present to a search that admits folders, and no file.
    if (!env.FileExists(path) && env.IsPresent(path, Presence::kFilesAndDirectories)) {
      throw RunError(kErrPathFileAccess, "Looking for the bank code list: " + path +
                                             ": it is a folder, not a list file");
    }
    throw RunError(kErrFileNotFound,
                   "Looking for the bank code list: " + path + ": it does not exist");
  }
  ListPreview preview;
  preview.plan.push_back("list file: " + path +
                         " (by itself: a run updates only the list beside the program)");
  // Collections of lists are often kept read-only; reading one is harmless,
  // and only a run would refuse it.
  if (env.IsReadOnly(path)) {
    preview.plan.push_back("note: the file is read-only: a run would refuse it (error " +
                           std::to_string(kErrPermissionDenied) +
                           ") until the attribute is cleared");
  }
  MakePreview(env, path, path, preview);
  return preview;
}

std::string SummaryLine(const PreviewCounts& counts) {
  return "summary: read " + std::to_string(counts.read) + ", unchanged " +
         std::to_string(counts.unchanged) + ", changed " + std::to_string(counts.changed) +
         ", dropped " + std::to_string(counts.dropped) + ", appended " +
         std::to_string(counts.appended);
}

std::string PreviewReport(const ListPreview& preview) {
  std::string report =
      "Quarnel preview: what a run started now would do; nothing has been changed.\n";
  for (const std::string& line : preview.plan) report += line + "\n";
  report += SummaryLine(preview.counts) + "\n";
  for (const BankChange& bank : preview.banks) {
    report += bank.kind + ": " + bank.code + " " + bank.name + "\n";
  }
  report += "\n" + preview.diff;
  return report;
}

}  // namespace quarnel
