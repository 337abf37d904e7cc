#include "banklist/migrate.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "banklist/endpoints.h"
#include "util/byte_match.h"

namespace quarnel {

namespace {

using namespace column;
using enum RuleKind;
using enum SuffixVariant;

// The HTTPS server and certificate of each suffix variant, in the order of
// SuffixVariant.
struct SuffixServer {
  const char* host;
  const char* certificate;
};
constexpr SuffixServer kSuffixServers[] = {
    /* kShared */ {HOST_SHARED_TLS, "bank_kelvi.crt"},
    /* kKobb   */ {HOST_KOBB,       "bank_kobb.crt"},
    /* kBacx   */ {HOST_EKBE,       "bank_bacx.crt"},
};

struct Rule {
  const char* key;
  RuleKind kind;
  SuffixVariant suffix = kShared;
  ColumnText changes[2] = {};
  const char* when_name_is[3] = {};  // kFieldsFirst: the changes apply only to these names
};

// Tested in this order; keys are compared exactly, letter case included. A
// key not listed takes the default rule: the shared suffix, nothing marked.
// Every rule but kDrop marks its bank as seen before it changes anything.
constexpr Rule kRules[] = {
    // key   kind          suffix   column changes
    {"DEMO", kPlain,       kShared},
    {"SRBN", kPlain,       kShared},
    {"KLHB", kPlain,       kShared},
    {"AIKB", kPlain,       kShared},
    {"KOBB", kPlain,       kKobb},
    {"MBSO", kSuffixFirst, kShared, {{NAME, "RAZVOJNA BANKA VOJVODINE AD NOVI SAD"}}},
    {"ETHN", kPlain,       kShared},
    {"KRAG", kPlain,       kShared},
    {"EFGB", kSuffixFirst, kShared, {{NAME, "EUROBANK EFG AD BEOGRAD"}}},
    {"MFBA", kPlain,       kShared},
    {"JUBA", kPlain,       kShared},
    {"VBOE", kPlain,       kShared},
    {"UBBG", kPlain,       kShared},
    {"VBUB", kSuffixFirst, kShared, {{CONNTYPE, "LAN"}}},
    {"PBBB", kPlain,       kShared},
    {"PBPA", kDrop},
    {"MEBA", kSuffixFirst, kShared, {{NAME, "CREDIT AGRICOLE AD NOVI SAD"}}},
    {"BACX", kSuffixFirst, kBacx,   {{NAME, "HVB BANKA SCG - STARI RAČUNI 175"}}},
    {"NOVB", kSuffixFirst, kShared, {{NAME, "ERSTE BANK AD NOVI SAD"}, {IPADDRESS, HOST_NOVB}}},
    {"ZEPT", kSuffixFirst, kShared, {{NAME, "ZEPTER BANKA AD BEOGRAD - STARI RAČUNI 110"}}},
    {"CEBE", kSuffixFirst, kShared, {{NAME, "MARFIN BANK AD BEOGRAD"}}},
    {"DDOR", kDrop},
    {"AGRL", kSuffixFirst, kShared, {{NAME, "AGROBANKA AD BEOGRAD"}}},
    {"EKBE", kEkbe,        kShared},  // kEkbeChanges below
    {"RZBJ", kSuffixFirst, kShared, {{NAME, "RAIFFEISEN BANKA AD BEOGRAD"}}},
    {"KUBK", kFieldsFirst, kShared, {{NAME, "OTP BANKA SRBIJA AD NOVI SAD"}},
     /* when NAME is */ {"KULSKA BANKA AD KULA", "KULSKA BANKA AD NOVI SAD", "OTP SRBIJA"}},
    {"SOGY", kFieldsFirst, kShared, {{NAME, "SOCIETE GENERALE SRBIJA AD BEOGRAD"}},
     /* when NAME is */ {"SOCIETE GENERALE YU BANK"}},
    {"DBDB", kFieldsFirst, kShared, {{NAME, "BANCA INTESA AD BEOGRAD"}},
     /* when NAME is */ {"DELTA BANKA AD BEOGRAD"}},
    {"ALCO", kFieldsFirst, kShared, {{NAME, "KBC BANKA AD BEOGRAD"}},
     /* when NAME is */ {"ALCO BANKA AD BEOGRAD"}},
    {"TUBB", kFieldsFirst, kShared, {{NAME, "FINDOMESTIC BANKA AD BEOGRAD"}},
     /* when NAME is */ {"NOVA BANKA AD BEOGRAD"}},
    {"ATAA", kSuffixFirst, kShared, {{NAME, "PIRAEUS BANK AD BEOGRAD"}}},
    {"CONA", kSuffixFirst, kShared, {{NAME, "NLB BANKA AD BEOGRAD"}}},
    {"PABN", kDrop},
    {"SREB", kDrop},
    {"NLLH", kDrop},
    {"SBPO", kPlain,       kShared},
};

// The EKBE rule's changes, made on the line as read. Besides them, a dial-up
// entry of the former HVB bank is pointed at ADDR_EKBE_INTERNAL instead of
// HOST_EKBE.
constexpr ColumnText kEkbeChanges[] = {
    {NAME,               "UNICREDIT BANK SRBIJA AD BEOGRAD"},
    {MTTO,               "17324918"},
    {IPADDRESS,          HOST_EKBE},
    {CERTFILENAME,       "bank_bacx.crt"},
    {ICONFILENAME,       "hvb.bmp"},
    {HTTPS_IPADDRESS,    HOST_EKBE},
    {HTTPS_CERTFILENAME, "bank_bacx.crt"},
};

MigrationRule ToAnsiRule(Env& env, const Rule& rule) {
  MigrationRule ansi{.key = env.ToAnsi(rule.key), .kind = rule.kind};
  if (rule.kind == kDrop) return ansi;
  ansi.suffix = env.ToAnsi(HttpsSuffix(rule.suffix));
  std::span<const ColumnText> changes = rule.changes;
  if (rule.kind == kEkbe) {
    changes = kEkbeChanges;
    ansi.needs_columns = ENTRYNAME;  // the dial-up test reads CONNTYPE and ENTRYNAME
  }
  for (ColumnText change : changes) {
    if (change.text == nullptr) continue;
    ansi.changes.push_back({change.column, env.ToAnsi(change.text)});
    ansi.needs_columns = std::max(ansi.needs_columns, change.column);
  }
  for (const char* name : rule.when_name_is) {
    if (name == nullptr) continue;
    ansi.when_name_is.push_back(env.ToAnsi(name));
    ansi.needs_columns = std::max(ansi.needs_columns, static_cast<int>(NAME));
  }
  return ansi;
}

// ASCII only: the bytes above 127 are letters of the ANSI code page, and
// none of them folds to H, V or B.
bool ContainsHvbInAnyCase(std::string_view text) {
  auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
  constexpr std::string_view kHvb = "HVB";
  return std::search(text.begin(), text.end(), kHvb.begin(), kHvb.end(),
                     [&upper](char a, char b) { return upper(a) == b; }) != text.end();
}

[[noreturn]] void ThrowMissingColumns(int count, int needed, const SourceLine& line) {
  throw RunError(kErrSubscript, "Migrating the rows of the bank code list: " +
                                    std::string(line.list_name) + ": line " +
                                    std::to_string(line.number) + " (bank code " +
                                    std::string(line.text.substr(0, 4)) + ") has " +
                                    std::to_string(count) + " columns; migrating it needs " +
                                    std::to_string(needed));
}

std::vector<std::string_view> KeysOnly() {
  std::vector<std::string_view> keys;
  for (const Rule& rule : kRules) keys.push_back(rule.key);
  return keys;
}

}  // namespace

std::vector<RuleKey> RuleKeys() {
  std::vector<RuleKey> keys;
  for (const Rule& rule : kRules) keys.push_back({rule.key, rule.kind});
  return keys;
}

std::string HttpsSuffix(SuffixVariant variant) {
  const SuffixServer& server = kSuffixServers[static_cast<int>(variant)];
  return std::string("|HTTPS_CONNECTION_DISABLED|") + server.host + "|443|" +
         server.certificate + "|/cgi-bin/tarvocgi";
}

bool HasHttpsMarker(std::string_view text) {
  // Every row is searched, mostly to its end. A block of places at a time is
  // tested for the marker's first and last letter together; only where both
  // stand is the whole marker compared.
  static constexpr std::string_view kMarker = "HTTPS_CONNECTION";
  constexpr size_t kLast = kMarker.size() - 1;
  if (text.size() < kMarker.size()) return false;
  const char* p = text.data();
  const size_t places = text.size() - kLast;  // where the marker could begin
  const auto marker_at = [&](size_t i) {
    return std::memcmp(p + i, kMarker.data(), kMarker.size()) == 0;
  };
  size_t i = 0;
  for (; i + kBlockSize <= places; i += kBlockSize) {
    Marks both = BlockEqual(p + i, kMarker.front()) & BlockEqual(p + i + kLast, kMarker.back());
    for (; both != 0; both &= both - 1) {
      if (marker_at(i + FirstMark(both))) return true;
    }
  }
  for (; i < places; ++i) {
    if (p[i] == kMarker.front() && marker_at(i)) return true;
  }
  return false;
}

MigrationTexts::MigrationTexts(Env& env)
    : env_(env),
      rule_index_(KeysOnly()),
      shared_suffix_(env.ToAnsi(HttpsSuffix(kShared))),
      ekbe_internal_address_(env.ToAnsi(ADDR_EKBE_INTERNAL)) {
  for (const Rule& rule : kRules) rules_.push_back(ToAnsiRule(env, rule));
}

const MigrationRule* MigrationTexts::FindRule(std::string_view key) const {
  const int place = rule_index_.Find(key);
  return place >= 0 ? &rules_[place] : nullptr;
}

RowMigrator::RowMigrator(const MigrationTexts& texts, SeenBankIds& seen)
    : texts_(texts), seen_(seen) {}

// A row that needs nothing added or changed is handed on as a view of the
// line itself; only the rows that change are copied.
std::string_view RowMigrator::MigrateRow(const SourceLine& line) {
  const std::string_view key = line.text.substr(0, 4);
  const MigrationRule* rule = texts_.FindRule(key);
  if (rule == nullptr) {
    if (line.text.empty()) return {};
    return WithSuffix(line.text, texts_.shared_suffix());
  }
  if (rule->kind == kDrop) return {};
  MarkSeenBank(seen_, key);
  switch (rule->kind) {
    case kPlain:
      return WithSuffix(line.text, rule->suffix);
    case kSuffixFirst:
      return WithChanges(*rule, WithSuffix(line.text, rule->suffix), line);
    case kFieldsFirst:
      return WithSuffix(FieldsFirst(*rule, line), rule->suffix);
    case kEkbe:
      return WithSuffix(Ekbe(*rule, line), rule->suffix);
    case kDrop:
      break;
  }
  return {};
}

std::string_view RowMigrator::WidenMtto(std::string_view row, const SourceLine& line) {
  // Only column 5 matters here, so the row is not cut whole: this step runs
  // on every row written.
  const std::optional<std::string_view> mtto = FindColumn(row, MTTO);
  if (!mtto) ThrowMissingColumns(ColumnCount(row), MTTO, line);
  if (mtto->size() != 7) return row;
  const size_t at = mtto->data() - row.data();
  widened_.assign(row.substr(0, at)).append(1, '0').append(row.substr(at));
  return widened_;
}

std::string_view RowMigrator::WithSuffix(std::string_view row, std::string_view suffix) {
  if (HasHttpsMarker(row)) return row;
  if (row.data() != row_.data()) row_.assign(row);
  row_.append(suffix);
  return row_;
}

std::string_view RowMigrator::WithChanges(const MigrationRule& rule, std::string_view row,
                                          const SourceLine& line) {
  columns_.Cut(row, rule.needs_columns);
  RequireColumns(rule.needs_columns, line);
  SetChanges(rule);
  return JoinIntoRow();
}

std::string_view RowMigrator::FieldsFirst(const MigrationRule& rule, const SourceLine& line) {
  columns_.Cut(line.text, rule.needs_columns);
  RequireColumns(rule.needs_columns, line);
  const std::string_view name = columns_.Get(NAME);
  if (std::find(rule.when_name_is.begin(), rule.when_name_is.end(), name) ==
      rule.when_name_is.end()) {
    return line.text;
  }
  SetChanges(rule);
  return JoinIntoRow();
}

std::string_view RowMigrator::Ekbe(const MigrationRule& rule, const SourceLine& line) {
  // A row of the older form gets its HTTPS columns before the changes, so
  // that EKBE's HTTPS host and certificate land in them instead of the row
  // stopping the run for want of those columns.
  row_.assign(line.text);
  if (!HasHttpsMarker(row_) && ColumnCount(row_) < rule.needs_columns) {
    row_.append(rule.suffix);
  }
  columns_.Cut(row_, rule.needs_columns);
  RequireColumns(rule.needs_columns, line);
  SetChanges(rule);
  if (columns_.Get(CONNTYPE) == "DIALUP" && ContainsHvbInAnyCase(columns_.Get(ENTRYNAME))) {
    columns_.Set(IPADDRESS, texts_.ekbe_internal_address());
  }
  return JoinIntoRow();
}

void RowMigrator::RequireColumns(int needed, const SourceLine& line) const {
  if (columns_.count() < needed) ThrowMissingColumns(columns_.count(), needed, line);
}

void RowMigrator::SetChanges(const MigrationRule& rule) {
  for (const MigrationRule::Change& change : rule.changes) {
    columns_.Set(change.column, change.value);
  }
}

std::string_view RowMigrator::JoinIntoRow() {
  columns_.Join(&scratch_);
  row_.swap(scratch_);
  return row_;
}

void RunRowPass(LineReader& source, RowSink& sink, const MigrationTexts& texts,
                SeenBankIds& seen, const std::string& source_name) {
  RowMigrator migrator(texts, seen);
  std::string storage;
  SourceLine line{.list_name = source_name, .number = 1};
  while (!source.AtEnd()) {
    const std::string_view text = source.NextLine(&storage);
    line.text = text;
    ++line.number;
    const std::string_view row = migrator.MigrateRow(line);
    sink.Row(text, row.empty() ? row : migrator.WidenMtto(row, line));
  }
}

void RunRowPass(LineReader& source, LineWriter& target, const MigrationTexts& texts,
                SeenBankIds& seen, const std::string& source_name) {
  struct Writing final : RowSink {
    explicit Writing(LineWriter& to) : target(to) {}
    void Row(std::string_view, std::string_view row) override {
      if (!row.empty()) target.WriteLine(row);
    }
    LineWriter& target;
  } sink(target);
  RunRowPass(source, sink, texts, seen, source_name);
}

}  // namespace quarnel
