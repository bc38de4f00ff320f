// PRIVATE to the platform layer: how many bytes make one character, shared
// by each system's text conversion so that every one of them replaces what
// it cannot convert the same way (one '?' per character, one per byte of a
// broken sequence). Any thread; nothing blocks.
#pragma once

#include <cstddef>
#include <string_view>

// How many bytes of the source make the character at p (n > 0 bytes left).
// A broken UTF-8 sequence counts up to its first byte that does not belong;
// a GBK lead byte without a valid trail byte counts alone.
std::size_t Utf8CharLength(const unsigned char* p, std::size_t n);
std::size_t GbkCharLength(const unsigned char* p, std::size_t n);

// Length of the well-formed UTF-8 sequence at text[at] (no overlong form,
// no surrogate, nothing above U+10FFFF), 0 when there is none.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at);
