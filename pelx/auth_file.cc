#include "pelx/auth_file.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

#include "pelx/cipher.h"
#include "pelx/pelx.h"

namespace pelx {
namespace {

// A credentials file is a few hundred bytes; the bound keeps a wrong file
// of any size from being read whole.
constexpr std::size_t kMaxFileSize = 64 * 1024;

// A wide path on Windows, so that any folder name opens.
std::optional<std::string> ReadSmallFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string content(kMaxFileSize + 1, '\0');
  in.read(content.data(), static_cast<std::streamsize>(content.size()));
  if (in.bad()) return std::nullopt;
  content.resize(static_cast<std::size_t>(in.gcount()));
  return content;
}

// Lines end at CR LF, a lone CR or a lone LF; text after the last line end
// is a last line of its own.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  return lines;
}

bool OnlyBlankLinesFrom(const std::vector<std::string_view>& lines,
                        std::size_t first) {
  for (std::size_t i = first; i < lines.size(); ++i) {
    if (!lines[i].empty()) return false;
  }
  return true;
}

}  // namespace

int32_t ReadAuthValue(const std::filesystem::path& path, AuthField field, char* buffer,
                      int32_t capacity) {
  if (buffer == nullptr || capacity < 1) return PELX_BAD_CALL;
  const std::optional<std::string> content = ReadSmallFile(path);
  if (!content) return PELX_NO_FILE;
  if (content->size() > kMaxFileSize) return PELX_BAD_TEXT;
  const std::vector<std::string_view> lines = SplitLines(*content);
  if (lines.size() < 2 || !OnlyBlankLinesFrom(lines, 2)) return PELX_BAD_TEXT;

  std::string value(lines[static_cast<int>(field)]);
  const int32_t length = DecryptHexInPlace(value.data(), value.size());
  if (length < 0) return length;
  if (length >= capacity) return PELX_NO_ROOM;
  std::memcpy(buffer, value.data(), static_cast<std::size_t>(length));
  buffer[length] = '\0';
  return length;
}

std::string AuthFileContent(std::string_view user, std::string_view password) {
  return EncryptToHex(user) + "\r\n" + EncryptToHex(password) + "\r\n";
}

}  // namespace pelx
