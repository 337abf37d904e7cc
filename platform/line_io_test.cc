#include "platform/line_io.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace quarnel {
namespace {

using Lines = std::vector<std::string>;

// Serves a text in blocks of a chosen size, so that every line end can be
// made to fall on a block edge.
class MemoryReader final : public BufferedLineReader {
 public:
  MemoryReader(std::string text, size_t block_size)
      : BufferedLineReader("memory", block_size), text_(std::move(text)) {}
  void Close() override { open_ = false; }

 private:
  size_t ReadBlock(char* block, size_t size) override {
    const size_t n = std::min(size, text_.size() - at_);
    text_.copy(block, n, at_);
    at_ += n;
    return n;
  }
  bool IsOpen() const override { return open_; }

  std::string text_;
  size_t at_ = 0;
  bool open_ = true;
};

class MemoryWriter final : public BufferedLineWriter {
 public:
  explicit MemoryWriter(size_t block_size) : BufferedLineWriter("memory", block_size) {}
  std::string written;
  std::vector<size_t> blocks;
  bool synced = false;

 private:
  void WriteBlock(const char* data, size_t size) override {
    written.append(data, size);
    blocks.push_back(size);
  }
  void SyncAndClose() override { synced = true; }
  bool IsOpen() const override { return !synced; }
};

// Every line by ReadLine, or by NextLine as views into the reader's block.
Lines ReadAll(const std::string& text, size_t block_size, bool views = false) {
  MemoryReader reader(text, block_size);
  Lines lines;
  std::string line;
  while (!reader.AtEnd()) {
    if (views) {
      lines.emplace_back(reader.NextLine(&line));
    } else {
      reader.ReadLine(&line);
      lines.push_back(line);
    }
  }
  return lines;
}

TEST(LineIoTest, EveryLineEndSplitsTheSameAtEveryBlockSize) {
  const std::string text = "a\r\nbb\rccc\nd\n\re\r\r\nf\r\n\r\n\ng";
  const Lines expected = {"a", "bb", "ccc", "d", "", "e", "", "f", "", "", "g"};
  for (size_t block = 1; block <= text.size() + 1; ++block) {
    for (const bool views : {false, true}) {
      EXPECT_EQ(ReadAll(text, block, views), expected) << "block size " << block << views;
    }
  }
}

TEST(LineIoTest, ClosedReaderAndWriterRefuseWithError52) {
  MemoryReader reader("x\r\ny", 4);
  reader.Close();
  try {
    reader.AtEnd();
    FAIL();
  } catch (const RunError& e) {
    EXPECT_EQ(e.number(), kErrBadFileName);
  }
  MemoryWriter writer(8);
  writer.Close();
  EXPECT_THROW(writer.WriteLine("x"), RunError);
}

TEST(LineIoTest, WriterGathersLinesIntoBlocksAndWritesLongLinesWhole) {
  MemoryWriter writer(8);
  writer.WriteLine("ab");
  writer.WriteLine("cd");
  EXPECT_TRUE(writer.blocks.empty());  // 8 bytes fit one block
  writer.WriteLine("a line longer than a block");
  writer.WriteLine("");
  writer.Close();
  EXPECT_EQ(writer.written, "ab\r\ncd\r\na line longer than a block\r\n\r\n");
  EXPECT_TRUE(writer.synced);
  EXPECT_TRUE(std::all_of(writer.blocks.begin(), writer.blocks.end(),
                          [](size_t n) { return n <= 8 || n > 20; }));
}

}  // namespace
}  // namespace quarnel
