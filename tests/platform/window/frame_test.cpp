#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>

#include "platform/window/app.h"
#include "window_test_support.h"

namespace {

enum : unsigned { ID_FILE_NEW = 0xE100, ID_FILE_OPEN = 0xE101, ID_FILE_PRINT = 0xE107 };

class FixedFrame : public CFrameWnd {
 public:
  FixedFrame() { MapCommand(ID_FILE_OPEN, &FixedFrame::OnOpen); }
  int PreCreateWindow(CCreateStruct& cs) override {
    if (!CFrameWnd::PreCreateWindow(cs)) return 0;
    cs.style &= ~(WS_MAXIMIZEBOX | WS_THICKFRAME);
    return 1;
  }
  int OnCreate(CCreateStruct* cs) override {
    if (CFrameWnd::OnCreate(cs) == -1) return -1;
    if (!m_wndStatusBar.Create(this)) return -1;
    return m_wndStatusBar.SetIndicators({"就绪", "大写", "数字", "滚动"}) ? 0 : -1;
  }
  void OnOpen() { calls->push_back("frame:open"); }
  CStatusBar m_wndStatusBar;
  std::vector<std::string>* calls = nullptr;
};

class AppWithHandlers : public CWinApp {
 public:
  AppWithHandlers() : CWinApp("Quillon") { MapCommand(ID_FILE_PRINT, &AppWithHandlers::OnPrint); }
  void OnPrint() { calls->push_back("app:print"); }
  std::vector<std::string>* calls = nullptr;
};

class ShellView : public CFormView {
 public:
  ShellView() : CFormView(TestFormTemplate()) { MapCommand(ID_FILE_NEW, &ShellView::OnNew); }
  void OnNew() { calls->push_back("view:new"); }
  void OnDestroy() override {
    calls->push_back(IsWindowCreated() ? "view:destroy" : "view:destroy after the window");
    CFormView::OnDestroy();
  }
  std::vector<std::string>* calls = nullptr;
};

using FrameWindow = WindowTest;

TEST_F(FrameWindow, IsFixedSizeWithoutMaximiseAndRoutesAcceleratorsViewFrameApplication) {
  std::vector<std::string> calls;
  std::unique_ptr<AppWithHandlers> app;
  if (!AfxGetApp()) app = std::make_unique<AppWithHandlers>();
  if (app) app->calls = &calls;
  FixedFrame frame;
  frame.calls = &calls;
  ASSERT_EQ(frame.Create("串口转网口助手 - Quillon"), 1);
  if (app) app->m_pMainWnd = &frame;
  ShellView view;
  view.calls = &calls;
  ASSERT_EQ(view.Create(&frame), 1);
  view.OnInitialUpdate();
  frame.RecalcLayout();
  view.ResizeParentToFit();
  frame.ActivateFrame();

  auto* window = WidgetAs<QMainWindow>(frame);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(frame.GetWindowText(), "串口转网口助手 - Quillon");
  EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_EQ(window->minimumSize(), window->maximumSize());
  EXPECT_EQ(frame.GetClientSize(), view.GetTotalSize());
  EXPECT_EQ(window->height(), view.GetTotalSize().cy + window->statusBar()->height());

  // Status bar: the message pane, then indicators that keep their place when off.
  EXPECT_EQ(frame.m_wndStatusBar.GetCount(), 4);
  EXPECT_EQ(frame.m_wndStatusBar.GetPaneText(0), "就绪");
  const QList<QLabel*> labels = window->statusBar()->findChildren<QLabel*>();
  ASSERT_EQ(labels.size(), 4);
  frame.m_wndStatusBar.SetPaneOn(1, false);
  EXPECT_EQ(labels[1]->text(), QString());
  EXPECT_GT(labels[1]->minimumWidth(), 0);
  frame.m_wndStatusBar.SetPaneOn(1, true);
  EXPECT_EQ(labels[1]->text(), QString::fromUtf16(u"大写"));

  ASSERT_EQ(frame.LoadAccelTable({{FVIRTKEY | FCONTROL, 'N', ID_FILE_NEW},
                                  {FVIRTKEY | FCONTROL, 'O', ID_FILE_OPEN},
                                  {FVIRTKEY | FCONTROL, 'P', ID_FILE_PRINT}}),
            1);
  window->activateWindow();
  if (!QTest::qWaitForWindowActive(window)) GTEST_SKIP() << "the platform does not activate windows";
  QWidget* focus = WidgetOf(*view.GetDlgItem(ID_EDIT));
  focus->setFocus();
  QTest::keyClick(focus, Qt::Key_N, Qt::ControlModifier);
  QTest::keyClick(focus, Qt::Key_O, Qt::ControlModifier);
  QTest::keyClick(focus, Qt::Key_P, Qt::ControlModifier);
  std::vector<std::string> expected = {"view:new", "frame:open"};
  if (app) expected.push_back("app:print");
  EXPECT_EQ(calls, expected);

  // The close box destroys the frame, the view first, and ends the loop.
  calls.clear();
  window->close();
  EXPECT_EQ(calls, std::vector<std::string>{"view:destroy"});
  EXPECT_FALSE(frame.IsWindowCreated());
  EXPECT_FALSE(view.IsWindowCreated());
  EXPECT_FALSE(frame.m_wndStatusBar.IsWindowCreated());
  EXPECT_EQ(frame.GetActiveView(), nullptr);
  if (app) {
    EXPECT_EQ(app->m_pMainWnd, nullptr);
  }
}

}  // namespace
