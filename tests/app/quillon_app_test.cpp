// The application shell: start-up order and window, status bar,
// accelerators, the file commands with their dialogs and the recent-file
// list, printing, and shutdown while bytes stream in.
#include "app/quillon_app.h"

#include <fcntl.h>
#include <sys/file.h>

#include <QComboBox>
#include <QPushButton>
#include <QFileDialog>
#include <QKeySequence>
#include <QMenuBar>
#include <QPrintDialog>
#include <QShortcut>
#include <QStatusBar>
#include <atomic>
#include <chrono>
#include <functional>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "app/app_profile.h"
#include "app/app_resources.h"
#include "ui/command_dlg.h"
#include "app_test_support.h"

namespace {

using Shell = QuillonAppTest;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// Answers a file dialog with a path, as a user who types it and confirms.
std::function<void(QDialog&)> ChooseFile(const std::string& path, bool* shown) {
  return [path, shown](QDialog& dialog) {
    auto* files = qobject_cast<QFileDialog*>(&dialog);
    ASSERT_NE(files, nullptr) << "a file dialog";
    *shown = true;
    files->selectFile(QString::fromStdString(path));
    dialog.accept();  // the dialog's own check of the name runs, as for "Save"
  };
}

TEST_F(Shell, MainWindowIsFixedSizeTitledWithAStatusBarAndNoMenu) {
  QMainWindow* frame = FrameWidget();
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(m_app->m_pMainWnd, Frame());
  EXPECT_TRUE(frame->isVisible());
  EXPECT_EQ(Frame()->GetWindowText(), "串口转网口助手 - Quillon");
  EXPECT_EQ(m_app->m_strAppName, "Quillon");

  // No window manager enforces these in a test: the window's own flags and
  // limits say it cannot be sized or maximised but can be minimised.
  const Qt::WindowFlags flags = frame->windowFlags();
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_EQ(frame->minimumSize(), frame->maximumSize());
  // Sized to the form: the view fills the client area above the status bar.
  QWidget* view = WidgetOf(*View());
  EXPECT_EQ(view->size(), QSize(759, 450));
  EXPECT_EQ(frame->centralWidget(), view);
  EXPECT_EQ(frame->height(), 450 + frame->statusBar()->height());
  EXPECT_EQ(frame->width(), 759);
  EXPECT_FALSE(Frame()->GetStyle() & (WS_THICKFRAME | WS_MAXIMIZEBOX));

  EXPECT_EQ(frame->menuWidget(), nullptr);
  EXPECT_EQ(frame->findChildren<QMenuBar*>().size(), 0);

  ASSERT_EQ(Frame()->m_wndStatusBar.GetCount(), 4);
  EXPECT_EQ(Frame()->m_wndStatusBar.GetWindowText(), "就绪");
  EXPECT_EQ(Frame()->m_wndStatusBar.GetPaneText(1), "大写");
  EXPECT_EQ(Frame()->m_wndStatusBar.GetPaneText(2), "数字");
  EXPECT_EQ(Frame()->m_wndStatusBar.GetPaneText(3), "滚动");
  // The offscreen platform does not tell the lock keys: all shown off.
  for (int pane = 1; pane <= 3; ++pane) EXPECT_FALSE(Frame()->m_wndStatusBar.IsPaneOn(pane)) << pane;
  EXPECT_TRUE(frame->statusBar()->isVisible());
}

TEST_F(Shell, RegistersOnlyTheFileAcceleratorsSoEditKeysStayWithTheEdits) {
  std::set<QString> keys;
  for (QShortcut* shortcut : FrameWidget()->findChildren<QShortcut*>()) {
    keys.insert(shortcut->key().toString(QKeySequence::PortableText));
  }
  EXPECT_EQ(keys, (std::set<QString>{QStringLiteral("Ctrl+N"), QStringLiteral("Ctrl+O"), QStringLiteral("Ctrl+S"),
                                     QStringLiteral("Ctrl+P")}));

  // Ctrl+Z, Ctrl+A, Ctrl+X and Ctrl+V reach the port edit and do their work there.
  auto* edit = qobject_cast<QLineEdit*>(Control(IDC_LOCAL_PORT));
  edit->setFocus();
  edit->end(false);
  QTest::keyClicks(edit, QStringLiteral("5"));
  EXPECT_EQ(Caption(IDC_LOCAL_PORT), "20005");
  QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Caption(IDC_LOCAL_PORT), "2000");
  QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(edit, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(Caption(IDC_LOCAL_PORT), "");
  QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Caption(IDC_LOCAL_PORT), "2000");
}

