// The standard open and save dialogs, run through the backend's modal
// service (so tests answer them without blocking). Each backend implements
// them (Qt's own dialog; GetOpenFileNameW and GetSaveFileNameW). Texts are
// GBK; paths are names as the program holds them (the file system's bytes
// on Linux, GBK on Windows, where they cross to the system through code page
// 936). UI thread only.
#pragma once

#include <string>

class CWnd;

// Asks for a file to open (bOpen) or a name to save under. gbkSuggestedName
// pre-fills the file name field of a save dialog. The save dialog asks
// before it replaces an existing file. Returns true and the path when the
// user confirmed.
bool PromptFileName(CWnd* pOwner, bool bOpen, const std::string& gbkSuggestedName, std::string& path);
