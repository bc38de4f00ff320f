// Helpers of the parameter text form: uppercase hexadecimal both ways and the
// separator split that both levels of the reader use. Any thread; nothing
// blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Two uppercase digits per byte, high nibble first, nothing between bytes.
std::string BufferToHex(const void* data, std::size_t length);
std::string BytesToHex(const std::vector<std::uint8_t>& bytes);
std::string StringToHex(std::string_view text);

// Decoding takes characters in pairs; "0"-"9" and "A"-"F" give their value and
// every other character (lowercase letters included) gives 0. An odd last
// character is ignored.
// HexToBytes: out becomes length / 2 bytes. Always 1.
int HexToBytes(std::string_view hex, std::vector<std::uint8_t>& out);
// HexToString: out becomes the decoded bytes up to the first zero byte. Always 1.
int HexToString(std::string_view hex, std::string& out);
// HexToBuffer: 1 and count bytes written when length / 2 == count; otherwise
// 0 and the buffer untouched.
int HexToBuffer(std::string_view hex, void* buffer, std::size_t count);

// Splits text at every occurrence of separator. A separator at the very start
// or at the very end closes no field; two adjacent ones give an empty field;
// an empty text gives one empty field. out is replaced.
void SplitString(std::string_view text, std::string_view separator,
                 std::vector<std::string>& out);