// Ctrl+N with the network port started and forwarding on: the counts and
// the forwarding go back to zero, the serial selections to their defaults,
// while the open ports stay. The network fields keep showing what the started
// port uses, and the statistics name the same target; "发送数据" switches
// forwarding on again with the frame size shown.
TEST_F(Shell, CtrlNResetsTheDocumentAndTheSelectionsButKeepsPortAndCaptions) {
  if (!ConnectCom3()) GTEST_SKIP() << "no pseudo-terminal available";
  UdpReceiver receiver;
  ASSERT_TRUE(receiver.Open());
  TargetLoopback();
  Type(IDC_LOCAL_PORT, std::to_string(FreeUdpPort()).c_str());
  Type(IDC_TARGET_PORT, std::to_string(receiver.Port()).c_str());
  Select(IDC_FRAME_SIZE, 0);  // 128
  Click(IDC_START_PORT);
  Click(IDC_SEND_DATA);
  Feed("12345");
  ASSERT_TRUE(WaitFor([&] { return StatValue(2) == "5字节"; }));
  ASSERT_TRUE(Doc()->IsForwarding());

  Key(Qt::Key_N, Qt::ControlModifier);

  EXPECT_EQ(Doc()->GetBytesReceived(), 0);
  EXPECT_EQ(Doc()->GetFramesSent(), 0);
  EXPECT_FALSE(Doc()->IsForwarding());
  EXPECT_TRUE(Doc()->IsSerialOpen()) << "the port stays open";
  // Serial defaults shown although COM3 is the open port; captions and
  // enable states as they were, but for forwarding, which is off.
  EXPECT_EQ(Caption(IDC_SERIAL_PORT), "COM1");
  EXPECT_EQ(Caption(IDC_FRAME_SIZE), "128");
  EXPECT_EQ(View()->m_ipTarget.GetWindowText(), "127.0.0.1");
  EXPECT_EQ(Caption(IDC_CONNECT_SERIAL), "释放串口");
  EXPECT_EQ(Caption(IDC_START_PORT), "关闭端口");
  EXPECT_EQ(Caption(IDC_SEND_DATA), "发送数据");
  EXPECT_FALSE(Enabled(IDC_SERIAL_PORT));
  EXPECT_FALSE(Enabled(IDC_TARGET_IP));
  EXPECT_EQ(StatValue(2), "0字节");
  EXPECT_EQ(StatValue(1), "COM1");
  EXPECT_EQ(StatValue(7), View()->m_ipTarget.GetWindowText()) << "the statistics name the target shown";
  // Bounded, over two statistics ticks: proves the ticks do NOT change the row.
  WaitFor([&] { return StatValue(7) != View()->m_ipTarget.GetWindowText(); }, 2 * STATS_PERIOD_MS);
  EXPECT_EQ(StatValue(7), View()->m_ipTarget.GetWindowText());
  EXPECT_EQ(Frame()->GetWindowText(), "串口转网口助手 - Quillon");

  // The port still delivers, counted from zero, and forwarding on again
  // sends frames of the size shown to the target shown.
  Click(IDC_SEND_DATA);
  const std::string bytes(128, 'g');
  Feed("67");
  Feed(bytes);
  UdpReceiver::Datagram got;
  ASSERT_TRUE(receiver.Receive(got));
  EXPECT_EQ(got.bytes.size(), 128u);
  EXPECT_TRUE(WaitFor([&] { return StatValue(2) == "130字节"; })) << StatValue(2);
  EXPECT_TRUE(m_messages.empty());
}

