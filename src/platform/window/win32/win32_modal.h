// The one modal service of the Win32 backend: every modal loop of the
// program — its dialogs, and the system's message boxes, file and print
// dialogs — runs through here. Tests install a hook that receives each
// modal window (its handle, already shown) instead of a blocking wait; the
// hook may answer it, drive it (messages, keys, waiting for timers) or leave
// it, in which case the window is asked to close as by its close box. UI
// thread only; never call it while holding a lock.
#pragma once

#include "platform/window/win32/win32_system.h"

#include <functional>
#include <string>

using Win32ModalHook = std::function<void(HWND window)>;

// Installs a hook (empty: real modal loops) and returns the previous one.
Win32ModalHook SetWin32ModalHook(Win32ModalHook hook);
bool HasWin32ModalHook();

// Runs the modal loop of a dialog of the program until *pEnded turns true
// or the window is gone, its owner disabled meanwhile. With a hook, the hook
// runs in place of the loop.
void RunWin32DialogLoop(HWND dialog, const bool* pEnded);

// Runs a system call that shows a modal window of its own (MessageBoxW,
// GetOpenFileNameW, PrintDlgW) and returns its result. With a hook, the hook
// receives the system's window from inside that window's own loop.
long RunSystemModal(const std::function<long()>& call);

// The message box handler the backend installs for AfxMessageBox: MessageBoxW
// with an OK button and the warning icon, titled with the application's
// name, owned by the active window, the cause as a paragraph of its own.
void ShowWin32MessageBox(const std::string& gbkText);

// Runs the thread's pending messages through the same translation as the
// loops (accelerators, dialog keys). Tests wait with it.
void PumpWin32Messages();

// Installs a hook for the lifetime of the object (tests).
class CScopedWin32ModalHook {
 public:
  explicit CScopedWin32ModalHook(Win32ModalHook hook) : m_previous(SetWin32ModalHook(std::move(hook))) {}
  ~CScopedWin32ModalHook() { SetWin32ModalHook(std::move(m_previous)); }
  CScopedWin32ModalHook(const CScopedWin32ModalHook&) = delete;
  CScopedWin32ModalHook& operator=(const CScopedWin32ModalHook&) = delete;

 private:
  Win32ModalHook m_previous;
};
