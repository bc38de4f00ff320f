// Installing the Qt 6 Widgets backend of the window layer. The program's
// main() calls QtWinMain; GUI tests call EnsureQtApplication once before
// they make windows. UI thread (the thread that created the QApplication).
#pragma once

#include <QApplication>

class CWindowBackend;

// The backend object (one per process).
CWindowBackend& QtWindowBackend();

// Logical dots per inch of the primary screen, 96 when there is none.
int QtLogicalDpi();

// With a QApplication in place: the UI font (a CJK font at 12 px at 96 dpi),
// the window backend, the message box handler, and an event loop that ends
// only when the program says so. Idempotent.
void InstallQtWindowBackend();

// Creates the process's QApplication when there is none (kept for the life
// of the process), then installs the backend.
QApplication& EnsureQtApplication();

// The program's entry: QApplication, backend, then AfxWinMain (InitInstance
// and the message loop of the one CWinApp). Returns the exit code.
int QtWinMain(int argc, char** argv);

// Family name of the UI font that was chosen (empty before installation).
QString UiFontFamily();
