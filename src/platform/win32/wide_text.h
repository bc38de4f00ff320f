// PRIVATE to the Windows side of the program: the crossing between the
// program's byte strings and the UTF-16 of the W functions. Texts, file
// names included, are code page 936 (GBK) inside and cross through that code
// page whatever the system's own code page is, so that a non-Chinese Windows
// shows and opens them right. The headless bridge's terminal text is UTF-8.
// What the target cannot hold becomes one '?' per character, as GbkToUtf8
// and Utf8ToGbk do (text.h).
//
// Any thread; nothing blocks.
#pragma once

#include <string>
#include <string_view>

std::wstring WideFromGbk(std::string_view gbk);
std::string GbkFromWide(std::wstring_view wide);
std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);

// A name the system gives (a folder, the executable's path) as GBK, or, when
// GBK cannot hold one of its characters, its short 8.3 form, which is
// ASCII. Empty when neither works: such a name cannot be used inside.
std::string GbkPathFromWide(const std::wstring& path);
