#include "platform/window/win32/win32_system.h"
#include "platform/window/win32/win32_modal.h"

#include <set>
#include <utility>

#include "platform/message_box.h"
#include "platform/window/app.h"
#include "platform/window/win32/win32_access.h"
#include "platform/window/win32/win32_peers.h"
#include "platform/window/win32/win32_text.h"

namespace {

Win32ModalHook& Hook() {
  static Win32ModalHook hook;
  return hook;
}

// The system window the hook waits for: a new top-level window of this
// thread, shown and enabled, that was not there before the call.
struct SystemModalWait {
  std::set<HWND> before;
  UINT_PTR timer = 0;
  bool handed = false;
  Win32ModalHook hook;
};
SystemModalWait* g_wait = nullptr;

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM lParam) {
  reinterpret_cast<std::set<HWND>*>(lParam)->insert(hwnd);
  return TRUE;
}

std::set<HWND> ThreadWindows() {
  std::set<HWND> windows;
  EnumThreadWindows(GetCurrentThreadId(), CollectWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

void CALLBACK HandOverSystemWindow(HWND, UINT, UINT_PTR, DWORD) {
  SystemModalWait* wait = g_wait;
  if (wait == nullptr || wait->handed) return;
  HWND found = nullptr;
  for (HWND hwnd : ThreadWindows()) {
    if (wait->before.count(hwnd) == 0 && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) found = hwnd;
  }
  if (found == nullptr) return;
  wait->handed = true;
  KillTimer(nullptr, wait->timer);
  wait->hook(found);
  // Left open: closed as by its close box, so the call returns.
  if (IsWindow(found) && IsWindowVisible(found)) PostMessageW(found, WM_CLOSE, 0, 0);
}

HWND ActiveOwner() {
  HWND owner = GetActiveWindow();
  if (owner == nullptr) {
    if (CWnd* main = AfxGetMainWnd()) owner = WindowOf(*main);
  }
  return owner != nullptr ? GetAncestor(owner, GA_ROOT) : nullptr;
}

}  // namespace

Win32ModalHook SetWin32ModalHook(Win32ModalHook hook) {
  Win32ModalHook previous = std::move(Hook());
  Hook() = std::move(hook);
  return previous;
}

bool HasWin32ModalHook() { return static_cast<bool>(Hook()); }

void PumpWin32Messages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Not ours to take: the loop that waits for it will see it.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    if (PreTranslateWin32Message(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void RunWin32DialogLoop(HWND dialog, const bool* pEnded) {
  HWND owner = GetWindow(dialog, GW_OWNER);
  const bool ownerWasEnabled = owner != nullptr && IsWindowEnabled(owner);
  if (ownerWasEnabled) EnableWindow(owner, FALSE);
  ShowWindow(dialog, SW_SHOW);
  SetForegroundWindow(dialog);
  if (HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE)) {
    SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(first), TRUE);
  }

  // A copy: the hook may install another one while it runs.
  Win32ModalHook hook = Hook();
  if (hook) {
    hook(dialog);
    // A dialog that the hook left open is asked to close, as by its close
    // box, so that the program's own close handling runs.
    if (!*pEnded && IsWindow(dialog) && IsWindowVisible(dialog)) SendMessageW(dialog, WM_CLOSE, 0, 0);
  } else {
    MSG msg;
    while (!*pEnded && IsWindow(dialog)) {
      const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
      if (got == 0) {
        // The program ends: the quit goes on to the outer loop.
        PostQuitMessage(static_cast<int>(msg.wParam));
        break;
      }
      if (got < 0) break;
      if (PreTranslateWin32Message(msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  // The owner first, so that it takes the activation back (EndDialog may
  // have done both already).
  if (ownerWasEnabled && IsWindow(owner)) EnableWindow(owner, TRUE);
  if (IsWindow(dialog)) ShowWindow(dialog, SW_HIDE);
}

long RunSystemModal(const std::function<long()>& call) {
  Win32ModalHook hook = Hook();
  if (!hook || g_wait != nullptr) return call();
  SystemModalWait wait;
  wait.before = ThreadWindows();
  wait.hook = std::move(hook);
  wait.timer = SetTimer(nullptr, 0, 10, HandOverSystemWindow);
  g_wait = &wait;
  const long result = call();
  g_wait = nullptr;
  if (!wait.handed) KillTimer(nullptr, wait.timer);
  return result;
}

void ShowWin32MessageBox(const std::string& gbkText) {
  std::string title;
  if (CWinApp* app = AfxGetApp()) title = app->m_strAppName;
  std::string text = gbkText;
  const std::string cause = MessageBoxCause();
  if (!cause.empty()) text += "\r\n\r\n" + cause;
  const std::wstring wideText = GbkToWide(text);
  const std::wstring wideTitle = GbkToWide(title);
  HWND owner = ActiveOwner();
  RunSystemModal([&] {
    return static_cast<long>(MessageBoxW(owner, wideText.c_str(), wideTitle.c_str(), MB_OK | MB_ICONWARNING));
  });
}
