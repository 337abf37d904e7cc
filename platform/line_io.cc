#include "platform/line_io.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace quarnel {

BufferedLineReader::BufferedLineReader(std::string path, size_t block_size)
    : path_(std::move(path)), block_size_(block_size) {}

void BufferedLineReader::ReadLine(std::string* line) {
  line->clear();
  if (!Fill()) {
    throw RunError(kErrInputPastEnd, "Reading a line: " + path_ + ": input past end of file");
  }
  for (;;) {
    const char* begin = buffer_.get() + pos_;
    const char* end = buffer_.get() + len_;
    const char* stop = buffer_.get() + NextLineEnd();
    line->append(begin, stop);
    pos_ += stop - begin;
    if (stop != end) {
      const char terminator = *stop;
      ++pos_;
      // CR LF is one line end, even when the LF is in the next block.
      if (terminator == '\r' && Fill() && buffer_[pos_] == '\n') ++pos_;
      return;
    }
    if (!Fill()) return;  // last line without a terminator
  }
}

// A line that ends inside the block is handed out where it lies. One whose
// end is the block's last byte is copied: finding out whether an LF follows
// its CR reads the next block over it.
std::string_view BufferedLineReader::NextLine(std::string* storage) {
  if (Fill()) {
    const size_t stop = NextLineEnd();
    if (stop + 1 < len_) {
      const std::string_view line(buffer_.get() + pos_, stop - pos_);
      pos_ = stop + 1;
      if (buffer_[stop] == '\r' && buffer_[pos_] == '\n') ++pos_;
      return line;
    }
  }
  ReadLine(storage);
  return *storage;
}

// The offset of the first CR or LF at or after pos_, or len_ when the
// buffered bytes hold neither. memchr finds them many bytes at a time (a byte
// loop here took a fifth of the whole update); where each was found is kept
// until reading passes it, so that a block of lines that all end in CR alone
// (or LF alone) is not searched afresh for the other one per line.
size_t BufferedLineReader::NextLineEnd() {
  return std::min(Next('\r', &next_cr_), Next('\n', &next_lf_));
}

size_t BufferedLineReader::Next(char c, size_t* found_at) {
  if (*found_at < pos_ || *found_at > len_) {
    const void* found = std::memchr(buffer_.get() + pos_, c, len_ - pos_);
    *found_at = found != nullptr ? static_cast<const char*>(found) - buffer_.get() : len_;
  }
  return *found_at;
}

// True when at least one unread byte is buffered.
bool BufferedLineReader::Fill() {
  if (pos_ < len_) return true;
  if (!IsOpen()) {
    throw RunError(kErrBadFileName, "Reading a line: " + path_ + ": file is closed");
  }
  if (buffer_size_ < block_size_ && len_ == buffer_size_) {
    buffer_size_ = buffer_size_ == 0 ? std::min(block_size_, kFirstLineBlockSize) : block_size_;
    buffer_.reset(new char[buffer_size_]);
  }
  pos_ = 0;
  len_ = ReadBlock(buffer_.get(), buffer_size_);
  next_cr_ = next_lf_ = kNotSearched;
  return len_ > 0;
}

BufferedLineWriter::BufferedLineWriter(std::string path, size_t block_size)
    : path_(std::move(path)), block_size_(block_size) {
  buffer_.reserve(std::min(block_size_, kFirstLineBlockSize));
}

void BufferedLineWriter::WriteLine(std::string_view line) {
  if (!IsOpen()) {
    throw RunError(kErrBadFileName, "Writing a line: " + path_ + ": file is closed");
  }
  if (buffer_.size() + line.size() + 2 > block_size_) Flush();
  if (line.size() + 2 > block_size_) {
    WriteBlock(line.data(), line.size());
    WriteBlock("\r\n", 2);
    return;
  }
  buffer_.append(line);
  buffer_.append("\r\n");
}

void BufferedLineWriter::Close() {
  if (!IsOpen()) return;
  Flush();
  SyncAndClose();
}

void BufferedLineWriter::Flush() {
  WriteBlock(buffer_.data(), buffer_.size());
  buffer_.clear();
}

}  // namespace quarnel
