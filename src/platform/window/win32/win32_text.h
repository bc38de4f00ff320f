// The one crossing between the program's GBK byte strings and the UTF-16 of
// the W functions, through code page 936 whatever the system's own code
// page is, so that a non-Chinese Windows shows the texts right. Edit
// positions cross here too: the program counts GBK bytes, the controls
// UTF-16 units. Any thread.
#pragma once

#include <string>

// Bytes that are not GBK become the code page's default character.
std::wstring GbkToWide(const std::string& gbk);
// Characters that GBK lacks become '?'.
std::string WideToGbk(const std::wstring& text);
std::string WideToGbk(const wchar_t* text, int nLength);
// UTF-16 ↔ UTF-8 (file names).
std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& utf8);

// GBK byte offset nByte in text → UTF-16 index (clamped to the text).
int WideIndexOfByte(const std::wstring& text, int nByte);
// UTF-16 index nIndex in text → GBK byte offset.
int ByteOfWideIndex(const std::wstring& text, int nIndex);
