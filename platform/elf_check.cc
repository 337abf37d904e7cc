#include "platform/elf_check.h"

#include <link.h>

#include <algorithm>
#include <cstring>

namespace quarnel {

namespace {

constexpr char kShort[] = "it is shorter than its own headers say";

// True when `length` bytes at `offset` lie inside a file of `size` bytes.
bool Inside(std::uint64_t offset, std::uint64_t length, std::uint64_t size) {
  return offset <= size && length <= size - offset;
}

}  // namespace

const char* ElfImageDamage(std::uint64_t size, const ReadAt& read_at) {
  ElfW(Ehdr) header;
  std::memset(&header, 0, sizeof header);
  if (!read_at(&header, std::min<std::uint64_t>(size, sizeof header), 0)) return kShort;
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0) return nullptr;
  if (size < sizeof header) return kShort;
  if (header.e_ident[EI_CLASS] != (sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32)) return nullptr;
  if (header.e_phentsize != sizeof(ElfW(Phdr))) return "its program headers are malformed";
  for (unsigned i = 0; i < header.e_phnum; ++i) {
    ElfW(Phdr) segment;
    const std::uint64_t at = header.e_phoff + std::uint64_t{i} * sizeof segment;
    if (!Inside(at, sizeof segment, size) || !read_at(&segment, sizeof segment, at)) {
      return kShort;
    }
    if ((segment.p_type == PT_LOAD || segment.p_type == PT_DYNAMIC) &&
        !Inside(segment.p_offset, segment.p_filesz, size)) {
      return kShort;
    }
  }
  if (header.e_shoff != 0 &&
      !Inside(header.e_shoff, std::uint64_t{header.e_shnum} * header.e_shentsize, size)) {
    return kShort;
  }
  return nullptr;
}

}  // namespace quarnel
