#include "app/preview.h"

#include <algorithm>
#include <string_view>

namespace quarnel {

namespace {

constexpr std::string_view kPreview = "--preview";

// The list file the arguments name, without the double quotes that a
// Windows command line keeps around a path with blanks; empty for the
// installation's own list.
std::string ListFileOf(const std::string& arguments) {
  std::string file = arguments.substr(std::min(arguments.size(), kPreview.size() + 1));
  if (file.size() >= 2 && file.front() == '"' && file.back() == '"') {
    file = file.substr(1, file.size() - 2);
  }
  return file;
}

// The codes of the banks of one kind, on one line that the box wraps.
std::string CodesOf(const ListPreview& preview, std::string_view kind) {
  std::string codes;
  for (const BankChange& bank : preview.banks) {
    if (bank.kind == kind) codes += (codes.empty() ? std::string(kind) + ": " : ", ") + bank.code;
  }
  return codes.empty() ? codes : codes + "\n";
}

}  // namespace

bool IsPreviewRequest(const std::string& arguments) {
  return arguments == kPreview ||
         (arguments.size() > kPreview.size() && arguments.starts_with(kPreview) &&
          arguments[kPreview.size()] == ' ');
}

void RunPreview(Env& env, const std::string& arguments) {
  const std::string file = ListFileOf(arguments);
  const ListPreview preview =
      file.empty() ? PreviewInstallation(env, env.AppPath()) : PreviewListFile(env, file);
  if (!env.WriteToStandardOutput(PreviewReport(preview))) {
    env.ShowMessage(PreviewBoxText(preview, env.ExeName() + " " + arguments));
  }
}

std::string PreviewBoxText(const ListPreview& preview, const std::string& command) {
  std::string text = "Preview of the bank code list: nothing has been changed.\n\n";
  text += preview.plan.front() + "\n" + SummaryLine(preview.counts) + "\n";
  std::string banks;
  for (const char* kind : {"changed", "dropped", "appended"}) banks += CodesOf(preview, kind);
  if (!banks.empty()) text += "\nBanks that would change:\n" + banks;
  text +=
      "\nFor the whole report with every line that changes, start the program in its "
      "folder from a command prompt, with its output in a file:\n" +
      command + " > preview.txt";
  return text;
}

}  // namespace quarnel
