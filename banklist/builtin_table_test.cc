#include "banklist/builtin_table.h"

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "banklist/endpoints.h"
#include "banklist/migrate.h"

namespace quarnel {
namespace {

// Records the lines written, in order.
class RecordingWriter : public LineWriter {
 public:
  void WriteLine(std::string_view line) override { lines.emplace_back(line); }
  void Close() override {}
  std::vector<std::string> lines;
};

class BuiltInTableTest : public ::testing::Test {
 protected:
  std::function<std::string(int)> RowOf() const {
    return [this](int i) { return texts_.BuiltInRow(i); };
  }
  std::vector<std::string> AllRows() const {
    std::vector<std::string> rows;
    for (int i = 0; i < kBuiltInBankCount; ++i) rows.push_back(texts_.BuiltInRow(i));
    return rows;
  }

  std::unique_ptr<Env> env_ = NewPlatformEnv(0, nullptr);
  MigrationTexts texts_{*env_};
};

const std::string kS = HOST_SHARED;
const std::string kT = HOST_SHARED_TLS;
const std::string kKobb = HOST_KOBB;
const std::string kNovb = HOST_NOVB;
const std::string kEkbe = HOST_EKBE;
const std::string kBacx = HOST_BACX;
const std::string kDemo = HOST_DEMO;

// The 31 rows as the program's own text, in table order.
const std::vector<std::string> kExpectedRows = {
    std::string("AGRL|245|AGRL|AGROBANKA AD BEOGRAD|07564856|" + kS) +
        "|3600|3604|bank_kelvi.crt|LAN|Orvane|3000|50|50|agrobanka.bmp|NOT_ESTABLISHED" +
        "|HTTPS_CONNECTION_DISABLED|" + kT + "|443|bank_kelvi.crt|/cgi-bin/tarvocgi",
    std::string("AIKB|105|AIKB|AIK BANKA AD NIŠ|06876366|" + kS) +
        "|3600|3604|bank_kelvi.crt|LAN|Orvane|3000|50|50|aikbanka.bmp|NOT_ESTABLISHED" +
        "|HTTPS_CONNECTION_DISABLED|" + kT + "|443|bank_kelvi.crt|/cgi-bin/tarvocgi",
    std::string("JUBA|180|JUBA|ALPHA BANK SRBIJA AD BEOGRAD|07736681|" + kS) +
        "|3600|3604|bank_kelvi.crt|LAN|orvane|3000|50|50|alphabank.bmp|NOT_ESTABLISHED" +
        "|HTTPS_CONNECTION_DISABLED|" + kT + "|443|bank_kelvi.crt|/cgi-bin/tarvocgi",
    std::string("DBDB|160|DBDB|BANCA INTESA AD BEOGRAD|07759231|" + kS) +
        "|3600|3604|bank_kelvi.crt|LAN|Orvane|3000|50|50|delta.bmp|NOT_ESTABLISHED" +
        "|HTTPS_CONNECTION_DISABLED|" + kT + "|443|bank_kelvi.crt|/cgi-bin/tarvocgi",
    std::string("KRAG|150|KRAG|CREDY BANKA AD KRAGUJEVAC|07654812|" + kS) +
        "|3600|3604|bank_kelvi.crt|LAN|ORVANE|3000|50|50|credy.bmp|NOT_ESTABLISHED" +
        "|HTTPS_CONNECTION_DISABLED|" + kT + "|443|bank_kelvi.crt|/cgi-bin/tarvocgi",
    std::string("NOVB|340|NOVB|ERSTE BANK AD NOVI SAD|08063818|" + kNovb) +
        "|3600|3604|bank_kelvi.crt|LAN|ORVANE|3000|50|50|novosadska.bmp|NOT_ESTABLISHED" +
        "|HTTPS_CONNECTION_DISABLED|" + kNovb + "|443|bank_novb.crt|/cgi-bin/tarvocgi",
    std::string("EFGB|250|EFGB|EUROBANK EFG AD BEOGRAD|17171178|" + kS) +
        "|3600|3604|bank_kelvi.crt|LAN|ORVANE|3000|50|50|eurobank.bmp|NOT_ESTABLISHED" +
        "|HTTPS_CONNECTION_DISABLED|" + kT + "|443|bank_kelvi.crt|/cgi-bin/tarvocgi",
    std::string("TUBB|240|TUBB|FINDOMESTIC BANKA AD BEOGRAD|17076841|" + kS) +
        "|3600|3604|bank_kelvi.crt|LAN|ORVANE|3000|50|50|novabanka.bmp|NOT_ESTABLISHED" +
        "|HTTPS_CONNECTION_DISABLED|" + kT + "|443|bank_kelvi.crt|/cgi-bin/tarvocgi",
    std::string("BACX|175|BACX|HVB BANKA SCG - STARI RAČUNI 175|17324918|" + kBacx) +
        "|3600|3604|bank_bacx.crt|LAN|ORVANE|3000|50|50|hvb.bmp|NOT_ESTABLISHED" +
        "|HTTPS_CONNECTION_DISABLED|" + kBacx + "|443|bank_bacx.crt|/cgi-bin/tarvocgi",
    std::string("KLHB|165|KLHB|HYPO ALPE-ADRIA BANK AD BEOGRAD|07726716|" + kS) +
        "|3600|3604|bank_kelvi.crt|LAN|Orvane|3000|50|50|hypobanka.bmp|NOT_ESTABLISHED" +
        "|HTTPS_CONNECTION_DISABLED|" + kT + "|443|bank_kelvi.crt|/cgi-bin/tarvocgi",
    std::string("ALCO|115|ALCO|KBC BANKA AD BEOGRAD|17138669|" + kS) +
        "|3600|3604|bank_kelvi.crt|LAN|ORVANE|3000|50|50|alcobanka.bmp|NOT_ESTABLISHED" +
        "|HTTPS_CONNECTION_DISABLED|" + kT + "|443|bank_kelvi.crt|/cgi-bin/tarvocgi",
    std::string("KOBB|205|KOBB|KOMERCIJALNA BANKA AD BEOGRAD|07737068|" + kKobb) +
        "|3600|3604|bank_kobb.crt|LAN|ORVANE|3000|50|50|kombeograd.bmp|NOT_ESTABLISHED" +
        "|HTTPS_CONNECTION_DISABLED|" + kKobb + "|443|bank_kobb.crt|/cgi-bin/tarvocgi",
    std::string("CEBE|145|CEBE|MARFIN BANK AD BEOGRAD|07534183|" + kS) +
        "|3600|3604|bank_kelvi.crt|LAN|ORVANE|3000|50|50|centrobanka.bmp|NOT_ESTABLISHED" +
        "|HTTPS_CONNECTION_DISABLED|" + kT + "|443|bank_kelvi.crt|/cgi-bin/tarvocgi",
    std::string("MEBA|330|MEBA|CREDIT AGRICOLE AD NOVI SAD|08277931|" + kS) +
        "|3600|3604|bank_kelvi.crt|LAN|ORVANE|3000|50|50|meridian.bmp|NOT_ESTABLISHED" +
        "|HTTPS_CONNECTION_DISABLED|" + kT + "|443|bank_kelvi.crt|/cgi-bin/tarvocgi",
    std::string("MBSO|335|MBSO|METALS BANKA AD NOVI SAD|08212538|" + kS) +
        "|3600|3604|bank_kelvi.crt|LAN|Orvane|3000|50|50|metals.bmp|NOT_ESTABLISHED" +
        "|HTTPS_CONNECTION_DISABLED|" + kT + "|443|bank_kelvi.crt|/cgi-bin/tarvocgi",
    std::string("ETHN|230|ETHN|NATIONAL BANK OF GREECE SA - FILIJALA BEOGRAD|17351281|" + kS) +
        "|3600|3604|bank_kelvi.crt|LAN|Orvane|3000|50|50|natbankgreece.bmp|NOT_ESTABLISHED" +
        "|HTTPS_CONNECTION_DISABLED|" + kT + "|443|bank_kelvi.crt|/cgi-bin/tarvocgi",
    std::string("CONA|310|CONA|NLB BANKA AD BEOGRAD|08250499|" + kS) +
        "|3600|3604|bank_kelvi.crt|LAN|ORVANE|3000|50|50|continental.bmp|NOT_ESTABLISHED" +
        "|HTTPS_CONNECTION_DISABLED|" + kT + "|443|bank_kelvi.crt|/cgi-bin/tarvocgi",
    std::string("KUBK|325|KUBK|OTP BANKA SRBIJA AD NOVI SAD|08603537|" + kS) +
        "|3600|3604|bank_kelvi.crt|LAN|Orvane|3000|50|50|kulska.bmp|NOT_ESTABLISHED" +
        "|HTTPS_CONNECTION_DISABLED|" + kT + "|443|bank_kelvi.crt|/cgi-bin/tarvocgi",
    std::string("ATAA|125|ATAA|PIRAEUS BANK AD BEOGRAD|17082990|" + kS) +
        "|3600|3604|bank_kelvi.crt|LAN|ORVANE|3000|50|50|atlas.bmp|NOT_ESTABLISHED" +
        "|HTTPS_CONNECTION_DISABLED|" + kT + "|443|bank_kelvi.crt|/cgi-bin/tarvocgi",
    std::string("PBBB|255|PBBB|PRIVREDNA BANKA AD BEOGRAD|07051093|" + kS) +
        "|3600|3604|bank_kelvi.crt|LAN|ORVANE|3000|50|50|privredna.bmp|NOT_ESTABLISHED" +
        "|HTTPS_CONNECTION_DISABLED|" + kT + "|443|bank_kelvi.crt|/cgi-bin/tarvocgi",
    std::string("SBPO|200|SBPO|BANKA POŠTANSKA ŠTEDIONICA AD BEOGRAD|08222274|" + kS) +
        "|3600|3604|bank_kelvi.crt|LAN|Orvane|3000|50|50|postanska.bmp|NOT_ESTABLISHED" +
        "|HTTPS_CONNECTION_DISABLED|" + kT + "|443|bank_kelvi.crt|/cgi-bin/tarvocgi",
    std::string("MFBA|220|MFBA|PROCREDIT BANK AD BEOGRAD|17335677|" + kS) +
        "|3600|3604|bank_kelvi.crt|LAN|Orvane|3000|50|50|procredit.bmp|NOT_ESTABLISHED" +
        "|HTTPS_CONNECTION_DISABLED|" + kT + "|443|bank_kelvi.crt|/cgi-bin/tarvocgi",
    std::string("RZBJ|265|RZBJ|RAIFFEISEN BANKA AD BEOGRAD|17335600|" + kS) +
        "|3600|3604|bank_kelvi.crt|LAN|Orvane|3000|50|50|raiffeisen.bmp|NOT_ESTABLISHED" +
        "|HTTPS_CONNECTION_DISABLED|" + kT + "|443|bank_kelvi.crt|/cgi-bin/tarvocgi",
    std::string("SOGY|275|SOGY|SOCIETE GENERALE SRBIJA AD BEOGRAD|07552335|" + kS) +
        "|3600|3604|bank_kelvi.crt|LAN|ORVANE|3000|50|50|socijete.bmp|NOT_ESTABLISHED" +
        "|HTTPS_CONNECTION_DISABLED|" + kT + "|443|bank_kelvi.crt|/cgi-bin/tarvocgi",
    std::string("EKBE|170|EKBE|UNICREDIT BANK SRBIJA AD BEOGRAD|17324918|" + kEkbe) +
        "|3600|3604|bank_bacx.crt|LAN|Orvane|3000|50|50|hvb.bmp|NOT_ESTABLISHED" +
        "|HTTPS_CONNECTION_DISABLED|" + kEkbe + "|443|bank_kelvi.crt|/cgi-bin/tarvocgi",
    std::string("UBBG|290|UBBG|UNIVERZAL BANKA AD BEOGRAD|06031676|" + kS) +
        "|3600|3604|bank_kelvi.crt|LAN|ORVANE|3000|50|50|univerzal.bmp|NOT_ESTABLISHED" +
        "|HTTPS_CONNECTION_DISABLED|" + kT + "|443|bank_kelvi.crt|/cgi-bin/tarvocgi",
    std::string("VBUB|355|VBUB|VOJVODJANSKA BANKA AD NOVI SAD|08074313|" + kS) +
        "|3600|3604|bank_kelvi.crt|DIALUP|ORVANE|3000|50|50|vojvodjanska.bmp|NOT_ESTABLISHED" +
        "|HTTPS_CONNECTION_DISABLED|" + kT + "|443|bank_kelvi.crt|/cgi-bin/tarvocgi",
    std::string("VBOE|285|VBOE|VOLKSBANK AD BEOGRAD|07792247|" + kS) +
        "|3600|3604|bank_kelvi.crt|LAN|ORVANE|3000|50|50|volksbank.bmp|NOT_ESTABLISHED" +
        "|HTTPS_CONNECTION_DISABLED|" + kT + "|443|bank_kelvi.crt|/cgi-bin/tarvocgi",
    std::string("ZEPT|110|ZEPT|ZEPTER BANKA AD BEOGRAD - STARI RAČUNI 110|12345678|" + kS) +
        "|3600|3604|bank_kelvi.crt|LAN|Orvane|3000|50|50|zepter.bmp|NOT_ESTABLISHED" +
        "|HTTPS_CONNECTION_DISABLED|" + kS + "|443|bank_kelvi.crt|/cgi-bin/tarvocgi",
    std::string("DEMO|999|DEMO|DEMO BANKA|05026091|" + kDemo) +
        "|4600|3604|bank_kelvi.crt|LAN|ORVANE|3000|50|50|demobank.bmp|NOT_ESTABLISHED" +
        "|HTTPS_CONNECTION_DISABLED|" + kT + "|443|bank_kelvi.crt|/cgi-bin/tarvocgi_t",
    std::string("SRBN|295|SRBN|SRPSKA BANKA AD BEOGRAD|07092288|" + kS) +
        "|3600|3604|bank_kelvi.crt|LAN|ORVANE|3000|50|50|srpska.bmp|NOT_ESTABLISHED" +
        "|HTTPS_CONNECTION_DISABLED|" + kT + "|443|bank_kelvi.crt|/cgi-bin/tarvocgi",
};

TEST_F(BuiltInTableTest, HoldsThe31RowsInTableOrder) {
  const std::vector<std::string> rows = BuiltInBankTable();
  ASSERT_EQ(rows.size(), kExpectedRows.size());
  for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i], kExpectedRows[i]) << "row " << i + 1;
}

