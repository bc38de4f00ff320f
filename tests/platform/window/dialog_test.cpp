#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <atomic>
#include <thread>

#include "platform/window/app.h"
#include "platform/window/dialog.h"
#include "window_test_support.h"

namespace {

enum : int { ID_SEND = 1002, ID_OTHER = 1003, ID_COMMAND = 1167 };

const CDialogTemplate& ConsoleLikeTemplate() {
  static const CDialogTemplate dialog = TestTemplate(
      187, 384, 206, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME,
      {TestControl(ID_COMMAND, CtlKind::DropDownCombo, "", 33, 10, 274, 67, WS_VSCROLL),
       TestControl(ID_SEND, CtlKind::PushButton, "发送", 318, 9, 47, 14, BS_DEFPUSHBUTTON),
       TestControl(ID_OTHER, CtlKind::PushButton, "其他", 250, 181, 50, 18, BS_PUSHBUTTON),
       TestControl(IDCANCEL, CtlKind::PushButton, "退出到主窗口", 157, 181, 69, 18, BS_PUSHBUTTON)},
      "串口命令");
  return dialog;
}

class ConsoleLike : public CDialog {
 public:
  ConsoleLike() : CDialog(ConsoleLikeTemplate()) {
    MapCommand(ID_SEND, &ConsoleLike::OnSend);
    MapCommand(ID_OTHER, &ConsoleLike::OnOther);
  }
  int OnInitDialog() override {
    calls.push_back("init");
    createdDuringInit = IsWindowCreated();
    return CDialog::OnInitDialog();
  }
  void OnSend() { calls.push_back("send:" + GetDlgItemText(ID_COMMAND)); }
  void OnOther() { calls.push_back("other"); }
  void OnOK() override {
    calls.push_back("ok");
    CDialog::OnOK();
  }
  void OnCancel() override {
    calls.push_back("cancel");
    CDialog::OnCancel();
  }
  void OnClose() override {
    calls.push_back("close");
    CDialog::OnClose();
  }
  std::vector<std::string> calls;
  bool createdDuringInit = false;
};

QWidget* Control(const CDialog& dialog, int id) { return WidgetOf(*dialog.GetDlgItem(id)); }

using ModalDialog = WindowTest;
using MessageBoxes = WindowTest;

TEST_F(ModalDialog, EscapeTheCloseBoxAndTheCancelButtonAllTakeTheCancelPath) {
  const std::vector<std::function<void(ConsoleLike&, QDialog&)>> ways = {
      [](ConsoleLike& d, QDialog&) { QTest::keyClick(Control(d, ID_COMMAND), Qt::Key_Escape); },
      [](ConsoleLike&, QDialog& q) { q.close(); },
      [](ConsoleLike& d, QDialog&) { QTest::mouseClick(Control(d, IDCANCEL), Qt::LeftButton); },
  };
  const std::vector<std::vector<std::string>> expected = {
      {"init", "cancel"}, {"init", "close", "cancel"}, {"init", "cancel"}};
  for (std::size_t i = 0; i < ways.size(); ++i) {
    ConsoleLike dialog;
    bool visibleAfter = true;
    CScopedModalHook hook([&](QDialog& q) {
      EXPECT_EQ(q.windowTitle(), QString::fromUtf16(u"串口命令"));
      ways[i](dialog, q);
      visibleAfter = q.isVisible();
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(dialog.calls, expected[i]) << "way " << i;
    EXPECT_FALSE(visibleAfter);
    EXPECT_TRUE(dialog.createdDuringInit);
    EXPECT_FALSE(dialog.IsWindowCreated());
    EXPECT_EQ(dialog.GetDlgItem(ID_SEND), nullptr);
  }
}

TEST_F(ModalDialog, EnterRunsTheFocusedButtonOrElseTheDefaultButtonNeverOk) {
  ConsoleLike dialog;
  CScopedModalHook hook([&](QDialog& q) {
    QWidget* edit = WidgetAs<QComboBox>(*dialog.GetDlgItem(ID_COMMAND))->lineEdit();
    edit->setFocus();
    QTest::keyClicks(edit, QStringLiteral("AT"));
    QTest::keyClick(edit, Qt::Key_Return);
    // The dialog stays open: sending does not end it.
    EXPECT_TRUE(q.isVisible());
    Control(dialog, ID_OTHER)->setFocus();
    QTest::keyClick(Control(dialog, ID_OTHER), Qt::Key_Enter, Qt::KeypadModifier);
    // A disabled default button takes no Enter.
    dialog.GetDlgItem(ID_SEND)->EnableWindow(false);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Return);
    dialog.GetDlgItem(ID_SEND)->EnableWindow(true);
    QTest::mouseClick(Control(dialog, IDCANCEL), Qt::LeftButton);
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(dialog.calls, (std::vector<std::string>{"init", "send:AT", "other", "cancel"}));
}

TEST_F(ModalDialog, AHookThatLeavesTheDialogOpenClosesItThroughTheCloseBox) {
  ConsoleLike dialog;
  std::atomic<bool> seenFromAnotherThread{false};
  CScopedModalHook hook([&](QDialog&) {
    // Another thread may ask whether the window exists, without a widget.
    std::thread reader([&] { seenFromAnotherThread = dialog.IsWindowCreated(); });
    reader.join();
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_TRUE(seenFromAnotherThread);
  EXPECT_EQ(dialog.calls, (std::vector<std::string>{"init", "close", "cancel"}));

  // A second opening builds a fresh window; EndDialog's result comes back.
  ConsoleLike again;
  CScopedModalHook ok([&](QDialog&) { again.EndDialog(IDOK); });
  EXPECT_EQ(again.DoModal(), IDOK);
}

TEST_F(MessageBoxes, RunThroughTheModalServiceWithAnOkButtonAndNeverBlockATest) {
  CWinApp* app = AfxGetApp();
  std::unique_ptr<CWinApp> ownApp;
  if (!app) {
    ownApp = std::make_unique<CWinApp>("Quillon");
    app = ownApp.get();
  }
  std::vector<QString> seen;
  CScopedModalHook hook([&](QDialog& dialog) {
    auto* box = qobject_cast<QMessageBox*>(&dialog);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    // Qt's own texts are Chinese too, whatever the locale.
    EXPECT_EQ(box->button(QMessageBox::Ok)->text(), QString::fromUtf16(u"确定"));
    EXPECT_EQ(box->windowTitle(), GbkToQString(app->m_strAppName));
    seen.push_back(box->text());
    // Left open: the service closes it.
  });
  AfxMessageBox("串口打开错误 请查看该串口是否已被其他应用程序同时打开");
  AfxMessageBox("网络端口绑定失败，请更换端口号！");
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(QStringToGbk(seen[0]), "串口打开错误 请查看该串口是否已被其他应用程序同时打开");
  EXPECT_EQ(seen[1], QString::fromUtf16(u"网络端口绑定失败，请更换端口号！"));
}

}  // namespace
