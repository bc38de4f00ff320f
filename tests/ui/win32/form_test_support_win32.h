// The main form and the console on the Win32 backend, without the
// application shell: the document, a frame with a status bar, and the form
// inside it, in a configuration folder of the test's own. Message boxes are
// recorded and confirmed; any other modal window is unexpected.
#pragma once

// The program's headers before <windows.h> (which the Win32 support brings):
// their constants named after the system's (EV_RXCHAR, WS_CHILD, ...) are
// declared first, and the system's macros then stand for the same numbers.
#include "bridge/quillon_doc.h"
#include "support/config_dir_override.h"
#include "support/temp_folder.h"
#include "ui/command_dlg.h"
#include "ui/quillon_view.h"

#include "platform/window/win32/window_test_support_win32.h"

#include <memory>
#include <string>
#include <thread>
#include <vector>

class StatusFrame : public CFrameWnd {
 public:
  int OnCreate(CCreateStruct* cs) override {
    if (CFrameWnd::OnCreate(cs) == -1 || !m_wndStatusBar.Create(this)) return -1;
    return m_wndStatusBar.SetIndicators({"就绪", "大写", "数字", "滚动"}) ? 0 : -1;
  }
  void SetMessageText(const std::string& text) override { m_wndStatusBar.SetPaneText(0, text); }
  CStatusBar m_wndStatusBar;
};

class Win32FormTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ASSERT_FALSE(m_folder.path.empty());
    m_doc = std::make_unique<CQuillonDoc>();
    ASSERT_EQ(m_doc->OnNewDocument(), 1);
    ASSERT_EQ(m_frame.Create("串口转网口助手 - Quillon", WS_OVERLAPPEDWINDOW & ~(WS_MAXIMIZEBOX | WS_THICKFRAME)), 1);
    m_view.SetDocument(m_doc.get());
    ASSERT_EQ(m_view.Create(&m_frame), 1);
    m_frame.RecalcLayout();
    m_view.OnInitialUpdate();
    m_frame.ActivateFrame(SW_SHOWNORMAL);
    ASSERT_TRUE(WaitFor([this] { return GetForegroundWindow() == WindowOf(m_frame); }));
  }
  void TearDown() override {
    m_frame.DestroyWindow();
    m_doc.reset();
    WindowTest::TearDown();
  }

  // Bytes from the serial side, as the reader thread hands them on.
  void Feed(const std::string& bytes) {
    std::thread reader([this, bytes] {
      for (unsigned char c : bytes) m_doc->OnSerialByte(c);
      m_doc->OnSerialBlockEnd();
    });
    reader.join();
  }
  std::string Caption(int id) const { return m_view.GetDlgItemText(id); }
  bool Enabled(int id) const { return m_view.GetDlgItem(id)->IsWindowEnabled() != 0; }
  void Click(int id) { ClickControl(*m_view.GetDlgItem(id)); }

  TempFolder m_folder{"win32form"};
  ScopedConfigDir m_configDir{m_folder / "ConfigFile"};
  std::unique_ptr<CQuillonDoc> m_doc;
  StatusFrame m_frame;
  CQuillonView m_view;
};
