#include "bench/bench_list.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <utility>

namespace quarnel::bench {

namespace fs = std::filesystem;

namespace {

// Every key of the rule table, then keys no rule knows.
const char* const kKeys[] = {
    "DEMO", "SRBN", "KLHB", "AIKB", "KOBB", "MBSO", "ETHN", "KRAG", "EFGB", "MFBA",
    "JUBA", "VBOE", "UBBG", "VBUB", "PBBB", "PBPA", "MEBA", "BACX", "NOVB", "ZEPT",
    "CEBE", "DDOR", "AGRL", "EKBE", "RZBJ", "KUBK", "SOGY", "DBDB", "ALCO", "TUBB",
    "ATAA", "CONA", "PABN", "SREB", "NLLH", "SBPO", "ZZZZ", "QQQQ", "XBNK", "YBNK",
};
constexpr long kKeyCount = sizeof(kKeys) / sizeof(kKeys[0]);

// The old names that the rules with a condition rename; other keys get a
// name that no condition matches.
std::string NameFor(const std::string& key) {
  if (key == "KUBK") return "KULSKA BANKA AD KULA";
  if (key == "SOGY") return "SOCIETE GENERALE YU BANK";
  if (key == "DBDB") return "DELTA BANKA AD BEOGRAD";
  if (key == "ALCO") return "ALCO BANKA AD BEOGRAD";
  if (key == "TUBB") return "NOVA BANKA AD BEOGRAD";
  return "SAMPLE BANKA AD BEOGRAD";
}

}  // namespace

std::string GeneratedRow(long i) {
  const std::string key = kKeys[i % kKeyCount];
  const long round = i / kKeyCount;
  const bool current_form = round % 2 == 0;
  const bool dial_up = round % 3 == 0;
  std::string row = key + "|" + std::to_string(100 + round % 900) + "|" + key + "|" +
                    NameFor(key) + "|" + (round % 4 == 0 ? "1234567" : "07654321") +
                    "|ebank.sample.example|3600|3604|bank_kelvi.crt|" +
                    (dial_up ? "DIALUP|HVB Orvane" : "LAN|Orvane") +
                    "|3000|50|50|sample.bmp|NOT_ESTABLISHED";
  if (current_form) {
    row += "|HTTPS_CONNECTION_DISABLED|secure.sample.example|443|bank_kelvi.crt|/cgi-bin/tarvocgi";
  }
  return row;
}

BenchFolder& BenchFolder::Get() {
  static BenchFolder folder;
  return folder;
}

BenchFolder::BenchFolder() {
  std::string pattern = (fs::temp_directory_path() / "quarnel-bench-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
  pristine_ = path_ + "/generated.dat";
  std::ofstream out(pristine_, std::ios::binary);
  out << "OLD HEADER\r\n";
  for (long i = 0; i < kListRows; ++i) out << GeneratedRow(i) << "\r\n";
  out.close();
  if (!out) throw std::runtime_error("writing the generated list failed");
  list_bytes_ = static_cast<long long>(fs::file_size(pristine_));
  RestoreList();
}

BenchFolder::~BenchFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

void BenchFolder::RestoreList() const {
  fs::copy_file(pristine_, live_list(), fs::copy_options::overwrite_existing);
}

FolderEnv::FolderEnv(std::string app_path)
    : FolderEnv(NewPlatformEnv(0, nullptr), std::move(app_path)) {}

FolderEnv::FolderEnv(std::unique_ptr<Env> real, std::string app_path)
    : EnvWrapper(real.get()), real_(std::move(real)), app_path_(std::move(app_path)) {}

void CopyListFile(Env& env) {
  env.CopyWholeFile(PathIn(env.AppPath(), "\\sifrant_bank.dat"), PathIn(env.AppPath(), "\\copy.dat"));
}

void CopyListLines(Env& env) {
  std::unique_ptr<LineReader> source = env.OpenForReading(PathIn(env.AppPath(), "\\sifrant_bank.dat"));
  std::unique_ptr<LineWriter> target = env.CreateForWriting(PathIn(env.AppPath(), "\\copy.dat"));
  std::string line;
  while (!source->AtEnd()) {
    source->ReadLine(&line);
    target->WriteLine(line);
  }
  source->Close();
  target->Close();
}

}  // namespace quarnel::bench
