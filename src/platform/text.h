// Texts: every string in the core is a byte string of code page 936 (GBK).
// These helpers stand in for the framework's string formatting and convert
// between GBK and UTF-8 at the edges (terminal, Qt). Any thread may call them.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>
#include <string_view>

// printf-style formatting into a new string, always in the C locale, whatever
// locale the process or Qt has set ("%3.3f" prints 250.000, never 250,000).
// On Windows the C runtime's numeric locale stays "C": nothing in the
// program sets another; the conversions are C99's there too (%zu, %lld:
// mingw's own printf, hence gnu_printf).
std::string StrFormat(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
std::string StrFormatV(const char* format, va_list args);

// GBK ↔ UTF-8 (glibc's iconv on Linux, code page 936 on Windows). A
// character that cannot be converted becomes one '?' (an emoji is one '?',
// not four), and so does each byte of a broken sequence, so a damaged text
// never stops the caller.
std::string GbkToUtf8(std::string_view gbk);
std::string Utf8ToGbk(std::string_view utf8);

// File and device names as the program holds them ↔ as the command line and
// the terminal carry them (UTF-8). On Linux both are the file system's own
// bytes and nothing changes; on Windows names are GBK inside (they cross to
// the system through code page 936) and UTF-8 outside.
std::string NameFromTerminal(std::string_view text);
std::string NameForTerminal(std::string_view name);

// ASCII upper-casing (the port names); bytes of double-byte characters stay.
std::string AsciiUpper(std::string_view text);

// A whole decimal number: digits only (no sign, blank or any other byte), at
// most ten of them, within [low, high]. 1 and *out set; otherwise 0 and *out
// untouched.
int ParseDecimal(std::string_view text, std::uint64_t low, std::uint64_t high, std::uint64_t* out);

// text with every byte that could move a terminal's cursor or start an
// escape sequence written out: \t, \n, \r, \\ and \xHH for the other ASCII
// controls, DEL, C1 controls (U+0080 to U+009F) and bytes that are no part of
// well-formed UTF-8. Other UTF-8 stays as it is. For device names and texts
// from sysfs, which anybody who can plug in a USB device chooses.
std::string EscapeControls(std::string_view utf8);
