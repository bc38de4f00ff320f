// Installing the Win32 backend of the window layer: the system's own
// controls, dialogs built from in-memory DLGTEMPLATEEX, window timers,
// MessageBoxW. The program's main() calls Win32WinMain; GUI tests call
// InstallWin32WindowBackend once before they make windows. UI thread (the
// thread that installed it).
#pragma once

#include <functional>
#include <string>

class CWindowBackend;

// The backend object (one per process).
CWindowBackend& Win32WindowBackend();

// Common controls, per-monitor dpi awareness (where the manifest did not
// already ask for it), the UI font, the backend and the message box
// handler. Idempotent.
void InstallWin32WindowBackend();

// The program's entry: backend, then AfxWinMain (InitInstance and the
// message loop of the one CWinApp). Returns the exit code.
int Win32WinMain(int argc, char** argv);

// Face name of the UI font that was chosen, UTF-8 (empty before installation).
std::string Win32UiFontFace();
