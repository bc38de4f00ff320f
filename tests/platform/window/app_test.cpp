#include <QTimer>

#include "platform/window/app.h"
#include "window_test_support.h"

namespace {

// Start-up makes the main window; closing it ends the message loop.
class ShortLivedApp : public CWinApp {
 public:
  ShortLivedApp() : CWinApp("Quillon") {}
  int InitInstance() override {
    steps.push_back("init");
    if (!m_frame.Create("Quillon")) return 0;
    m_pMainWnd = &m_frame;
    m_frame.ActivateFrame();
    // The user closes the window once the loop runs.
    QTimer::singleShot(0, WidgetOf(m_frame), [this] { WidgetOf(m_frame)->close(); });
    return 1;
  }
  int ExitInstance() override {
    steps.push_back("exit");
    return CWinApp::ExitInstance();
  }
  CFrameWnd m_frame;
  std::vector<std::string> steps;
};

class FailingApp : public CWinApp {
 public:
  int InitInstance() override { return 0; }
};

using Application = WindowTest;

TEST_F(Application, RunsItsLoopUntilTheMainWindowIsClosed) {
  if (AfxGetApp()) GTEST_SKIP() << "another application object exists";
  ShortLivedApp app;
  char name[] = "quillon";
  char file[] = "saved.qln";
  char* argv[] = {name, file, nullptr};
  EXPECT_EQ(AfxWinMain(2, argv), 0);
  EXPECT_EQ(app.steps, (std::vector<std::string>{"init", "exit"}));
  EXPECT_EQ(app.m_argv, (std::vector<std::string>{"quillon", "saved.qln"}));
  EXPECT_FALSE(app.m_frame.IsWindowCreated());
  EXPECT_EQ(AfxGetMainWnd(), nullptr);
}

TEST_F(Application, AStartUpThatFailsEndsWithAFailureStatus) {
  if (AfxGetApp()) GTEST_SKIP() << "another application object exists";
  FailingApp app;
  char name[] = "quillon";
  char* argv[] = {name, nullptr};
  EXPECT_EQ(AfxWinMain(1, argv), 1);
}

}  // namespace
