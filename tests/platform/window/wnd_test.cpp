#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "platform/window/backend.h"
#include "platform/window/dialog.h"
#include "window_test_support.h"

namespace {

// Bytes that must survive every trip through a widget: Chinese text, ASCII,
// a trail byte that is '|' in ASCII (0x7C) and the full-width colon.
const std::string kMixed = "校验：奇校验 COM3 \xD8\x7C 9600";

class TimerForm : public CFormView {
 public:
  TimerForm() : CFormView(TestFormTemplate()) {}
  void OnTimer(unsigned nIdEvent) override { ticks.push_back(nIdEvent); }
  int Count(unsigned id) const { return static_cast<int>(std::count(ticks.begin(), ticks.end(), id)); }
  std::vector<unsigned> ticks;
};

class CommandForm : public CFormView {
 public:
  CommandForm() : CFormView(TestFormTemplate()) {
    MapCommand(ID_BUTTON, &CommandForm::OnButton);
    MapCommandRange(2000, 2010, &CommandForm::OnRange);
    MapNotify(ID_LIST_BOX, CBN_SELCHANGE, &CommandForm::OnSelChange);
  }
  void OnButton() { calls.push_back("button"); }
  void OnRange(unsigned id) { calls.push_back("range " + std::to_string(id)); }
  void OnSelChange() { calls.push_back("selchange"); }
  std::vector<std::string> calls;
};

// A derived class takes over its base's handler for the same identifier.
class DerivedCommandForm : public CommandForm {
 public:
  DerivedCommandForm() { MapCommand(ID_BUTTON, &DerivedCommandForm::OnButtonDerived); }
  void OnButtonDerived() { calls.push_back("derived"); }
};

using WindowTexts = WindowTest;
using WindowTimers = WindowTest;
using WindowCommands = WindowTest;
using WindowWithoutBackend = WindowTest;

TEST_F(WindowTexts, RoundTripAsGbkByteForByteThroughEveryKindOfControl) {
  FramedForm<PlainForm> f;
  for (int id : {ID_EDIT, ID_BUTTON, ID_COMBO}) {
    f.view.SetDlgItemText(id, kMixed);
    EXPECT_EQ(f.view.GetDlgItemText(id), kMixed) << "control " << id;
  }
  // What the widget shows is the same text in Unicode.
  EXPECT_EQ(WidgetAs<QPushButton>(*f.view.GetDlgItem(ID_BUTTON))->text(), GbkToQString(kMixed));
  EXPECT_EQ(WidgetAs<QPushButton>(*f.view.GetDlgItem(ID_BUTTON))->text(),
            QString::fromUtf16(u"校验：奇校验 COM3 \u8C84 9600"));

  // A multi-line edit shows CR LF as one line break and gives CR LF back.
  const std::string lines = "第一行\r\n$GP..\r\n$A";
  f.view.SetDlgItemText(ID_PANE, lines);
  EXPECT_EQ(f.view.GetDlgItemText(ID_PANE), lines);
  EXPECT_EQ(WidgetAs<QPlainTextEdit>(*f.view.GetDlgItem(ID_PANE))->document()->blockCount(), 3);

  // The frame's title, and the label built from the template.
  f.frame.SetWindowText("串口转网口助手 - Quillon");
  EXPECT_EQ(f.frame.GetWindowText(), "串口转网口助手 - Quillon");
  EXPECT_EQ(f.view.GetDlgItemText(ID_BUTTON + 100), "");

  // Integers as the dialog functions read them.
  f.view.SetDlgItemInt(ID_EDIT, -42);
  int ok = 0;
  EXPECT_EQ(f.view.GetDlgItemInt(ID_EDIT, &ok), -42);
  EXPECT_EQ(ok, 1);
  f.view.SetDlgItemText(ID_EDIT, "12a");
  EXPECT_EQ(f.view.GetDlgItemInt(ID_EDIT, &ok), 0);
  EXPECT_EQ(ok, 0);
}

TEST_F(WindowTexts, EnablingIsTheControlsOwnStateAndADisabledButtonSendsNothing) {
  FramedForm<CommandForm> f;
  CWnd* button = f.view.GetDlgItem(ID_BUTTON);
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->IsWindowEnabled(), 1);
  EXPECT_EQ(button->EnableWindow(false), 0);  // was enabled
  EXPECT_EQ(button->IsWindowEnabled(), 0);
  EXPECT_TRUE(button->GetStyle() & WS_DISABLED);
  QTest::mouseClick(WidgetOf(*button), Qt::LeftButton);
  EXPECT_TRUE(f.view.calls.empty());
  EXPECT_EQ(button->EnableWindow(true), 1);  // was disabled
  QTest::mouseClick(WidgetOf(*button), Qt::LeftButton);
  EXPECT_EQ(f.view.calls, std::vector<std::string>{"button"});

