// Shared set-up of the window layer's GUI tests on the Win32 backend (run
// under Wine on an Xvfb display in the test command): the backend, a modal
// hook that never lets a test block, the user's hands (clicks and keys as
// input the system delivers) and waits that run the message loop. A test
// that expects a modal window installs its own hook on top
// (CScopedWin32ModalHook). The same names as the Qt support where a
// backend-neutral test uses them: WindowTest, FramedForm, MessageBoxRecorder.
#pragma once

#include "platform/window/win32/win32_system.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/message_box.h"
#include "platform/window/win32/win32_access.h"
#include "platform/window/win32/win32_backend.h"
#include "platform/window/win32/win32_modal.h"
#include "platform/window/win32/win32_peers.h"
#include "platform/window/win32/win32_text.h"
#include "platform/window/window_test_forms.h"

// Runs the message loop (timers fire, input arrives) until done() or a
// generous limit; returns done()'s last answer. Tests never depend on how
// long it took.
inline bool WaitFor(const std::function<bool()>& done, int limitMs = 10000) {
  const DWORD start = GetTickCount();
  for (;;) {
    PumpWin32Messages();
    if (done()) return true;
    if (GetTickCount() - start > static_cast<DWORD>(limitMs)) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
}

// Runs the message loop for ms milliseconds.
inline void RunLoopFor(int ms) {
  WaitFor([] { return false; }, ms);
}

// The window text of a system window, GBK.
inline std::string TextOf(HWND hwnd) { return WindowTextOf(hwnd); }

// A message box's text (the system gives its static text the identifier
// 0xFFFF); the backend puts the cause below the text as its own paragraph.
inline std::string MessageBoxText(HWND box) { return WindowTextOf(GetDlgItem(box, 0xFFFF)); }

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallWin32WindowBackend();
    // Any modal window that a test did not ask for is recorded and left to close.
    m_previousHook = SetWin32ModalHook([this](HWND window) { m_unexpected.push_back(TextOf(window)); });
  }
  void TearDown() override {
    SetWin32ModalHook(std::move(m_previousHook));
    PumpWin32Messages();
    EXPECT_TRUE(m_unexpected.empty()) << "a modal window appeared that the test did not expect: "
                                      << (m_unexpected.empty() ? "" : m_unexpected[0]);
  }

  std::vector<std::string> m_unexpected;

 private:
  Win32ModalHook m_previousHook;
};

// Records the texts of message boxes (as GBK, the text without its cause)
// and their causes, and presses their OK button.
class MessageBoxRecorder {
 public:
  MessageBoxRecorder()
      : m_hook([this](HWND box) {
          std::string text = MessageBoxText(box);
          std::string cause;
          const std::size_t split = text.find("\r\n\r\n");
          if (split != std::string::npos) {
            cause = text.substr(split + 4);
            text.resize(split);
          }
          texts.push_back(text);
          causes.push_back(cause);
          titles.push_back(TextOf(box));
          hasCancel.push_back(GetDlgItem(box, IDCANCEL) != nullptr);
          SendMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
        }) {}
  std::vector<std::string> texts;
  std::vector<std::string> causes;
  std::vector<std::string> titles;
  std::vector<bool> hasCancel;

 private:
  CScopedWin32ModalHook m_hook;
};

// --- The user's hands: input that the system delivers as it delivers the
// user's, through the message loop (accelerators, dialog keys, the
// controls' own handling).

inline void SendKey(WORD vk, bool bUp) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = vk;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = bUp ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &input, sizeof input);
}

// Key vk (with Ctrl when bControl) to the window that has the focus.
inline void PressKey(WORD vk, bool bControl = false) {
  if (bControl) SendKey(VK_CONTROL, false);
  SendKey(vk, false);
  SendKey(vk, true);
  if (bControl) SendKey(VK_CONTROL, true);
  RunLoopFor(20);
}

// Types text (ASCII) into the window that has the focus, key by key.
inline void TypeText(const std::string& text) {
  for (char c : text) {
    const SHORT vk = VkKeyScanW(static_cast<wchar_t>(c));
    const bool shift = (vk >> 8) & 1;
    if (shift) SendKey(VK_SHIFT, false);
    SendKey(static_cast<WORD>(vk & 0xFF), false);
    SendKey(static_cast<WORD>(vk & 0xFF), true);
    if (shift) SendKey(VK_SHIFT, true);
    RunLoopFor(5);
  }
  RunLoopFor(20);
}

// A left click in the middle of the window, as the mouse gives it.
inline void ClickWindow(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  const int x = (r.left + r.right) / 2;
  const int y = (r.top + r.bottom) / 2;
  SetCursorPos(x, y);
  INPUT input[2] = {};
  input[0].type = INPUT_MOUSE;
  input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  input[1].type = INPUT_MOUSE;
  input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, input, sizeof input[0]);
  RunLoopFor(30);
}

inline void ClickControl(const CWnd& control) { ClickWindow(WindowOf(control)); }

// A frame holding the test form; the view class is the test's own.
template <class View>
struct FramedForm {
  CFrameWnd frame;
  View view;
  FramedForm() {
    EXPECT_EQ(frame.Create("Quillon", WS_OVERLAPPEDWINDOW & ~(WS_MAXIMIZEBOX | WS_THICKFRAME)), 1);
    EXPECT_EQ(view.Create(&frame), 1);
    view.OnInitialUpdate();
    view.ResizeParentToFit();
    frame.ActivateFrame();
    // Input goes to the active window.
    EXPECT_TRUE(WaitFor([this] { return GetForegroundWindow() == WindowOf(frame); }))
        << "the frame did not become the active window";
  }
  ~FramedForm() { frame.DestroyWindow(); }
};
