// Shared set-up of the window layer's GUI tests: the QApplication with the
// Qt backend, and a modal hook that never lets a test block. A test that
// expects a dialog installs its own hook on top (CScopedModalHook).
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>
#include <QTableWidget>
#include <algorithm>
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
#include "support/wait.h"

// WaitUntil's pause on the real widgets: the event loop runs meanwhile, so
// timers fire and posted events arrive.
inline void RunEventsMs(int ms) { QTest::qWait(ms); }

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

#include "window_test_forms.h"

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


// Every text of top's controls that its widget cannot show whole, measured
// with the widget's own font metrics against the room its style gives the
// text: labels, group box titles, push buttons, line edits (their current
// text), combo boxes (the current item) and report-view headers and cells.
// Each entry names the widget's class and the text, as UTF-8.
inline std::vector<std::string> ClippedTexts(QWidget* top) {
  std::vector<std::string> clipped;
  auto check = [&clipped](const QWidget* w, const QString& text, const QRect& room) {
    if (text.isEmpty()) return;
    const QFontMetrics fm = w->fontMetrics();
    // The advance, or the ink where a glyph reaches past it.
    const int width = std::max(fm.horizontalAdvance(text), fm.boundingRect(text).width());
    if (width > room.width() || fm.height() > room.height()) {
      clipped.push_back(std::string(w->metaObject()->className()) + " \"" + text.toStdString() + "\": needs " +
                        std::to_string(width) + "x" + std::to_string(fm.height()) + ", has " +
                        std::to_string(room.width()) + "x" + std::to_string(room.height()));
    }
  };
  for (QWidget* w : top->findChildren<QWidget*>()) {
    if (!w->isVisibleTo(top)) continue;
    if (auto* label = qobject_cast<QLabel*>(w)) {
      check(label, label->text(), label->contentsRect());
    } else if (auto* box = qobject_cast<QGroupBox*>(w)) {
      QStyleOptionGroupBox opt;
      opt.initFrom(box);
      opt.text = box->title();
      opt.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
      opt.textAlignment = box->alignment();
      const QRect frame = box->style()->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxFrame, box);
      const QRect label = box->style()->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxLabel, box);
      check(box, box->title(), QRect(label.topLeft(), QSize(frame.right() - label.left(), label.height())));
    } else if (auto* button = qobject_cast<QPushButton*>(w)) {
      QStyleOptionButton opt;
      opt.initFrom(button);
      opt.text = button->text();
      check(button, button->text(), button->style()->subElementRect(QStyle::SE_PushButtonContents, &opt, button));
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
      QStyleOptionComboBox opt;
      opt.initFrom(combo);
      opt.editable = combo->isEditable();
      opt.currentText = combo->currentText();
      QRect field = combo->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, combo);
      // The label is drawn one pixel in from each side of the field.
      if (!combo->isEditable()) check(combo, combo->currentText(), field.adjusted(1, 0, -1, 0));
    } else if (auto* line = qobject_cast<QLineEdit*>(w)) {
      // The text's room: the widget less its frame and the edit's margins.
      QStyleOptionFrame opt;
      opt.initFrom(line);
      opt.lineWidth = line->hasFrame() ? line->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, line) : 0;
      QRect room = line->style()->subElementRect(QStyle::SE_LineEditContents, &opt, line);
      const QMargins margins = line->textMargins();
      room = room.marginsRemoved(margins).adjusted(2, 1, -2, -1);  // QLineEdit's own inner margins
      check(line, line->text(), room);
    } else if (auto* table = qobject_cast<QTableWidget*>(w)) {
      for (int col = 0; col < table->columnCount(); ++col) {
        const int room = table->columnWidth(col) - 2 * (table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
        const int height = table->rowHeight(0) > 0 ? table->rowHeight(0) : table->fontMetrics().height();
        if (QTableWidgetItem* header = table->horizontalHeaderItem(col)) {
          check(table->horizontalHeader(), header->text(), QRect(0, 0, room, table->horizontalHeader()->height()));
        }
        for (int row = 0; row < table->rowCount(); ++row) {
          if (QTableWidgetItem* cell = table->item(row, col)) check(table, cell->text(), QRect(0, 0, room, height));
        }
      }
    }
  }
  return clipped;
}
