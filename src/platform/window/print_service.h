// Printing a window as it looks on the screen: the print dialog (run through
// the backend's modal service, so tests answer it), then the window's
// picture scaled to the page, on one page. Each backend implements it (Qt's
// print dialog; PrintDlgW and GDI). UI thread only.
#pragma once

#include <string>

class CWnd;

// Returns 1 when a page was printed, 0 when the user cancelled, the window
// does not exist or the printer could not be started.
int PrintWindowWithDialog(const CWnd& wnd, const std::string& gbkDocumentName);
