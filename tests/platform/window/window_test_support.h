// Shared set-up of the window layer's GUI tests: the QApplication with the
// Qt backend, and a modal hook that never lets a test block. A test that
// expects a dialog installs its own hook on top (CScopedModalHook).
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTest>
#include <string>
#include <vector>

#include "platform/message_box.h"
#include "platform/window/qt/qt_access.h"
#include "platform/window/qt/qt_backend.h"
#include "platform/window/qt/qt_modal.h"
#include "platform/window/qt/qt_text.h"

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureQtApplication();
    // Any dialog that a test did not ask for is recorded and left to close.
    m_previousHook = SetModalHook([this](QDialog& dialog) { m_unexpected.push_back(dialog.windowTitle()); });
  }
  void TearDown() override {
    SetModalHook(std::move(m_previousHook));
    // Let deferred deletions of destroyed windows run.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(m_unexpected.empty()) << "a dialog appeared that the test did not expect";
  }

  std::vector<QString> m_unexpected;

 private:
  ModalHook m_previousHook;
};

// Records the texts of message boxes (as GBK) and presses their OK button.
class MessageBoxRecorder {
 public:
  MessageBoxRecorder()
      : m_hook([this](QDialog& dialog) {
          auto* box = qobject_cast<QMessageBox*>(&dialog);
          ASSERT_NE(box, nullptr);
          texts.push_back(QStringToGbk(box->text()));
          QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        }) {}
  std::vector<std::string> texts;

 private:
  CScopedModalHook m_hook;
};

#include "platform/window/controls.h"
#include "platform/window/frame.h"
#include "platform/window/templates.h"

// Identifiers of the test form's controls.
enum : int {
  ID_EDIT = 1001,
  ID_PANE = 1002,
  ID_LIST_BOX = 1003,
  ID_COMBO = 1004,
  ID_REPORT = 1005,
  ID_ADDRESS = 1006,
  ID_BUTTON = 1007,
  ID_EDIT2 = 1008,
};

// A test's own form or dialog template: identifier, size in dialog units,
// style and controls, with an optional caption and font.
inline CDialogTemplate TestTemplate(unsigned id, int cx, int cy, unsigned long style,
                                    std::vector<CControlTemplate> controls, const char* caption = "",
                                    const char* font = "") {
  CDialogTemplate t;
  t.nId = id;
  t.cx = cx;
  t.cy = cy;
  t.dwStyle = style;
  t.strCaption = caption;
  t.strFontName = font;
  t.controls = std::move(controls);
  return t;
}

// One control of a test template.
inline CControlTemplate TestControl(int id, CtlKind kind, const char* text, int x, int y, int cx, int cy,
                                    unsigned long style, std::vector<std::string> items = {}) {
  return {id, kind, text, x, y, cx, cy, style, 0, std::move(items)};
}

// A form of the size of the main form, with one control of every kind.
inline const CDialogTemplate& TestFormTemplate() {
  static const CDialogTemplate form = TestTemplate(
      101, 506, 300, WS_CHILD,
      {
          TestControl(IDC_STATIC, CtlKind::GroupBox, "串口数据", 7, 5, 287, 143, 0),
          TestControl(ID_PANE, CtlKind::Edit, "", 14, 16, 272, 121, ES_MULTILINE | WS_VSCROLL | WS_BORDER),
          TestControl(ID_REPORT, CtlKind::ListView, "", 305, 16, 186, 121, LVS_REPORT | WS_BORDER),
          TestControl(IDC_STATIC, CtlKind::Static, "选择串口：", 16, 171, 41, 8, SS_LEFT),
          TestControl(ID_LIST_BOX, CtlKind::DropDownList, "", 61, 169, 43, 188, WS_VSCROLL, {"COM1", "COM2", "校验"}),
          TestControl(ID_COMBO, CtlKind::DropDownCombo, "", 110, 169, 120, 67, WS_VSCROLL),
          TestControl(ID_BUTTON, CtlKind::PushButton, "连接串口", 408, 168, 39, 14, BS_PUSHBUTTON),
          TestControl(ID_EDIT, CtlKind::Edit, "", 60, 213, 40, 14, ES_AUTOHSCROLL | WS_BORDER),
          TestControl(ID_EDIT2, CtlKind::Edit, "", 146, 213, 40, 14, ES_AUTOHSCROLL | WS_BORDER),
          TestControl(ID_ADDRESS, CtlKind::IpAddress, "", 228, 212, 100, 15, 0),
      },
      "", "宋体");
  return form;
}

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
    // Focus and shortcuts need the active window.
    EXPECT_TRUE(QTest::qWaitForWindowActive(WidgetOf(frame)));
  }
  ~FramedForm() { frame.DestroyWindow(); }
};

class PlainForm : public CFormView {
 public:
  PlainForm() : CFormView(TestFormTemplate()) {}
};
