#include "banklist/migrate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "banklist/endpoints.h"
#include "testing/fails_cleanly.h"

namespace quarnel {
namespace {

const std::string kTls = HOST_SHARED_TLS;
const std::string kEkbe = HOST_EKBE;

// Columns 17 to 21 as the shared, KOBB and BACX suffixes write them.
const std::string kSharedTail =
    "|HTTPS_CONNECTION_DISABLED|" + kTls + "|443|bank_kelvi.crt|/cgi-bin/tarvocgi";
const std::string kKobbTail =
    "|HTTPS_CONNECTION_DISABLED|" + std::string(HOST_KOBB) + "|443|bank_kobb.crt|/cgi-bin/tarvocgi";
const std::string kBacxTail =
    "|HTTPS_CONNECTION_DISABLED|" + kEkbe + "|443|bank_bacx.crt|/cgi-bin/tarvocgi";

// Columns 17 to 21 of a row already in the current form, unlike any suffix.
const std::string kOwnTail = "|HTTPS_CONNECTION_ENABLED|tls.old.example|8443|old_tls.crt|/cgi";

// A row of the older 16-column form.
std::string OldRow(const std::string& code, const std::string& name = "OLD NAME",
                   const std::string& conntype = "LAN", const std::string& entry = "Orvane",
                   const std::string& mtto = "12345678") {
  return code + "|100|" + code + "|" + name + "|" + mtto + "|old.example|3600|3604|old.crt|" +
         conntype + "|" + entry + "|3000|50|50|old.bmp|NOT_ESTABLISHED";
}

class MigrateTest : public ::testing::Test {
 protected:
  // What MigrateRow makes of `text`, read as line 7 of "list.dat".
  std::string Migrate(const std::string& text) {
    return std::string(migrator_.MigrateRow({text, "list.dat", 7}));
  }
  // What the row pass writes for `text`: MigrateRow, then the MTTO step.
  std::string Written(const std::string& text) {
    const SourceLine line{text, "list.dat", 7};
    const std::string row(migrator_.MigrateRow(line));
    return row.empty() ? row : std::string(migrator_.WidenMtto(row, line));
  }
  // The RunError that migrating `text` throws.
  RunError FailureOf(const std::string& text) {
    return testing::RunErrorOf([&] { Written(text); });
  }

