// The whole program inside a test: the application object started as main()
// starts it, in a configuration folder and a profile folder of the test's
// own, with every dialog answered by the test (message boxes are recorded
// and confirmed). A pseudo-terminal maps as COM3 through ports.ini, and a
// UDP receiver on 127.0.0.1 stands in for the network peer. Nothing is ever
// sent to an address other than 127.0.0.1: tests set the address control
// before they start the network port.
#pragma once

#include <unistd.h>

#include <QComboBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/doc_template.h"
#include "app/main_frame.h"
#include "app/quillon_app.h"
#include "bridge/quillon_doc.h"
#include "platform/config_dir.h"
#include "platform/window/window_test_support.h"
#include "support/config_dir_override.h"
#include "support/pty_pair.h"
#include "support/temp_folder.h"
#include "support/udp_receiver.h"
#include "support/wait.h"
#include "ui/quillon_view.h"

class QuillonAppTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ASSERT_FALSE(m_tempDir.path.empty());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(m_tempDir / "profile"));
    m_hook.emplace([this](QDialog& dialog) { OnDialog(dialog); });
    if (StartWithArguments()) {
      ASSERT_EQ(Start({"quillon"}), 1);
    }
  }

  void TearDown() override {
    Shutdown();
    m_hook.reset();
    EXPECT_TRUE(m_unexpectedDialogs.empty()) << "a dialog came up that the test did not expect";
    WindowTest::TearDown();
  }

  // Fixtures that start the program with a command line of their own
  // return false and call Start themselves.
  virtual bool StartWithArguments() { return true; }

  int Start(std::vector<std::string> argv) {
    m_app = std::make_unique<CQuillonApp>();
    m_app->m_argv = std::move(argv);
    return m_app->InitInstance();
  }

  // Closes the main window as its close box does, then ends the program as
  // the message loop's end does.
  void Shutdown() {
    if (!m_app) return;
    if (QMainWindow* frame = FrameWidget()) frame->close();
    m_app->ExitInstance();
    m_app.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  // --- The program's parts -------------------------------------------------
  CQuillonDocTemplate* Template() const { return m_app ? m_app->GetDocTemplate() : nullptr; }
  CQuillonView* View() const { return Template() ? Template()->GetView() : nullptr; }
  CMainFrame* Frame() const { return Template() ? Template()->GetFrame() : nullptr; }
  CQuillonDoc* Doc() const { return Template() ? Template()->GetDocument() : nullptr; }
  QMainWindow* FrameWidget() const { return Frame() ? WidgetAs<QMainWindow>(*Frame()) : nullptr; }
  QWidget* Control(int id) const { return WidgetOf(*View()->GetDlgItem(id)); }

  // --- The user's hands -----------------------------------------------------
  void Click(int id) { QTest::mouseClick(Control(id), Qt::LeftButton); }
  std::string Caption(int id) const { return View()->GetDlgItemText(id); }
  bool Enabled(int id) const { return View()->GetDlgItem(id)->IsWindowEnabled() != 0; }
  int Selection(int id) const { return qobject_cast<QComboBox*>(Control(id))->currentIndex(); }
  void Select(int id, int index) { qobject_cast<QComboBox*>(Control(id))->setCurrentIndex(index); }
  void Type(int id, const char* text) {
    auto* edit = qobject_cast<QLineEdit*>(Control(id));
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, QString::fromLatin1(text));
  }
  // A key pressed in the main window (accelerators need it to be active).
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    FrameWidget()->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(FrameWidget()));
    QWidget* target = QApplication::focusWidget();
    QTest::keyClick(target != nullptr ? target : FrameWidget(), static_cast<Qt::Key>(key), modifiers);
  }
  // The one address a test may start the network port with.
  void TargetLoopback() { View()->m_ipTarget.SetAddress(127, 0, 0, 1); }

  std::string PaneText() const { return View()->GetDlgItemText(IDC_RECEIVE_PANE); }
  // Statistics list: column 1 (name) and column 2 (value) of a row.
  std::string StatName(int row) const { return View()->m_listStats.GetItemText(row, 1); }
  std::string StatValue(int row) const { return View()->m_listStats.GetItemText(row, 2); }
  bool SocketOpen() const { return Doc()->IsNetPortOpen(); }

  // Runs the event loop (timers fire) until done() or a generous limit;
  // returns done()'s last answer. Tests never depend on how long it took.
  static bool WaitFor(const std::function<bool()>& done, int limitMs = 10000) {
    return WaitUntil(done, limitMs, &RunEventsMs);
  }

  // A pseudo-terminal mapped as COM3 and selected in the port list; false
  // (the caller skips) without one.
  bool MapPtyAsCom3() {
    std::string reason;
    if (!m_pty.Open(&reason)) return false;
    FILE* f = std::fopen((ConfigDir() + "/ports.ini").c_str(), "wb");
    if (f == nullptr) return false;
    std::fprintf(f, "[Ports]\r\nCOM3=%s\r\n", m_pty.path.c_str());
    std::fclose(f);
    Select(IDC_SERIAL_PORT, 2);
    return true;
  }
  bool ConnectCom3() {
    if (!MapPtyAsCom3()) return false;
    Click(IDC_CONNECT_SERIAL);
    return true;
  }
  void Feed(const std::string& bytes) { ASSERT_TRUE(m_pty.WriteMaster(bytes.data(), bytes.size())); }

  // Every dialog: message boxes are recorded and confirmed; the others go
  // to the test's handler, or are recorded as unexpected and left to close.
  void OnDialog(QDialog& dialog) {
    if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
      m_messages.push_back(QStringToGbk(box->text()));
      m_causes.push_back(QStringToGbk(box->informativeText()));
      QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
      return;
    }
    if (m_onDialog) {
      std::function<void(QDialog&)> handler = m_onDialog;
      handler(dialog);
      return;
    }
    m_unexpectedDialogs.push_back(dialog.windowTitle());
  }

  TempFolder m_tempDir{"app"};
  ScopedConfigDir m_configDir{m_tempDir / "ConfigFile"};
  std::unique_ptr<CQuillonApp> m_app;
  std::optional<CScopedModalHook> m_hook;
  std::function<void(QDialog&)> m_onDialog;
  std::vector<std::string> m_messages;
  std::vector<std::string> m_causes;  // each box's informative line
  std::vector<QString> m_unexpectedDialogs;
  PtyPair m_pty;
};
