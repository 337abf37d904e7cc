#ifndef QUARNEL_BANKLIST_COLUMNS_H_
#define QUARNEL_BANKLIST_COLUMNS_H_

// Cutting a bank row at its "|" separators and joining it again. No quoting,
// no trimming: k separators give k + 1 columns, empty ones included, and
// joining an unchanged cut gives the text back byte for byte.

#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarnel {

// Column numbers of a BankRow, counted from 1.
namespace column {
enum : int {
  BANKID = 1,
  TRRID,
  ENGINEID,
  NAME,
  MTTO,
  IPADDRESS,
  PCPORT,
  TVUPORT,
  CERTFILENAME,
  CONNTYPE,
  ENTRYNAME,
  TIMEOUT,
  OUTPUTWINSIZE,
  NUMDOC,
  ICONFILENAME,
  FIRSTCONNECTIONSTATUS,
  HTTPS_CONNECTIONSTATUS,
  HTTPS_IPADDRESS,
  HTTPS_PCPORT,
  HTTPS_CERTFILENAME,
  HTTPS_CGIPATH,
};
inline constexpr int kCount = HTTPS_CGIPATH;
}  // namespace column

// A column and the program's own text (UTF-8) that goes into it.
struct ColumnText {
  int column = 0;
  const char* text = nullptr;
};

// The columns of one text, as views. Reusing one Columns from row to row
// costs no allocation once it has held the widest row.
class Columns {
 public:
  // Cuts `text` at every "|". The views point into `text`, which must stay
  // alive and unchanged while they are used. With `up_to`, only the first
  // `up_to` columns are cut apart; what follows them stays one last column,
  // its bars included, so that a rule that reads or writes only the first
  // columns does not pay for the rest of a long row. REQUIRES: up_to >= 1.
  void Cut(std::string_view text, int up_to = std::numeric_limits<int>::max());

  int count() const { return static_cast<int>(columns_.size()); }
  bool Has(int n) const { return n >= 1 && n <= count(); }

  // Column `n`, counted from 1. REQUIRES: Has(n).
  std::string_view Get(int n) const { return columns_[n - 1]; }
  // Gives column `n` a new value, which must stay alive until Join.
  // REQUIRES: Has(n).
  void Set(int n, std::string_view value) { columns_[n - 1] = value; }

  // Replaces *out with the columns joined by "|". `out` must not hold the
  // text that was cut.
  void Join(std::string* out) const;

 private:
  std::vector<std::string_view> columns_;
};

// The number of columns that cutting `text` would give.
int ColumnCount(std::string_view text);

// Column `n` of `text` (counted from 1) as a view into `text`, found without
// cutting the rest; nullopt when `text` has fewer than `n` columns.
std::optional<std::string_view> FindColumn(std::string_view text, int n);

}  // namespace quarnel

#endif  // QUARNEL_BANKLIST_COLUMNS_H_
