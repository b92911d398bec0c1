#pragma once
// A guard for every JSON text the programs read: the reader and the values it builds recurse
// once per level of nesting, so a file of a hundred thousand "[" would overflow the stack.

#include <string>
#include <string_view>

namespace quillane {

inline constexpr int kMaxJsonDepth = 64;

// Whether arrays and objects nest deeper than kMaxJsonDepth (brackets inside strings do not
// count).
bool JsonTooDeep(std::string_view text);

// The message for such a text, after its origin: "arrays and objects nest more than 64 deep".
std::string JsonDepthText();

// Where a reader stopped, from the byte it names (counted from 1, as a reader's position is):
// line and column counted from 1.
struct TextPosition {
  std::size_t Line = 1;
  std::size_t Column = 1;
};
TextPosition PositionOfByte(std::string_view text, std::size_t byte);

// The first key given twice in one object of the text, empty if none (or the text is not JSON):
// the reader would keep only the last, and the user's first value would be lost unsaid.
std::string DuplicateJsonKey(std::string_view text);

}  // namespace quillane
