// Character-wise text helpers for UTF-8 strings.
//
// The program's texts count characters, not bytes: a pay-item key is cut at its second and fourth
// character, a position code keeps its first three, the data folder drops the last eleven of a
// path. These helpers count Unicode code points of well-formed UTF-8; a stray byte that starts no
// valid sequence counts as one character of its own, so no input makes them fail.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace text {

// Number of characters in `text`.
size_t charCount(std::string_view text);

// Up to `length` characters starting at character `start` (counted from 1); empty when `start`
// lies beyond the end. REQUIRES: start >= 1.
std::string midChars(std::string_view text, size_t start, size_t length);
// The first `count` characters (the whole text when shorter).
std::string leftChars(std::string_view text, size_t count);
// The last `count` characters (the whole text when shorter).
std::string rightChars(std::string_view text, size_t count);

}  // namespace text
