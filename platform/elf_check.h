#ifndef QUARNEL_PLATFORM_ELF_CHECK_H_
#define QUARNEL_PLATFORM_ELF_CHECK_H_

// The check of a shared library's file before the POSIX loader maps it.

#include <cstddef>
#include <cstdint>
#include <functional>

namespace quarnel {

// Reads exactly `length` bytes at `offset` into `into`; false when the file
// has fewer.
using ReadAt = std::function<bool(void* into, std::size_t length, std::uint64_t offset)>;

// Why the loader would map the library file of `size` bytes beyond its end
// ("it is shorter than its own headers say", "its program headers are
// malformed"), which would end the program with a bus error and no report;
// null when it would not. A file that is no ELF file of this program's class
// passes: the loader refuses it by itself, naming the reason.
const char* ElfImageDamage(std::uint64_t size, const ReadAt& read_at);

}  // namespace quarnel

#endif  // QUARNEL_PLATFORM_ELF_CHECK_H_