// The console opened and closed hundreds of times by each of its three ways
// (its button, Escape, the close box), by a click and by the space bar on
// "命令设置", with Enter pressed as it comes up, bytes flowing all the while
// and Ctrl+N between cycles: every opening shows the window, every closing
// ends it and clears the flag, and the next opening works.
TEST_F(Shell, TheConsoleNeverGetsStuckOverHundredsOfOpeningsAndClosings) {
  if (!ConnectCom3()) GTEST_SKIP() << "no pseudo-terminal available";
  const int master = m_pty.master;
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  std::atomic<bool> stop{false};
  std::thread device([&] {
    const std::string sentence = "$GPGGA,081203.20,3954.8410,N,11623.4120,E,1,08,0.9,48.2,M,-8.2,M,,*48\r\n";
    while (!stop.load()) {
      if (write(master, sentence.data(), sentence.size()) < 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
  });

  // The console window that "命令设置" has up.
  auto console = [&]() -> CCommandDlg& { return *View()->GetConsoleWindow(); };
  auto* settings = qobject_cast<QPushButton*>(Control(IDC_COMMAND_SETTINGS));
  const std::vector<std::function<void(QDialog&)>> ways = {
      [&](QDialog&) { QTest::mouseClick(WidgetOf(*console().GetDlgItem(IDCANCEL)), Qt::LeftButton); },
      [&](QDialog& dialog) { QTest::keyClick(dialog.focusWidget() ? dialog.focusWidget() : &dialog, Qt::Key_Escape); },
      [&](QDialog& dialog) { dialog.close(); },
  };
  constexpr int kCycles = 600;
  for (int cycle = 0; cycle < kCycles; ++cycle) {
    int shown = 0;
    bool transcriptShowedBytes = false;
    m_onDialog = [&](QDialog& dialog) {
      ++shown;
      EXPECT_TRUE(Doc()->IsCommandOpen());
      // Enter as the window comes up: the send button's command.
      QTest::keyClick(dialog.focusWidget() ? dialog.focusWidget() : &dialog, Qt::Key_Return);
      if (cycle % 60 == 1) {
        // Asked again while it is up: it stays, and so does the flag.
        settings->click();
        EXPECT_EQ(shown, 1);
        EXPECT_TRUE(Doc()->IsCommandOpen());
      }
      if (cycle % 60 == 0) {
        CEdit* transcript = console().GetDlgItemAs<CEdit>(IDC_TRANSCRIPT);
        transcriptShowedBytes = WaitFor([&] { return transcript->GetWindowText().find("$GPGGA") != std::string::npos; });
      } else {
        QCoreApplication::processEvents();
      }
      ways[static_cast<std::size_t>(cycle) % ways.size()](dialog);
    };
    if (cycle % 2 == 0) {
      Click(IDC_COMMAND_SETTINGS);
    } else {
      settings->setFocus();
      QTest::keyClick(settings, Qt::Key_Space);
    }
    ASSERT_EQ(shown, 1) << "cycle " << cycle;
    ASSERT_FALSE(Doc()->IsCommandOpen()) << "cycle " << cycle;
    ASSERT_EQ(View()->GetConsoleWindow(), nullptr) << "cycle " << cycle;
    if (cycle % 60 == 0) {
      EXPECT_TRUE(transcriptShowedBytes) << "cycle " << cycle;
    }
    if (cycle % 10 == 9) {
      Key(Qt::Key_N, Qt::ControlModifier);
      ASSERT_EQ(Caption(IDC_CONNECT_SERIAL), "释放串口");
    }
  }
  m_onDialog = nullptr;
  stop.store(true);
  device.join();
  EXPECT_TRUE(m_messages.empty());
}

TEST_F(Shell, SaveWritesAnEmptyFileAndOpenRestoresNothingBothNamedInTheTitle) {
  const std::string saved = m_tempDir / "bridge.qln";
  bool shown = false;
  m_onDialog = ChooseFile(saved, &shown);
  Key(Qt::Key_S, Qt::ControlModifier);
  ASSERT_TRUE(shown);
  EXPECT_EQ(ReadFile(saved), "");
  EXPECT_EQ(access(saved.c_str(), F_OK), 0);
  EXPECT_EQ(Frame()->GetWindowText(), "bridge.qln - Quillon");

  // Opening a file with content restores nothing and leaves the file alone;
  // the view starts over with its defaults.
  // A file name in UTF-8, as the file system has it: "设置.txt".
  const std::string opened = m_tempDir / "\xE8\xAE\xBE\xE7\xBD\xAE.txt";
  std::ofstream(opened, std::ios::binary) << "keep me";
  Select(IDC_BAUD, 4);
  shown = false;
  m_onDialog = ChooseFile(opened, &shown);
  Key(Qt::Key_O, Qt::ControlModifier);
  ASSERT_TRUE(shown);
  EXPECT_EQ(ReadFile(opened), "keep me");
  EXPECT_EQ(Frame()->GetWindowText(), "设置.txt - Quillon");
  EXPECT_EQ(Caption(IDC_BAUD), "115200");

  // Both went into the recent-file list, the latest first.
  CAppProfile profile(kRegistryKey, "Quillon", RECENT_FILE_COUNT);
  profile.Load();
  EXPECT_EQ(profile.GetRecentFiles(), (std::vector<std::string>{opened, saved}));
  EXPECT_NE(profile.FileName().find("Local AppWizard-Generated Applications/Quillon.ini"), std::string::npos);
  EXPECT_NE(ReadFile(profile.FileName()).find("[Recent%20File%20List]"), std::string::npos);

  // Ctrl+N gives the document its default title back.
  Key(Qt::Key_N, Qt::ControlModifier);
  EXPECT_EQ(Frame()->GetWindowText(), "串口转网口助手 - Quillon");
  EXPECT_TRUE(m_messages.empty());
}

TEST_F(Shell, CancelledFileDialogsChangeNothing) {
  m_onDialog = [](QDialog& dialog) { dialog.reject(); };
  Key(Qt::Key_S, Qt::ControlModifier);
  Key(Qt::Key_O, Qt::ControlModifier);
  EXPECT_EQ(Frame()->GetWindowText(), "串口转网口助手 - Quillon");
  CAppProfile profile(kRegistryKey, "Quillon", RECENT_FILE_COUNT);
  profile.Load();
  EXPECT_TRUE(profile.GetRecentFiles().empty());
}

TEST_F(Shell, CtrlPPrintsTheFormAsItLooksToAPdfThroughThePrintDialog) {
  const std::string pdf = m_tempDir / "form.pdf";
  bool shown = false;
  m_onDialog = [&](QDialog& dialog) {
    auto* print = qobject_cast<QPrintDialog*>(&dialog);
    ASSERT_NE(print, nullptr) << "the print dialog";
    shown = true;
    // As a user does it: the "print to file" entry, a file name, then Print.
    auto* printers = dialog.findChild<QComboBox*>(QStringLiteral("printers"));
    auto* file = dialog.findChild<QLineEdit*>(QStringLiteral("filename"));
    ASSERT_NE(printers, nullptr);
    ASSERT_NE(file, nullptr);
    printers->setCurrentIndex(printers->count() - 1);
    file->setText(QString::fromStdString(pdf));
    print->accept();
  };
  Key(Qt::Key_P, Qt::ControlModifier);
  ASSERT_TRUE(shown);
  const std::string content = ReadFile(pdf);
  ASSERT_EQ(content.substr(0, 5), "%PDF-");
  // A blank page is a few hundred bytes; this one holds the picture of the form.
  EXPECT_NE(content.find("/Subtype /Image"), std::string::npos) << "the form was drawn";
  EXPECT_GT(content.size(), 20000u);

  // Cancelled: nothing printed.
  std::remove(pdf.c_str());
  m_onDialog = [](QDialog& dialog) { dialog.reject(); };
  Key(Qt::Key_P, Qt::ControlModifier);
  EXPECT_NE(access(pdf.c_str(), F_OK), 0);
}

TEST(RecentFiles, KeepsFourMostRecentFirstWithoutDuplicates) {
  TempFolder folder("recent");
  ASSERT_FALSE(folder.path.empty());
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(folder.path));
  {
    CAppProfile profile(kRegistryKey, "Quillon", RECENT_FILE_COUNT);
    profile.Load();
    for (const char* path : {"/a", "/b", "/c", "/d", "/e", "/c"}) profile.AddToRecentFileList(path);
    EXPECT_EQ(profile.GetRecentFiles(), (std::vector<std::string>{"/c", "/e", "/d", "/b"}));
    CAppProfile again(kRegistryKey, "Quillon", RECENT_FILE_COUNT);
    again.Load();
    EXPECT_EQ(again.GetRecentFiles(), profile.GetRecentFiles());
  }
}

// A program started with a file name takes the open path.
class ShellWithFile : public QuillonAppTest {
 protected:
  bool StartWithArguments() override { return false; }
};

TEST_F(ShellWithFile, AFileOnTheCommandLineIsOpened) {
  const std::string path = m_tempDir / "start.qln";
  std::ofstream(path, std::ios::binary) << "x";
  ASSERT_EQ(Start({"quillon", path}), 1);
  EXPECT_EQ(Frame()->GetWindowText(), "start.qln - Quillon");
  EXPECT_EQ(Doc()->GetPathName(), path);
  EXPECT_EQ(Caption(IDC_SERIAL_PORT), "COM1") << "the view had its initial update";
  EXPECT_TRUE(FrameWidget()->isVisible());
}

TEST_F(ShellWithFile, AMissingFileOnTheCommandLineEndsStartUpWithAMessage) {
  EXPECT_EQ(Start({"quillon", m_tempDir / "missing.qln"}), 0);
  EXPECT_EQ(m_messages, std::vector<std::string>{"打开文档失败。"});
  EXPECT_EQ(Template()->GetDocument(), nullptr);
  EXPECT_EQ(m_app->m_pMainWnd, nullptr);
}

TEST_F(Shell, ClosingTheWindowWhileBytesStreamInEndsPromptly) {
  UdpReceiver receiver;
  ASSERT_TRUE(receiver.Open());
  if (!ConnectCom3()) GTEST_SKIP() << "no pseudo-terminal available";
  TargetLoopback();
  Type(IDC_LOCAL_PORT, std::to_string(FreeUdpPort()).c_str());
  Type(IDC_TARGET_PORT, std::to_string(receiver.Port()).c_str());
  Select(IDC_FRAME_SIZE, 0);
  Click(IDC_START_PORT);
  Click(IDC_SEND_DATA);

  // A device that never stops talking, until the test says so.
  const int master = m_pty.master;
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  std::atomic<bool> stop{false};
  std::thread device([&] {
    std::string chunk(256, '\0');
    for (std::size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<char>(i);
    while (!stop.load()) {
      if (write(master, chunk.data(), chunk.size()) < 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  UdpReceiver::Datagram first;
  ASSERT_TRUE(receiver.Receive(first)) << "frames flow";
  ASSERT_TRUE(WaitFor([&] { return PaneText().size() > 1000; }));

  // The close box: the view and its timers go, then the document stops the
  // reader and closes the socket. A hang here ends the test by its timeout.
  Shutdown();
  EXPECT_EQ(m_app, nullptr);
  stop.store(true);
  device.join();
  // The port is free again: another program could open it now.
  const int again = open(m_pty.path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  EXPECT_GE(again, 0);
  if (again >= 0) {
    EXPECT_EQ(flock(again, LOCK_EX | LOCK_NB), 0);
    close(again);
  }
}

}  // namespace