  std::unique_ptr<Env> env_ = NewPlatformEnv(0, nullptr);
  MigrationTexts texts_{*env_};
  SeenBankIds seen_;
  RowMigrator migrator_{texts_, seen_};
};

TEST_F(MigrateTest, SuffixVariantsCarryColumns17To21) {
  EXPECT_EQ(HttpsSuffix(SuffixVariant::kShared), kSharedTail);
  EXPECT_EQ(HttpsSuffix(SuffixVariant::kKobb), kKobbTail);
  EXPECT_EQ(HttpsSuffix(SuffixVariant::kBacx), kBacxTail);
}

TEST_F(MigrateTest, MarkerIsAnExactSubstringAnywhere) {
  EXPECT_TRUE(HasHttpsMarker("a|xHTTPS_CONNECTIONx"));
  EXPECT_TRUE(HasHttpsMarker("HTTPS_CONNECTION"));
  EXPECT_FALSE(HasHttpsMarker("a|https_connection_disabled"));
  EXPECT_FALSE(HasHttpsMarker("HTTPS_CONNECTIO|N"));
  // At every place of texts longer and shorter than a search block, and
  // with any one of its letters changed.
  const std::string marker = "HTTPS_CONNECTION";
  for (size_t length = marker.size(); length <= 48; ++length) {
    for (size_t at = 0; at + marker.size() <= length; ++at) {
      std::string text(length, 'N');
      text.replace(at, marker.size(), marker);
      EXPECT_TRUE(HasHttpsMarker(text)) << text;
      for (size_t i = 0; i < marker.size(); ++i) {
        std::string spoilt = text;
        spoilt[at + i] = 'H';
        if (i == 0) spoilt[at] = 'h';
        EXPECT_FALSE(HasHttpsMarker(spoilt)) << spoilt;
      }
    }
  }
}

// --- Plain

TEST_F(MigrateTest, PlainRowOfTheOlderFormGetsItsSuffix) {
  EXPECT_EQ(Migrate(OldRow("AIKB")), OldRow("AIKB") + kSharedTail);
  EXPECT_EQ(Migrate(OldRow("KOBB")), OldRow("KOBB") + kKobbTail);
  EXPECT_TRUE(seen_.Contains("AIKB"));
  EXPECT_TRUE(seen_.Contains("KOBB"));
  EXPECT_FALSE(seen_.Contains("DEMO"));
}

TEST_F(MigrateTest, RowWithTheMarkerAnywhereGetsNoSuffix) {
  EXPECT_EQ(Migrate(OldRow("DEMO") + kOwnTail), OldRow("DEMO") + kOwnTail);
  EXPECT_EQ(Migrate("SRBN|x|y|z|m|HTTPS_CONNECTION"), "SRBN|x|y|z|m|HTTPS_CONNECTION");
}

TEST_F(MigrateTest, CurrentRowWithoutTheMarkerGetsASecondSuffix) {
  const std::string row = OldRow("KLHB") + "|DISABLED|h|443|c.crt|/cgi";
  EXPECT_EQ(Migrate(row), row + kSharedTail);
  EXPECT_EQ(ColumnCount(Migrate(row)), 26);
}

// --- The key

TEST_F(MigrateTest, KeyInOtherLetterCaseTakesTheDefaultRule) {
  EXPECT_EQ(Migrate(OldRow("kobb")), OldRow("kobb") + kSharedTail);
  EXPECT_FALSE(seen_.Contains("KOBB"));
}

TEST_F(MigrateTest, KeyIsTheFirstFourCharactersWhateverTheFirstColumn) {
  EXPECT_EQ(Migrate("KOBBX|rest"), "KOBBX|rest" + kKobbTail);
  EXPECT_TRUE(seen_.Contains("KOBB"));
  EXPECT_EQ(Migrate("PBPAPBPA|x"), "");
}

TEST_F(MigrateTest, DefaultRuleSuffixesAnyNonEmptyLineAndMarksNothing) {
  EXPECT_EQ(Migrate(OldRow("ZZZZ")), OldRow("ZZZZ") + kSharedTail);
  EXPECT_EQ(Migrate("AB"), "AB" + kSharedTail);
  EXPECT_EQ(Migrate("no bank row at all"), "no bank row at all" + kSharedTail);
  EXPECT_EQ(Migrate(""), "");
  EXPECT_FALSE(seen_.Contains("ZZZZ"));
}

// --- Drop

TEST_F(MigrateTest, DroppedBanksLeaveNoRowAndMarkNothing) {
  for (const char* code : {"PBPA", "DDOR", "PABN", "SREB", "NLLH"}) {
    EXPECT_EQ(Written(OldRow(code)), "") << code;
    EXPECT_EQ(Written(OldRow(code) + kOwnTail), "") << code;
    EXPECT_EQ(Written(code), "") << code;  // no column needed
    EXPECT_FALSE(seen_.Contains(code)) << code;
  }
}

// --- Suffix first

TEST_F(MigrateTest, SuffixFirstRenamesWhateverTheName) {
  const std::string renamed = OldRow("MBSO", "RAZVOJNA BANKA VOJVODINE AD NOVI SAD") + kSharedTail;
  EXPECT_EQ(Migrate(OldRow("MBSO", "METALS BANKA AD NOVI SAD")), renamed);
  EXPECT_EQ(Migrate(OldRow("MBSO", "RAZVOJNA BANKA VOJVODINE AD NOVI SAD")), renamed);
  EXPECT_EQ(Migrate(OldRow("EFGB", "")), OldRow("EFGB", "EUROBANK EFG AD BEOGRAD") + kSharedTail);
  EXPECT_EQ(Migrate(OldRow("CONA") + kOwnTail), OldRow("CONA", "NLB BANKA AD BEOGRAD") + kOwnTail);
  EXPECT_TRUE(seen_.Contains("MBSO"));
}

TEST_F(MigrateTest, SuffixFirstNamesAreWrittenInTheAnsiCodePage) {
  EXPECT_EQ(Migrate(OldRow("BACX")),
            OldRow("BACX", "HVB BANKA SCG - STARI RA\xC8UNI 175") + kBacxTail);
  EXPECT_EQ(Migrate(OldRow("ZEPT")),
            OldRow("ZEPT", "ZEPTER BANKA AD BEOGRAD - STARI RA\xC8UNI 110") + kSharedTail);
}

TEST_F(MigrateTest, NovbGetsItsHostOnlyForThePlainConnection) {
  std::string expected = "NOVB|100|NOVB|ERSTE BANK AD NOVI SAD|12345678|" +
                         std::string(HOST_NOVB) +
                         "|3600|3604|old.crt|LAN|Orvane|3000|50|50|old.bmp|NOT_ESTABLISHED";
  EXPECT_EQ(Migrate(OldRow("NOVB")), expected + kSharedTail);
}

TEST_F(MigrateTest, VbubAlwaysLeavesWithLan) {
  EXPECT_EQ(Migrate(OldRow("VBUB", "N", "DIALUP")), OldRow("VBUB", "N", "LAN") + kSharedTail);
  EXPECT_EQ(Migrate(OldRow("VBUB", "N", "X") + kOwnTail), OldRow("VBUB", "N", "LAN") + kOwnTail);
  // Six columns and the suffix: column 10 is the suffix's certificate.
  EXPECT_EQ(Migrate("VBUB|||||"),
            "VBUB||||||HTTPS_CONNECTION_DISABLED|" + kTls + "|443|LAN|/cgi-bin/tarvocgi");
}

TEST_F(MigrateTest, EmptyColumnsAndTrailingSeparatorsSurvive) {
  const std::string row = "AGRL||AGRL|OLD||||||||||||" + kOwnTail + "|";
  EXPECT_EQ(Migrate(row), "AGRL||AGRL|AGROBANKA AD BEOGRAD||||||||||||" + kOwnTail + "|");
}

// --- Fields first

TEST_F(MigrateTest, KubkIsRenamedOnlyFromItsListedNames) {
  const std::string otp = "OTP BANKA SRBIJA AD NOVI SAD";
  for (const char* name : {"KULSKA BANKA AD KULA", "KULSKA BANKA AD NOVI SAD", "OTP SRBIJA"}) {
    EXPECT_EQ(Migrate(OldRow("KUBK", name)), OldRow("KUBK", otp) + kSharedTail) << name;
  }
  for (const char* name : {"otp srbija", "OTP SRBIJA ", "Kulska banka ad Kula", "OTHER"}) {
    EXPECT_EQ(Migrate(OldRow("KUBK", name)), OldRow("KUBK", name) + kSharedTail) << name;
  }
  EXPECT_EQ(Migrate(OldRow("KUBK", "OTP SRBIJA") + kOwnTail), OldRow("KUBK", otp) + kOwnTail);
  EXPECT_TRUE(seen_.Contains("KUBK"));
}

TEST_F(MigrateTest, OtherFieldsFirstRulesRenameTheirOldName) {
  const struct {
    const char* code;
    const char* old_name;
    const char* new_name;
  } cases[] = {
      {"SOGY", "SOCIETE GENERALE YU BANK", "SOCIETE GENERALE SRBIJA AD BEOGRAD"},
      {"DBDB", "DELTA BANKA AD BEOGRAD", "BANCA INTESA AD BEOGRAD"},
      {"ALCO", "ALCO BANKA AD BEOGRAD", "KBC BANKA AD BEOGRAD"},
      {"TUBB", "NOVA BANKA AD BEOGRAD", "FINDOMESTIC BANKA AD BEOGRAD"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Migrate(OldRow(c.code, c.old_name)), OldRow(c.code, c.new_name) + kSharedTail);
    EXPECT_EQ(Migrate(OldRow(c.code, "KEPT")), OldRow(c.code, "KEPT") + kSharedTail);
    EXPECT_TRUE(seen_.Contains(c.code)) << c.code;
  }
}

// --- EKBE

// A current EKBE row as EKBE's rule leaves it.
std::string EkbeRow(const std::string& ip, const std::string& conntype, const std::string& entry,
                    const std::string& tail_status, const std::string& tail_rest) {
  return "EKBE|100|EKBE|UNICREDIT BANK SRBIJA AD BEOGRAD|17324918|" + ip +
         "|3600|3604|bank_bacx.crt|" + conntype + "|" + entry +
         "|3000|50|50|hvb.bmp|NOT_ESTABLISHED|" + tail_status + "|" + kEkbe + tail_rest;
}

TEST_F(MigrateTest, EkbeRewritesACurrentRowInPlace) {
  const std::string row = OldRow("EKBE", "HVB BANKA", "LAN", "Orvane", "1234567") + kOwnTail;
  EXPECT_EQ(Written(row), EkbeRow(kEkbe, "LAN", "Orvane", "HTTPS_CONNECTION_ENABLED",
                                  "|8443|bank_bacx.crt|/cgi"));
  EXPECT_TRUE(seen_.Contains("EKBE"));
}

TEST_F(MigrateTest, EkbeDialUpEntriesOfHvbGoToTheInternalAddress) {
  for (const char* entry : {"HVB", "hvb dial", "my HvB", "xhVbx"}) {
    EXPECT_EQ(Migrate(OldRow("EKBE", "N", "DIALUP", entry) + kOwnTail),
              EkbeRow(ADDR_EKBE_INTERNAL, "DIALUP", entry, "HTTPS_CONNECTION_ENABLED",
                      "|8443|bank_bacx.crt|/cgi"))
        << entry;
  }
  for (const char* conntype : {"dialup", "LAN", "DIALUP "}) {
    EXPECT_EQ(Migrate(OldRow("EKBE", "N", conntype, "HVB") + kOwnTail),
              EkbeRow(kEkbe, conntype, "HVB", "HTTPS_CONNECTION_ENABLED",
                      "|8443|bank_bacx.crt|/cgi"))
        << conntype;
  }
  EXPECT_EQ(Migrate(OldRow("EKBE", "N", "DIALUP", "H V B") + kOwnTail),
            EkbeRow(kEkbe, "DIALUP", "H V B", "HTTPS_CONNECTION_ENABLED",
                    "|8443|bank_bacx.crt|/cgi"));
}

TEST_F(MigrateTest, EkbeRowOfTheOlderFormGetsTheSharedSuffixFirst) {
  EXPECT_EQ(Migrate(OldRow("EKBE")), EkbeRow(kEkbe, "LAN", "Orvane", "HTTPS_CONNECTION_DISABLED",
                                              "|443|bank_bacx.crt|/cgi-bin/tarvocgi"));
}

TEST_F(MigrateTest, EkbeRowWithTwentyColumnsButNoMarkerGetsASecondSuffix) {
  const std::string row = OldRow("EKBE") + "|DISABLED|h|443|c.crt|/cgi";
  EXPECT_EQ(Migrate(row), EkbeRow(kEkbe, "LAN", "Orvane", "DISABLED", "|443|bank_bacx.crt|/cgi") +
                              kSharedTail);
}

// --- MTTO step

TEST_F(MigrateTest, MttoOfSevenCharactersGainsALeadingZero) {
  EXPECT_EQ(Written(OldRow("AIKB", "N", "LAN", "Orvane", "1234567")),
            OldRow("AIKB", "N", "LAN", "Orvane", "01234567") + kSharedTail);
  EXPECT_EQ(Written(OldRow("ZZZZ", "N", "LAN", "Orvane", "abc defg")),
            OldRow("ZZZZ", "N", "LAN", "Orvane", "abc defg") + kSharedTail);
  EXPECT_EQ(Written("ZZZZ|a|b|c|x y z 7"), "ZZZZ|a|b|c|0x y z 7" + kSharedTail);
  for (const char* mtto : {"123456", "12345678", "", "123456789"}) {
    const std::string row = OldRow("DEMO", "N", "LAN", "Orvane", mtto) + kOwnTail;
    EXPECT_EQ(Written(row), row) << mtto;
  }
}

// --- Missing columns

TEST_F(MigrateTest, MissingColumnEndsTheRunNamingListLineAndBank) {
  const RunError e = FailureOf("EKBE|1|EKBE|N|M|I|P|T|C|L|E|T|O|N|I|F|HTTPS_CONNECTION|H|P");
  EXPECT_EQ(e.number(), kErrSubscript);
  EXPECT_NE(e.description().find("list.dat"), std::string::npos) << e.description();
  EXPECT_NE(e.description().find("line 7"), std::string::npos) << e.description();
  EXPECT_NE(e.description().find("EKBE"), std::string::npos) << e.description();
}

TEST_F(MigrateTest, EachRuleNeedsItsColumns) {
  const char* failing[] = {
      "EKBE|1|2|3|4|5|6|7|8|9|10|11|12|13",  // 14 columns and the suffix: still 19
      "KUBK|1|2",                             // NAME is read before any suffix
      "SOGY",
      "MBSO|HTTPS_CONNECTION",                // a marked row gets no columns added
      "NOVB|1|2|3|HTTPS_CONNECTION",
      "VBUB|1|2|3",                           // 4 columns and the suffix: 9
      "DEMO|1|2|HTTPS_CONNECTION",            // the MTTO step needs column 5
      "ZZZZ|HTTPS_CONNECTION",
  };
  for (const char* text : failing) EXPECT_EQ(FailureOf(text).number(), kErrSubscript) << text;
  EXPECT_NO_THROW(Written("EKBE|1|2|3|4|5|6|7|8|9|10|11|12|13|14"));  // 15 and 5 make 20
  EXPECT_NO_THROW(Written("VBUB|1|2|3|4"));
  EXPECT_NO_THROW(Written("NOVB|1|2|3|4|HTTPS_CONNECTION"));
}

// --- The rule table against the built-in table

// A built-in bank that no rule marks gets its built-in row on every run, a
// second one when the list already holds it.
class BankTablesTest : public MigrateTest {};

TEST_F(BankTablesTest, EveryBuiltInBankHasAMarkingRule) {
  for (std::string_view code : BuiltInBankCodes()) {
    Migrate(OldRow(std::string(code)));
    EXPECT_TRUE(seen_.Contains(code)) << code << ": a built-in bank that no rule marks";
  }
}

TEST_F(BankTablesTest, EveryMarkingRuleIsForABuiltInBank) {
  const std::vector<std::string_view> codes = BuiltInBankCodes();
  for (const RuleKey& rule : RuleKeys()) {
    if (rule.kind == RuleKind::kDrop) continue;
    EXPECT_NE(std::find(codes.begin(), codes.end(), rule.key), codes.end())
        << rule.key << ": a marking rule for a bank that is not built in";
  }
}

// --- The row pass

class VectorReader : public LineReader {
 public:
  explicit VectorReader(std::vector<std::string> lines) : lines_(std::move(lines)) {}
  bool AtEnd() override { return next_ == lines_.size(); }
  void ReadLine(std::string* line) override {
    if (AtEnd()) throw RunError(kErrInputPastEnd, "read past the end");
    *line = lines_[next_++];
  }
  void Close() override {}

