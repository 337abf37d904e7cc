#include "banklist/builtin_table.h"

#include <array>
#include <cstring>

#include "banklist/columns.h"
#include "banklist/endpoints.h"

namespace quarnel {

namespace {

using namespace column;

// The columns that differ from bank to bank. The code is both BANKID and
// ENGINEID.
struct Bank {
  std::string_view code;
  const char* trr_id;
  const char* name;
  const char* mtto;
  const char* entry_name;
  const char* icon_file_name;
};

// In output order. Neither alphabetical by code nor by name: SRBN comes last.
constexpr Bank kBanks[kBuiltInBankCount] = {
    // code  TRRID  NAME                                  MTTO        ENTRYNAME ICONFILENAME
    {"AGRL", "245", "AGROBANKA AD BEOGRAD",               "07564856", "Orvane", "agrobanka.bmp"},
    {"AIKB", "105", "AIK BANKA AD NIŠ",                   "06876366", "Orvane", "aikbanka.bmp"},
    {"JUBA", "180", "ALPHA BANK SRBIJA AD BEOGRAD",       "07736681", "orvane", "alphabank.bmp"},
    {"DBDB", "160", "BANCA INTESA AD BEOGRAD",            "07759231", "Orvane", "delta.bmp"},
    {"KRAG", "150", "CREDY BANKA AD KRAGUJEVAC",          "07654812", "ORVANE", "credy.bmp"},
    {"NOVB", "340", "ERSTE BANK AD NOVI SAD",             "08063818", "ORVANE", "novosadska.bmp"},
    {"EFGB", "250", "EUROBANK EFG AD BEOGRAD",            "17171178", "ORVANE", "eurobank.bmp"},
    {"TUBB", "240", "FINDOMESTIC BANKA AD BEOGRAD",       "17076841", "ORVANE", "novabanka.bmp"},
    {"BACX", "175", "HVB BANKA SCG - STARI RAČUNI 175",   "17324918", "ORVANE", "hvb.bmp"},
    {"KLHB", "165", "HYPO ALPE-ADRIA BANK AD BEOGRAD",    "07726716", "Orvane", "hypobanka.bmp"},
    {"ALCO", "115", "KBC BANKA AD BEOGRAD",               "17138669", "ORVANE", "alcobanka.bmp"},
    {"KOBB", "205", "KOMERCIJALNA BANKA AD BEOGRAD",      "07737068", "ORVANE", "kombeograd.bmp"},
    {"CEBE", "145", "MARFIN BANK AD BEOGRAD",             "07534183", "ORVANE", "centrobanka.bmp"},
    {"MEBA", "330", "CREDIT AGRICOLE AD NOVI SAD",        "08277931", "ORVANE", "meridian.bmp"},
    {"MBSO", "335", "METALS BANKA AD NOVI SAD",           "08212538", "Orvane", "metals.bmp"},
    {"ETHN", "230", "NATIONAL BANK OF GREECE SA - FILIJALA BEOGRAD",
                                                          "17351281", "Orvane", "natbankgreece.bmp"},
    {"CONA", "310", "NLB BANKA AD BEOGRAD",               "08250499", "ORVANE", "continental.bmp"},
    {"KUBK", "325", "OTP BANKA SRBIJA AD NOVI SAD",       "08603537", "Orvane", "kulska.bmp"},
    {"ATAA", "125", "PIRAEUS BANK AD BEOGRAD",            "17082990", "ORVANE", "atlas.bmp"},
    {"PBBB", "255", "PRIVREDNA BANKA AD BEOGRAD",         "07051093", "ORVANE", "privredna.bmp"},
    {"SBPO", "200", "BANKA POŠTANSKA ŠTEDIONICA AD BEOGRAD",
                                                          "08222274", "Orvane", "postanska.bmp"},
    {"MFBA", "220", "PROCREDIT BANK AD BEOGRAD",          "17335677", "Orvane", "procredit.bmp"},
    {"RZBJ", "265", "RAIFFEISEN BANKA AD BEOGRAD",        "17335600", "Orvane", "raiffeisen.bmp"},
    {"SOGY", "275", "SOCIETE GENERALE SRBIJA AD BEOGRAD", "07552335", "ORVANE", "socijete.bmp"},
    {"EKBE", "170", "UNICREDIT BANK SRBIJA AD BEOGRAD",   "17324918", "Orvane", "hvb.bmp"},
    {"UBBG", "290", "UNIVERZAL BANKA AD BEOGRAD",         "06031676", "ORVANE", "univerzal.bmp"},
    {"VBUB", "355", "VOJVODJANSKA BANKA AD NOVI SAD",     "08074313", "ORVANE", "vojvodjanska.bmp"},
    {"VBOE", "285", "VOLKSBANK AD BEOGRAD",               "07792247", "ORVANE", "volksbank.bmp"},
    {"ZEPT", "110", "ZEPTER BANKA AD BEOGRAD - STARI RAČUNI 110",
                                                          "12345678", "Orvane", "zepter.bmp"},
    {"DEMO", "999", "DEMO BANKA",                         "05026091", "ORVANE", "demobank.bmp"},
    {"SRBN", "295", "SRPSKA BANKA AD BEOGRAD",            "07092288", "ORVANE", "srpska.bmp"},
};

// What every row holds in the remaining columns, unless a deviation says
// otherwise.
constexpr ColumnText kCommonValues[] = {
    {IPADDRESS,              HOST_SHARED},
    {PCPORT,                 "3600"},
    {TVUPORT,                "3604"},
    {CERTFILENAME,           "bank_kelvi.crt"},
    {CONNTYPE,               "LAN"},
    {TIMEOUT,                "3000"},
    {OUTPUTWINSIZE,          "50"},
    {NUMDOC,                 "50"},
    {FIRSTCONNECTIONSTATUS,  "NOT_ESTABLISHED"},
    {HTTPS_CONNECTIONSTATUS, "HTTPS_CONNECTION_DISABLED"},
    {HTTPS_IPADDRESS,        HOST_SHARED_TLS},
    {HTTPS_PCPORT,           "443"},
    {HTTPS_CERTFILENAME,     "bank_kelvi.crt"},
    {HTTPS_CGIPATH,          "/cgi-bin/tarvocgi"},
};

struct Deviation {
  const char* code;
  ColumnText value;
};

// Banks with their own servers or certificates, the one dial-up bank, ZEPT on
// the plain shared host, and the demonstration server.
constexpr Deviation kDeviations[] = {
    {"NOVB", {IPADDRESS,          HOST_NOVB}},
    {"NOVB", {HTTPS_IPADDRESS,    HOST_NOVB}},
    {"NOVB", {HTTPS_CERTFILENAME, "bank_novb.crt"}},
    {"BACX", {IPADDRESS,          HOST_BACX}},
    {"BACX", {CERTFILENAME,       "bank_bacx.crt"}},
    {"BACX", {HTTPS_IPADDRESS,    HOST_BACX}},
    {"BACX", {HTTPS_CERTFILENAME, "bank_bacx.crt"}},
    {"KOBB", {IPADDRESS,          HOST_KOBB}},
    {"KOBB", {CERTFILENAME,       "bank_kobb.crt"}},
    {"KOBB", {HTTPS_IPADDRESS,    HOST_KOBB}},
    {"KOBB", {HTTPS_CERTFILENAME, "bank_kobb.crt"}},
    {"EKBE", {IPADDRESS,          HOST_EKBE}},
    {"EKBE", {CERTFILENAME,       "bank_bacx.crt"}},
    {"EKBE", {HTTPS_IPADDRESS,    HOST_EKBE}},
    {"VBUB", {CONNTYPE,           "DIALUP"}},
    {"ZEPT", {HTTPS_IPADDRESS,    HOST_SHARED}},
    {"DEMO", {IPADDRESS,          HOST_DEMO}},
    {"DEMO", {PCPORT,             "4600"}},
    {"DEMO", {HTTPS_CGIPATH,      "/cgi-bin/tarvocgi_t"}},
};

std::string RowText(const Bank& bank) {
  std::array<std::string_view, column::kCount> cells;
  auto set = [&cells](int column, std::string_view text) { cells[column - 1] = text; };
  for (ColumnText value : kCommonValues) set(value.column, value.text);
  set(BANKID, bank.code);
  set(TRRID, bank.trr_id);
  set(ENGINEID, bank.code);
  set(NAME, bank.name);
  set(MTTO, bank.mtto);
  set(ENTRYNAME, bank.entry_name);
  set(ICONFILENAME, bank.icon_file_name);
  for (const Deviation& deviation : kDeviations) {
    if (deviation.code == bank.code) set(deviation.value.column, deviation.value.text);
  }
  std::string row(cells[0]);
  for (size_t i = 1; i < cells.size(); ++i) {
    row += '|';
    row += cells[i];
  }
  return row;
}

// The table index of `bank_code`, or -1.
int IndexOfCode(std::string_view bank_code) {
  static const CodeIndex index(BuiltInBankCodes());
  return index.Find(bank_code);
}

uint32_t KeyOf(std::string_view code) {
  uint32_t key;
  std::memcpy(&key, code.data(), sizeof key);
  return key;
}

}  // namespace

CodeIndex::CodeIndex(const std::vector<std::string_view>& codes) {
  places_.fill(-1);
  for (size_t place = 0; place < codes.size(); ++place) {
    size_t slot = SlotOf(KeyOf(codes[place]));
    while (places_[slot] >= 0) slot = (slot + 1) % kSlots;
    keys_[slot] = KeyOf(codes[place]);
    places_[slot] = static_cast<int8_t>(place);
  }
}

int CodeIndex::Find(std::string_view code) const {
  if (code.size() != 4) return -1;
  const uint32_t key = KeyOf(code);
  for (size_t slot = SlotOf(key);; slot = (slot + 1) % kSlots) {
    if (places_[slot] < 0) return -1;
    if (keys_[slot] == key) return places_[slot];
  }
}

// Fibonacci hashing: the top bits of the product spread four letters that
// differ in one place over different slots.
size_t CodeIndex::SlotOf(uint32_t key) {
  return static_cast<uint32_t>(key * 0x9E3779B1u) >> 25;
}

std::vector<std::string> BuiltInBankTable() {
  std::vector<std::string> rows;
  rows.reserve(kBuiltInBankCount);
  for (const Bank& bank : kBanks) rows.push_back(RowText(bank));
  return rows;
}

std::string BuiltInBankRow(int index) { return RowText(kBanks[index]); }

std::vector<std::string_view> BuiltInBankCodes() {
  std::vector<std::string_view> codes;
  for (const Bank& bank : kBanks) codes.push_back(bank.code);
  return codes;
}

bool SeenBankIds::Contains(std::string_view bank_code) const {
  const int index = IndexOfCode(bank_code);
  return index >= 0 && flags_[index];
}

void MarkSeenBank(SeenBankIds& seen, std::string_view bank_code) {
  const int index = IndexOfCode(bank_code);
  if (index >= 0) seen.flags_[index] = true;
}

void AppendMissingBanks(LineWriter& target, const SeenBankIds& seen,
                        const std::function<std::string(int)>& row_of) {
  for (int i = 0; i < kBuiltInBankCount; ++i) {
    if (!seen.Contains(kBanks[i].code)) target.WriteLine(row_of(i));
  }
}

}  // namespace quarnel
