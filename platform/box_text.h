#ifndef QUARNEL_PLATFORM_BOX_TEXT_H_
#define QUARNEL_PLATFORM_BOX_TEXT_H_

// The layout of a message box's text.

#include <cstddef>
#include <string>
#include <string_view>

namespace quarnel {

// The longest line a box shows, in characters.
inline constexpr std::size_t kBoxLineLength = 80;

// `text` broken into lines of at most kBoxLineLength characters with "\n":
// at blanks where it can (the blank gives way to the line break) and inside
// a word longer than a line (a long path) where it must, so that the box
// stays narrower than the screen.
std::string WrappedForBox(std::string_view text);

}  // namespace quarnel

#endif  // QUARNEL_PLATFORM_BOX_TEXT_H_
