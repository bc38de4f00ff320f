// Text for the terminal: the headless bridge's lines and the messages that
// go to standard error without a window. The text is UTF-8. A Windows
// console takes it as UTF-16 (WriteConsoleW), so it shows right whatever the
// console's code page; a pipe or a file, and every stream on Linux, takes
// the UTF-8 bytes through the stream's buffer.
//
// Any thread; blocks as writing to the stream does.
#pragma once

#include <cstdio>
#include <string_view>

// Writes utf8 to stream (stdout or stderr). False when the write failed.
bool WriteTerminal(std::FILE* stream, std::string_view utf8);

// printf-style into WriteTerminal (the C locale's numbers, as StrFormat).
bool PrintTerminal(std::FILE* stream, const char* format, ...) __attribute__((format(gnu_printf, 2, 3)));
