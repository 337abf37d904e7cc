#ifndef QUARNEL_BANKLIST_BUILTIN_TABLE_H_
#define QUARNEL_BANKLIST_BUILTIN_TABLE_H_

// The complete rows of the 31 known banks, appended to the new list for every
// bank that the old list lacks, and the set of banks the old list had.

#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/env.h"

namespace quarnel {

inline constexpr int kBuiltInBankCount = 31;

// The 31 rows in table order (AGRL first, SRBN last), each 21 columns joined
// by "|", in the program's own UTF-8 with the endpoint values in place.
std::vector<std::string> BuiltInBankTable();
// Row `index` of BuiltInBankTable alone. REQUIRES: 0 <= index < 31.
std::string BuiltInBankRow(int index);
// The bank codes of the 31 rows, in table order; the views last as long as
// the program. Each needs a rule that marks it (RuleKeys in migrate.h), or an
// old list holding the bank gets its built-in row a second time.
std::vector<std::string_view> BuiltInBankCodes();

// The places of up to 64 distinct four-character codes in a list of them,
// found in one step or a few: every row of a list is looked up by its code.
class CodeIndex {
 public:
  // REQUIRES: every code has four characters, none twice, at most 64 codes.
  explicit CodeIndex(const std::vector<std::string_view>& codes);
  // The place of `code` in the list given, or -1: exact bytes, letter case
  // included.
  int Find(std::string_view code) const;

 private:
  static constexpr int kSlots = 128;
  static size_t SlotOf(uint32_t key);

  std::array<uint32_t, kSlots> keys_{};
  std::array<int8_t, kSlots> places_;  // -1: an empty slot
};

// The bank codes of BuiltInBankTable that began a line of the old list. Starts
// empty; only the table's 31 codes can be in it.
class SeenBankIds {
 public:
  // True when `bank_code` is one of the table's codes and has been marked.
  bool Contains(std::string_view bank_code) const;

 private:
  friend void MarkSeenBank(SeenBankIds& seen, std::string_view bank_code);
  std::bitset<kBuiltInBankCount> flags_;
};

// Adds `bank_code` to `seen` when it equals one of the table's codes exactly
// (letter case included); any other text leaves `seen` as it is.
void MarkSeenBank(SeenBankIds& seen, std::string_view bank_code);

// Writes to `target`, in table order, the row of every bank not in `seen`:
// row_of(i) for the bank at index i of BuiltInBankTable, in the ANSI form that
// MigrationTexts::BuiltInRow gives. Only the rows written are made. Throws
// what the writer throws.
void AppendMissingBanks(LineWriter& target, const SeenBankIds& seen,
                        const std::function<std::string(int)>& row_of);

}  // namespace quarnel

#endif  // QUARNEL_BANKLIST_BUILTIN_TABLE_H_