 private:
  std::vector<std::string> lines_;
  size_t next_ = 0;
};

class VectorWriter : public LineWriter {
 public:
  void WriteLine(std::string_view line) override { lines.emplace_back(line); }
  void Close() override {}
  std::vector<std::string> lines;
};

TEST_F(MigrateTest, RowPassWritesEveryKeptRowInSourceOrder) {
  VectorReader source({OldRow("ZZZZ"), OldRow("DDOR"), "", OldRow("AIKB", "ONE"),
                       OldRow("AIKB", "TWO", "LAN", "Orvane", "1234567")});
  VectorWriter target;
  SeenBankIds seen;
  RunRowPass(source, target, texts_, seen, "list.dat");
  EXPECT_EQ(target.lines, (std::vector<std::string>{
                              OldRow("ZZZZ") + kSharedTail,
                              OldRow("AIKB", "ONE") + kSharedTail,
                              OldRow("AIKB", "TWO", "LAN", "Orvane", "01234567") + kSharedTail,
                          }));
  EXPECT_TRUE(seen.Contains("AIKB"));
  EXPECT_TRUE(source.AtEnd());
}

TEST_F(MigrateTest, RowPassStopsAtAMissingColumnCountingTheHeaderAsLine1) {
  VectorReader source({OldRow("AIKB"), "", "SOGY|x", OldRow("DEMO")});
  VectorWriter target;
  SeenBankIds seen;
  try {
    RunRowPass(source, target, texts_, seen, "dir/sifrant_bank.dat");
    FAIL() << "a missing column must end the pass";
  } catch (const RunError& e) {
    EXPECT_EQ(e.number(), kErrSubscript);
    EXPECT_NE(e.description().find("dir/sifrant_bank.dat: line 4 (bank code SOGY)"),
              std::string::npos)
        << e.description();
  }
  EXPECT_EQ(target.lines.size(), 1u);
  EXPECT_FALSE(source.AtEnd());  // no further line read
  EXPECT_FALSE(seen.Contains("DEMO"));
}

}  // namespace
}  // namespace quarnel
