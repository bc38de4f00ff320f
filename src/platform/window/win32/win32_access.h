// The window handles behind the window layer's objects, for the code that
// must reach Win32 directly: tests (messages and keys) and the application
// shell's Win32-only services. UI thread only.
#pragma once

#include "platform/window/win32/win32_system.h"

class CWnd;

// The window of a window or control, or nullptr while it has none. Dialogs
// and forms are dialog windows from in-memory templates, frames windows of
// the backend's own class, controls the system's own (BUTTON, EDIT,
// COMBOBOX, SysListView32, SysIPAddress32, STATIC).
HWND WindowOf(const CWnd& wnd);
