#ifndef QUARNEL_BANKLIST_MIGRATE_H_
#define QUARNEL_BANKLIST_MIGRATE_H_

// The row pass: every data line of the old bank code list goes through a
// per-bank rule chosen by its first four characters, then through the MTTO
// step, and is written to the new list (or dropped).

#include <string>
#include <string_view>
#include <vector>

#include "banklist/builtin_table.h"
#include "banklist/columns.h"
#include "platform/env.h"

namespace quarnel {

// The three tails that bring a row of the older 16-column form to 21 columns.
enum class SuffixVariant { kShared, kKobb, kBacx };

// Columns 17 to 21 for a row of the older form, beginning with "|"; the
// variants differ in the HTTPS host and certificate. ASCII.
std::string HttpsSuffix(SuffixVariant variant);

// True when "HTTPS_CONNECTION" occurs anywhere in `text` (exact letter case):
// the row is in the current form and gets no suffix.
bool HasHttpsMarker(std::string_view text);

enum class RuleKind {
  kPlain,        // the suffix when the marker is missing
  kSuffixFirst,  // the suffix when the marker is missing, then the changes
  kFieldsFirst,  // the changes when NAME is a listed name, then the suffix
  kEkbe,         // EKBE's own changes, then the suffix
  kDrop,         // the bank no longer exists: no row
};

// A key of the rule table with its rule's kind.
struct RuleKey {
  std::string_view key;  // ASCII, exactly as the table spells it
  RuleKind kind;
};

// Every key of the rule table, in the order they are tested. A rule of any
// kind but kDrop marks its bank as seen, so its key must be a code of
// BuiltInBankCodes; the views last as long as the program.
std::vector<RuleKey> RuleKeys();

// One rule of the rule table, its texts in the ANSI code page.
struct MigrationRule {
  struct Change {
    int column;
    std::string value;
  };
  std::string key;
  RuleKind kind = RuleKind::kPlain;
  std::string suffix = {};                     // empty for kDrop
  std::vector<Change> changes = {};            // in the order they are made
  std::vector<std::string> when_name_is = {};  // kFieldsFirst only
  int needs_columns = 0;                  // the highest column the rule reads or writes
};

// The program's own texts that the update writes or compares with the list's
// bytes -- rules, suffixes, built-in rows -- converted once into the ANSI code
// page with Env::ToAnsi.
class MigrationTexts {
 public:
  explicit MigrationTexts(Env& env);

  // The rule whose key equals `key` exactly, or nullptr for the default rule.
  const MigrationRule* FindRule(std::string_view key) const;
  const std::string& shared_suffix() const { return shared_suffix_; }
  const std::string& ekbe_internal_address() const { return ekbe_internal_address_; }
  // Row `index` of BuiltInBankTable, converted when asked for: a list that
  // has every bank needs none of them.
  std::string BuiltInRow(int index) const { return env_.ToAnsi(BuiltInBankRow(index)); }

 private:
  Env& env_;
  std::vector<MigrationRule> rules_;
  CodeIndex rule_index_;
  std::string shared_suffix_;
  std::string ekbe_internal_address_;
};

// One line of the old list and where it stands, for the error message.
struct SourceLine {
  std::string_view text = {};       // as read, without its line end
  std::string_view list_name = {};  // the list's path as messages show it
  long long number = 0;             // the header is line 1
};

// Migrates lines one at a time, reusing its buffers so that a row costs no
// allocation once they have grown. The views it returns stay valid until the
// next call, and while the line's text does: a row that is not changed is the
// line itself.
class RowMigrator {
 public:
  RowMigrator(const MigrationTexts& texts, SeenBankIds& seen);

  // The output row of `line` (empty: nothing is written for it). Marks the
  // line's bank in `seen` first when its rule is one that marks. Throws
  // RunError 9 naming the list, the line number and the bank code when the
  // rule needs a column that the line lacks.
  std::string_view MigrateRow(const SourceLine& line);

  // The MTTO step on `row`, the output row of `line`: a column 5 of exactly
  // seven characters gains a leading "0". Throws RunError 9 like MigrateRow
  // when `row` has no column 5.
  std::string_view WidenMtto(std::string_view row, const SourceLine& line);

 private:
  // `row` with `suffix` appended when it lacks the HTTPS marker.
  std::string_view WithSuffix(std::string_view row, std::string_view suffix);
  // `row` with the rule's changes made.
  std::string_view WithChanges(const MigrationRule& rule, std::string_view row,
                               const SourceLine& line);
  // The line with the rule's changes made when its NAME is one of the rule's.
  std::string_view FieldsFirst(const MigrationRule& rule, const SourceLine& line);
  // The line with EKBE's changes made.
  std::string_view Ekbe(const MigrationRule& rule, const SourceLine& line);
  void RequireColumns(int needed, const SourceLine& line) const;
  void SetChanges(const MigrationRule& rule);
  // The columns joined into row_.
  std::string_view JoinIntoRow();

  const MigrationTexts& texts_;
  SeenBankIds& seen_;
  Columns columns_;
  std::string row_;
  std::string scratch_;
  std::string widened_;
};

// Receives each data line of the old list with what the row pass makes of it.
class RowSink {
 public:
  virtual ~RowSink() = default;
  // `row` is what the new list gets for `line`, after the MTTO step; empty
  // when the line gives no row. Both views last until the call returns.
  virtual void Row(std::string_view line, std::string_view row) = 0;
};

// Reads every remaining line of `source` (positioned after its first line),
// hands each to `sink` with what MigrateRow and the MTTO step make of it, and
// marks the banks met in `seen`. `source_name` is the list's path as messages
// show it. A missing column ends the pass with RunError 9 before the line
// reaches `sink`; read failures and what `sink` throws propagate.
void RunRowPass(LineReader& source, RowSink& sink, const MigrationTexts& texts,
                SeenBankIds& seen, const std::string& source_name);

// The row pass writing every row that is not empty to `target`.
void RunRowPass(LineReader& source, LineWriter& target, const MigrationTexts& texts,
                SeenBankIds& seen, const std::string& source_name);

}  // namespace quarnel

#endif  // QUARNEL_BANKLIST_MIGRATE_H_
