#include "platform/elf_check.h"

#include <gtest/gtest.h>
#include <link.h>

#include <cstring>
#include <functional>
#include <string>

namespace quarnel {
namespace {

// A small well-formed image of this program's class: the header, two program
// headers (a loaded segment and the dynamic section) and a section table.
struct Image {
  ElfW(Ehdr) header{};
  ElfW(Phdr) segments[2]{};
  char body[512]{};

  Image() {
    std::memcpy(header.e_ident, ELFMAG, SELFMAG);
    header.e_ident[EI_CLASS] = sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32;
    header.e_phoff = offsetof(Image, segments);
    header.e_phentsize = sizeof(ElfW(Phdr));
    header.e_phnum = 2;
    header.e_shoff = offsetof(Image, body) + 256;
    header.e_shentsize = 64;
    header.e_shnum = 4;
    segments[0] = {};
    segments[0].p_type = PT_LOAD;
    segments[0].p_filesz = sizeof(Image);
    segments[1].p_type = PT_DYNAMIC;
    segments[1].p_offset = offsetof(Image, body);
    segments[1].p_filesz = 64;
  }
  std::string Bytes() const { return std::string(reinterpret_cast<const char*>(this), sizeof *this); }
};

const char* DamageOf(const std::string& file) {
  return ElfImageDamage(file.size(), [&](void* into, size_t length, uint64_t offset) {
    if (offset > file.size() || length > file.size() - offset) return false;
    std::memcpy(into, file.data() + offset, length);
    return true;
  });
}

TEST(ElfCheckTest, AnImageReachingPastTheFileIsDamaged) {
  constexpr char kShort[] = "it is shorter than its own headers say";
  const size_t whole = sizeof(Image);
  struct Case {
    const char* name;
    std::function<void(Image&)> change;
    size_t kept;  // bytes of the image the file holds
    const char* damage;
  } cases[] = {
      {"whole", [](Image&) {}, whole, nullptr},
      {"truncated in the loaded segment", [](Image&) {}, whole - 1, kShort},
      {"truncated in the header", [](Image&) {}, sizeof(ElfW(Ehdr)) - 1, kShort},
      {"truncated in the program headers", [](Image& i) { i.segments[0].p_filesz = 64; },
       offsetof(Image, segments) + 10, kShort},
      {"dynamic section past the end", [](Image& i) { i.segments[1].p_filesz = whole; }, whole,
       kShort},
      {"segment offset past the end", [](Image& i) { i.segments[1].p_offset = whole + 1; },
       whole, kShort},
      {"unloaded note past the end",
       [](Image& i) { i.segments[1] = {}; i.segments[1].p_type = PT_NOTE; i.segments[1].p_filesz = 1 << 20; },
       whole, nullptr},
      {"section table past the end", [](Image& i) { i.header.e_shnum = 5; }, whole, kShort},
      {"section table offset past the end", [](Image& i) { i.header.e_shoff = whole + 8; }, whole,
       kShort},
      {"no section table", [](Image& i) { i.header.e_shoff = 0; i.header.e_shnum = 1000; }, whole,
       nullptr},
      {"program headers past the end", [](Image& i) { i.header.e_phnum = 40; }, whole, kShort},
      {"program header size wrong", [](Image& i) { i.header.e_phentsize = 8; }, whole,
       "its program headers are malformed"},
      {"not ELF at all", [](Image& i) { i.header.e_ident[1] = 'X'; }, 100, nullptr},
      {"other class", [](Image& i) { i.header.e_ident[EI_CLASS] = ELFCLASSNONE; }, 100, nullptr},
      {"empty file", [](Image&) {}, 0, nullptr},
  };
  for (const Case& c : cases) {
    Image image;
    c.change(image);
    const char* damage = DamageOf(image.Bytes().substr(0, c.kept));
    EXPECT_STREQ(damage, c.damage) << c.name;
  }
}

}  // namespace
}  // namespace quarnel
