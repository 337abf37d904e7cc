#include "banklist/new_list.h"

#include "banklist/builtin_table.h"
#include "banklist/list_format.h"

namespace quarnel {

namespace {

// Hands what AppendMissingBanks writes to a sink as appended rows.
class AppendedRows final : public LineWriter {
 public:
  explicit AppendedRows(NewListSink& sink) : sink_(sink) {}
  void WriteLine(std::string_view line) override { sink_.Appended(line); }
  void Close() override {}

 private:
  NewListSink& sink_;
};

class WritingSink final : public NewListSink {
 public:
  explicit WritingSink(LineWriter& target) : target_(target) {}
  void Header(std::string_view, std::string_view header) override { target_.WriteLine(header); }
  void Row(std::string_view, std::string_view row) override {
    if (!row.empty()) target_.WriteLine(row);
  }
  void Appended(std::string_view row) override { target_.WriteLine(row); }

 private:
  LineWriter& target_;
};

}  // namespace

std::unique_ptr<LineReader> OpenOldList(Env& env, const std::string& path) {
  std::unique_ptr<LineReader> source = env.OpenForReading(path);
  if (source->AtEnd()) {
    throw RunError(kErrInputPastEnd, "Reading the bank code list: " + path +
                                         ": the list is empty, it has not even a header line");
  }
  return source;
}

void MakeNewList(Env& env, LineReader& source, const std::string& source_name, NewListSink& sink) {
  std::string first_line;
  source.ReadLine(&first_line);  // replaced by the fixed header, unread
  sink.Header(first_line, kHeaderLine);
  const MigrationTexts texts(env);
  SeenBankIds seen;
  RunRowPass(source, sink, texts, seen, source_name);
  AppendedRows appended(sink);
  AppendMissingBanks(appended, seen, [&texts](int i) { return texts.BuiltInRow(i); });
}

void WriteNewList(Env& env, LineReader& source, const std::string& source_name,
                  LineWriter& target) {
  WritingSink sink(target);
  MakeNewList(env, source, source_name, sink);
}

}  // namespace quarnel
