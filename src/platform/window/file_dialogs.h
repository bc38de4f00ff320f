// The standard open and save dialogs, run through the backend's modal
// service (so tests answer them without blocking). Each backend implements
// them (Qt's own dialog; GetOpenFileNameW and GetSaveFileNameW). Texts are
// GBK; paths are file system bytes as the program passes them to open()
// (UTF-8 on Windows too). UI thread only.
#pragma once

#include <string>

class CWnd;

// Asks for a file to open (bOpen) or a name to save under. gbkSuggestedName
// pre-fills the file name field of a save dialog. The save dialog asks
// before it replaces an existing file. Returns true and the path when the
// user confirmed.
bool PromptFileName(CWnd* pOwner, bool bOpen, const std::string& gbkSuggestedName, std::string& path);