TEST_F(BuiltInTableTest, TextsHoldTheRowsInCodePage1250) {
  // The letters beyond ASCII that the names hold, and their bytes in 1250.
  const std::pair<std::string, std::string> letters[] = {{"Š", "\x8A"}, {"Č", "\xC8"}};
  const std::vector<std::string> rows = AllRows();
  ASSERT_EQ(rows.size(), kExpectedRows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    std::string expected = kExpectedRows[i];
    for (const auto& [letter, byte] : letters) {
      for (size_t at; (at = expected.find(letter)) != std::string::npos;) {
        expected.replace(at, letter.size(), byte);
      }
    }
    EXPECT_EQ(rows[i], expected) << "row " << i + 1;
  }
}

// --- SeenBankIds and MarkSeenBank

TEST_F(BuiltInTableTest, MarksOnlyTheTableCodesExactly) {
  const std::string first(BuiltInBankCodes().front()), last(BuiltInBankCodes().back());
  std::string last_small = last;
  for (char& c : last_small) c = static_cast<char>(std::tolower(c));
  SeenBankIds seen;
  EXPECT_FALSE(seen.Contains(first));
  MarkSeenBank(seen, first);
  MarkSeenBank(seen, last_small);  // other letter case: not a table code
  MarkSeenBank(seen, "DDOR");      // dropped bank: no table row
  MarkSeenBank(seen, first.substr(0, 3));
  EXPECT_TRUE(seen.Contains(first));
  EXPECT_FALSE(seen.Contains(last));
  EXPECT_FALSE(seen.Contains(last_small));
  EXPECT_FALSE(seen.Contains("DDOR"));
  MarkSeenBank(seen, first);  // a second mark changes nothing
  EXPECT_TRUE(seen.Contains(first));
}

