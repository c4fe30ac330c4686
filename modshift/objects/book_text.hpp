#pragma once
// Book text cleaning: FONT tags are removed from the text, each up to and
// including its ">", together with any tag that follows one directly (its ">"
// immediately followed by "<"). Every other tag stays; the test for FONT is
// case-sensitive. Nothing outside the text is ever read.

#include <cstddef>
#include <cstdint>
#include <span>

namespace lw::modshift {

// Cleans `text` in place; returns the cleaned length (the bytes after it are
// left as they were).
std::size_t cleanBookText(std::span<std::uint8_t> text);

} // namespace lw::modshift