  // Disabling the form leaves each control's own state as it was.
  f.view.EnableWindow(false);
  EXPECT_EQ(button->IsWindowEnabled(), 1);
  f.view.EnableWindow(true);
}

TEST_F(WindowTimers, FireByIdentifierUntilKilledAndEndWithTheWindow) {
  auto f = std::make_unique<FramedForm<TimerForm>>();
  TimerForm& view = f->view;
  EXPECT_EQ(view.SetTimer(11111, 10), 11111u);
  EXPECT_EQ(view.SetTimer(22222, 15), 22222u);
  ASSERT_TRUE(WaitUntil([&] { return view.Count(11111) >= 2 && view.Count(22222) >= 2; }, 10000, &RunEventsMs));
  EXPECT_EQ(view.KillTimer(22222), 1);
  EXPECT_EQ(view.KillTimer(22222), 0);
  const int killedTicks = view.Count(22222);
  const int before = view.Count(11111);
  ASSERT_TRUE(WaitUntil([&] { return view.Count(11111) >= before + 3; }, 10000, &RunEventsMs));
  EXPECT_EQ(view.Count(22222), killedTicks);
  for (unsigned id : view.ticks) EXPECT_TRUE(id == 11111 || id == 22222);

  // Restarting an identifier replaces its timer rather than adding one.
  EXPECT_EQ(view.SetTimer(11111, 10), 11111u);
  EXPECT_EQ(view.KillTimer(11111), 1);
  const int stopped = view.Count(11111);
  // Bounded: proves the killed timer does NOT fire again.
  WaitUntil([&] { return view.Count(11111) != stopped; }, 60, &RunEventsMs);
  EXPECT_EQ(view.Count(11111), stopped);

  // No window, no timer.
  view.SetTimer(9100, 10);
  f->frame.DestroyWindow();
  EXPECT_FALSE(view.IsWindowCreated());
  EXPECT_EQ(view.SetTimer(9100, 10), 0u);
  const std::size_t total = view.ticks.size();
  WaitUntil([&] { return view.ticks.size() != total; }, 50, &RunEventsMs);  // bounded: proves NO tick comes
  EXPECT_EQ(view.ticks.size(), total);
}

TEST_F(WindowCommands, ReachTheHandlerOfTheIdentifierAndADerivedClassOverrides) {
  {
    FramedForm<CommandForm> f;
    QTest::mouseClick(WidgetOf(*f.view.GetDlgItem(ID_BUTTON)), Qt::LeftButton);
    EXPECT_EQ(f.view.OnCommand(2005, BN_CLICKED), 1);
    EXPECT_EQ(f.view.OnCommand(2011, BN_CLICKED), 0);
    EXPECT_EQ(f.view.OnCommand(ID_BUTTON, EN_CHANGE), 0);  // another notification
    // A selection by the user notifies; one set by the program does not.
    auto* combo = f.view.GetDlgItemAs<CComboBox>(ID_LIST_BOX);
    combo->SetCurSel(1);
    QComboBox* box = WidgetAs<QComboBox>(*combo);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Down);
    EXPECT_EQ(combo->GetCurSel(), 2);
    EXPECT_EQ(f.view.calls, (std::vector<std::string>{"button", "range 2005", "selchange"}));
  }
  FramedForm<DerivedCommandForm> d;
  d.view.GetDlgItemAs<CButton>(ID_BUTTON)->Click();
  EXPECT_EQ(d.view.calls, std::vector<std::string>{"derived"});
}

class CountingDialog : public CDialog {
 public:
  CountingDialog() : CDialog(TestFormTemplate()) {}
  int OnInitDialog() override {
    ++inits;
    return CDialog::OnInitDialog();
  }
  int inits = 0;
};

TEST_F(WindowWithoutBackend, CreatesNoWindowAndEveryOperationIsHarmless) {
  CWindowBackend* backend = GetWindowBackend();
  SetWindowBackend(nullptr);
  CountingDialog dialog;
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(dialog.inits, 0);
  EXPECT_FALSE(dialog.IsWindowCreated());
  EXPECT_EQ(dialog.SetTimer(9100, 200), 0u);
  EXPECT_EQ(dialog.GetDlgItem(ID_EDIT), nullptr);
  dialog.SetWindowText("串口命令");
  EXPECT_EQ(dialog.GetWindowText(), "");
  EXPECT_EQ(dialog.UpdateData(true), 1);
  CFrameWnd frame;
  EXPECT_EQ(frame.Create("Quillon"), 0);
  PlainForm view;
  EXPECT_EQ(view.Create(&frame), 0);
  CListCtrl list;
  EXPECT_EQ(list.InsertItem(0, "x"), -1);
  EXPECT_EQ(list.GetItemCount(), 0);
  SetWindowBackend(backend);
}

}  // namespace