// --- AppendMissingBanks

TEST_F(BuiltInTableTest, AppendsEveryRowWhenNothingWasSeen) {
  RecordingWriter target;
  AppendMissingBanks(target, SeenBankIds(), RowOf());
  EXPECT_EQ(target.lines, AllRows());
}

TEST_F(BuiltInTableTest, AppendsOnlyTheBanksNotSeenInTableOrder) {
  // The first two banks, one in the middle and the last but one; from the end,
  // so that erasing each row expected leaves the places of the others.
  const std::vector<std::string_view> codes = BuiltInBankCodes();
  const size_t marked[] = {codes.size() - 2, 11, 1, 0};
  SeenBankIds seen;
  std::vector<std::string> expected = AllRows();
  for (size_t i : marked) {
    MarkSeenBank(seen, codes[i]);
    expected.erase(expected.begin() + i);
  }
  RecordingWriter target;
  AppendMissingBanks(target, seen, RowOf());
  ASSERT_EQ(target.lines.size(), codes.size() - 4);
  EXPECT_EQ(target.lines, expected);
}

TEST_F(BuiltInTableTest, AppendsNothingWhenEveryBankWasSeen) {
  SeenBankIds seen;
  for (std::string_view code : BuiltInBankCodes()) MarkSeenBank(seen, code);
  RecordingWriter target;
  AppendMissingBanks(target, seen, [](int i) {
    ADD_FAILURE() << "row " << i << " made though no row is written";
    return std::string();
  });
  EXPECT_TRUE(target.lines.empty());
}

}  // namespace
}  // namespace quarnel
