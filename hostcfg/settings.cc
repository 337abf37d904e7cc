#include "hostcfg/settings.h"

#include <memory>
#include <string_view>

namespace quarnel {

namespace {

// A separate backslash and the name, as the host product writes it.
constexpr char kSettingsFile[] = "\\PersonalTarvo.ini";
constexpr std::string_view kDbNameKey = "DBName=";

// Only spaces: a tab around the name is part of what the host product wrote.
std::string TrimSpaces(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

}  // namespace

std::string ReadDbName(Env& env) {
  std::string db_name;
  std::unique_ptr<LineReader> settings =
      env.OpenForReading(SettingsFile(env.AppPath()));
  std::string line;
  // Sections are not looked at, and the last entry wins, as in the host
  // product's own reading of the file.
  while (!settings->AtEnd()) {
    settings->ReadLine(&line);
    if (line.starts_with(kDbNameKey)) db_name = TrimSpaces(line.substr(kDbNameKey.size()));
  }
  settings->Close();
  return db_name;
}

std::string SettingsFile(const std::string& app_path) { return PathIn(app_path, kSettingsFile); }

}  // namespace quarnel
