#ifndef QUARNEL_PLATFORM_LINE_IO_H_
#define QUARNEL_PLATFORM_LINE_IO_H_

// The line handling that every system shares: splitting buffered blocks into
// lines and gathering written lines into blocks. Each Env supplies only the
// reading, writing, syncing and closing of its own file handles.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/env.h"

namespace quarnel {

// Lines are read and written in blocks of up to this size: a million-row list
// then takes a few hundred system calls rather than several thousand.
inline constexpr size_t kLineBlockSize = 1024 * 1024;
// The first block of a reader and a writer: a list of a few hundred rows fits.
inline constexpr size_t kFirstLineBlockSize = 64 * 1024;

// A LineReader over blocks that a subclass reads from its file. Lines end at
// CR LF, a lone CR or a lone LF, also where a CR LF straddles two blocks.
class BufferedLineReader : public LineReader {
 public:
  bool AtEnd() override { return !Fill(); }
  void ReadLine(std::string* line) override;
  std::string_view NextLine(std::string* storage) override;

 protected:
  explicit BufferedLineReader(std::string path, size_t block_size = kLineBlockSize);

  // Reads up to `size` bytes into `block`; returns how many, 0 at the end of
  // the file. Throws RunError when the system refuses.
  virtual size_t ReadBlock(char* block, size_t size) = 0;
  // False once the file has been closed.
  virtual bool IsOpen() const = 0;

  const std::string& path() const { return path_; }

 private:
  static constexpr size_t kNotSearched = static_cast<size_t>(-1);

  bool Fill();
  size_t NextLineEnd();
  size_t Next(char c, size_t* found_at);

  std::string path_;
  // Left uninitialised: only the bytes a read brings in are ever looked at.
  // The first block is a small one, so that a short list costs no large
  // allocation; the first read that fills it brings the full size.
  std::unique_ptr<char[]> buffer_;
  size_t buffer_size_ = 0;
  size_t block_size_;
  size_t pos_ = 0;
  size_t len_ = 0;
  size_t next_cr_ = kNotSearched;
  size_t next_lf_ = kNotSearched;
};

// A LineWriter that gathers lines, each with CR LF, into blocks that a
// subclass writes to its file. Close writes what is left, syncs and closes.
class BufferedLineWriter : public LineWriter {
 public:
  void WriteLine(std::string_view line) override;
  void Close() override;

 protected:
  explicit BufferedLineWriter(std::string path, size_t block_size = kLineBlockSize);

  // Writes all `size` bytes or throws RunError.
  virtual void WriteBlock(const char* data, size_t size) = 0;
  // Forces what was written to stable storage, then closes the file; throws
  // RunError when either fails.
  virtual void SyncAndClose() = 0;
  virtual bool IsOpen() const = 0;

  const std::string& path() const { return path_; }

 private:
  void Flush();

  std::string path_;
  size_t block_size_;
  std::string buffer_;
};

}  // namespace quarnel

#endif  // QUARNEL_PLATFORM_LINE_IO_H_
