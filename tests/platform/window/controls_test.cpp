#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QMenu>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableWidget>

#include "platform/window/qt/qt_ip_address.h"
#include "window_test_support.h"

namespace {

// Types each character into whichever widget has the focus at that moment.
void TypeIntoFocus(const QString& text) {
  for (QChar c : text) {
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    QTest::keyClick(focus, c.toLatin1());
  }
}

using EditControl = WindowTest;
using ComboControl = WindowTest;
using ListControl = WindowTest;
using AddressControl = WindowTest;

TEST_F(EditControl, AppendGoesToTheEndWhateverTheCaretWithOneReplaceSelection) {
  FramedForm<PlainForm> f;
  auto* pane = f.view.GetDlgItemAs<CEdit>(ID_PANE);
  ASSERT_NE(pane, nullptr);
  pane->ModifyStyle(0, ES_READONLY);
  auto* widget = WidgetAs<QPlainTextEdit>(*pane);
  ASSERT_TRUE(widget->isReadOnly());
  pane->SetWindowText("AAAA\r\nBBBB");
  // The user clicked into the first line and selected part of it.
  pane->SetSel(1, 3);
  int changes = 0;
  QObject::connect(widget->document(), &QTextDocument::contentsChange, [&changes](int, int, int) { ++changes; });
  pane->AppendText("$GP..\r\n$A");
  EXPECT_EQ(pane->GetWindowText(), "AAAA\r\nBBBB$GP..\r\n$A");
  // One edit of the document, line breaks and all.
  EXPECT_EQ(changes, 1);
  // The user's selection stays where it was, ready to be copied.
  int start = 0, end = 0;
  pane->GetSel(start, end);
  EXPECT_EQ(start, 1);
  EXPECT_EQ(end, 3);

  // Selection positions count GBK bytes, a line break two.
  pane->SetWindowText("串口\r\nAB");
  pane->SetSel(4, 7);  // the line break and 'A'
  pane->ReplaceSel("-");
  EXPECT_EQ(pane->GetWindowText(), "串口-B");
  pane->SetSel(0, -1);
  pane->GetSel(start, end);
  EXPECT_EQ(start, 0);
  EXPECT_EQ(end, 6);
  EXPECT_EQ(pane->GetLineCount(), 1);

  // The single-line edit works the same way.
  auto* edit = f.view.GetDlgItemAs<CEdit>(ID_EDIT);
  edit->SetWindowText("2000");
  edit->SetSel(0, 0);
  edit->AppendText("1");
  EXPECT_EQ(edit->GetWindowText(), "20001");
  edit->SetSel(0, 2);
  edit->ReplaceSel("端");
  EXPECT_EQ(edit->GetWindowText(), "端001");
}

TEST_F(ComboControl, KeepsTheWin32ComboBoxSelectionAndEditFieldRules) {
  FramedForm<PlainForm> f;
  auto* list = f.view.GetDlgItemAs<CComboBox>(ID_LIST_BOX);
  ASSERT_NE(list, nullptr);
  // Filled from the template, first item first, and nothing selected yet.
  EXPECT_EQ(list->GetCount(), 3);
  EXPECT_EQ(list->GetLBText(2), "校验");
  EXPECT_EQ(list->GetCurSel(), -1);
  EXPECT_EQ(list->GetWindowText(), "");
  EXPECT_EQ(list->SetCurSel(2), 2);
  EXPECT_EQ(list->GetWindowText(), "校验");
  EXPECT_EQ(list->SetCurSel(3), CB_ERR);
  EXPECT_EQ(list->GetCurSel(), -1);
  EXPECT_EQ(list->FindStringExact(-1, "COM2"), 1);
  EXPECT_EQ(list->FindStringExact(1, "COM2"), CB_ERR);

  // The editable combo box: history inserted at the top, edit field empty.
  auto* combo = f.view.GetDlgItemAs<CComboBox>(ID_COMBO);
  for (const char* command : {"AT+OLD", "AT+MID", "AT+NEW"}) EXPECT_EQ(combo->InsertString(0, command), 0);
  EXPECT_EQ(combo->GetCount(), 3);
  EXPECT_EQ(combo->GetLBText(0), "AT+NEW");
  EXPECT_EQ(combo->GetCurSel(), -1);
  EXPECT_EQ(combo->GetWindowText(), "");
  // What the user types is the window text; the list is left alone.
  QTest::keyClicks(WidgetAs<QComboBox>(*combo)->lineEdit(), QStringLiteral("AT"));
  EXPECT_EQ(combo->GetWindowText(), "AT");
  EXPECT_EQ(combo->AddString("最后"), 3);
  EXPECT_EQ(combo->GetWindowText(), "AT");
  EXPECT_EQ(combo->InsertString(9, "x"), CB_ERR);
  EXPECT_EQ(combo->DeleteString(0), 3);
  EXPECT_EQ(combo->GetWindowText(), "AT");
  combo->ResetContent();
  EXPECT_EQ(combo->GetCount(), 0);
  EXPECT_EQ(combo->GetWindowText(), "");

  // The closed control is one line high; the template's height is the list's.
  QComboBox* box = WidgetAs<QComboBox>(*list);
  EXPECT_LT(box->height(), DialogUnitsToPixelsY(188, QtLogicalDpi()) / 2);
  EXPECT_GT(box->maxVisibleItems(), 3);
}

TEST_F(ListControl, ReportViewRowsAreReusedInPlaceAndStylesApply) {
  FramedForm<PlainForm> f;
  auto* list = f.view.GetDlgItemAs<CListCtrl>(ID_REPORT);
  ASSERT_NE(list, nullptr);
  auto* table = WidgetAs<QTableWidget>(*list);
  list->ModifyStyle(0, LVS_SINGLESEL | LVS_SHOWSELALWAYS);
  list->SetExtendedStyle(list->GetExtendedStyle() | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  EXPECT_TRUE(table->showGrid());
  EXPECT_EQ(table->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(table->selectionMode(), QAbstractItemView::SingleSelection);

  EXPECT_EQ(list->InsertColumn(0, "序号", LVCFMT_CENTER, 40), 0);
  EXPECT_EQ(list->InsertColumn(1, "参数名", LVCFMT_LEFT, 160), 1);
  EXPECT_EQ(list->InsertColumn(2, "参数值", LVCFMT_RIGHT, 500), 2);
  EXPECT_EQ(list->GetColumnCount(), 3);
  EXPECT_EQ(list->GetColumnWidth(1), 160);
  EXPECT_EQ(list->GetColumnHeading(2), "参数值");
  EXPECT_EQ(list->GetColumnFormat(0), LVCFMT_CENTER);

  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(list->InsertItem(i, ""), i);
    list->SetItemText(i, 0, std::to_string(i + 1));
    list->SetItemText(i, 1, "接收量");
    list->SetItemData(i, static_cast<std::uintptr_t>(i));
  }
  // The first column is drawn left-aligned whatever it asked for.
  EXPECT_TRUE(table->item(0, 0)->textAlignment() & Qt::AlignLeft);
  EXPECT_TRUE(table->item(0, 1)->textAlignment() & Qt::AlignLeft);

  std::vector<QTableWidgetItem*> cells;
  for (int i = 0; i < 6; ++i) cells.push_back(table->item(i, 1));

  // Rebuild as a six-row collection: suspend drawing, delete the last rows,
  // rewrite the rest in place.
  list->SetRedraw(false);
  EXPECT_FALSE(table->updatesEnabled());
  while (list->GetItemCount() > 6) EXPECT_EQ(list->DeleteItem(list->GetItemCount() - 1), 1);
  for (int i = 0; i < 6; ++i) list->SetItemText(i, 1, "    行" + std::to_string(i));
  list->SetRedraw(true);
  EXPECT_TRUE(table->updatesEnabled());
  EXPECT_EQ(list->GetItemCount(), 6);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(table->item(i, 1), cells[static_cast<std::size_t>(i)]) << "row " << i << " was not reused";
    EXPECT_EQ(list->GetItemText(i, 1), "    行" + std::to_string(i));
    EXPECT_EQ(list->GetItemData(i), static_cast<std::uintptr_t>(i));
  }
  EXPECT_EQ(list->GetItemText(0, 2), "");
  EXPECT_EQ(list->GetItemText(6, 0), "");
  EXPECT_EQ(list->SetItemText(6, 0, "x"), 0);
  EXPECT_EQ(list->SetItemText(0, 3, "x"), 0);

  // Inserting in the middle shifts the rows below it.
  EXPECT_EQ(list->InsertItem(1, "新"), 1);
  EXPECT_EQ(list->GetItemText(1, 0), "新");
  EXPECT_EQ(list->GetItemText(2, 0), "2");
  EXPECT_EQ(list->InsertItem(99, "end"), 7);
  EXPECT_EQ(list->DeleteAllItems(), 1);
  EXPECT_EQ(list->GetItemCount(), 0);
}

TEST_F(AddressControl, HoldsFourFieldsOf0To255ReadAndSetAsNumbers) {
  FramedForm<PlainForm> f;
  auto* address = f.view.GetDlgItemAs<CIPAddressCtrl>(ID_ADDRESS);
  ASSERT_NE(address, nullptr);
  EXPECT_EQ(address->IsBlank(), 1);
  address->SetAddress(192, 168, 0, 1);
  std::uint8_t a = 0, b = 0, c = 0, d = 0;
  EXPECT_EQ(address->GetAddress(a, b, c, d), 4);
  EXPECT_EQ(std::vector<int>({a, b, c, d}), std::vector<int>({192, 168, 0, 1}));
  std::uint32_t packed = 0;
  address->GetAddress(packed);
  EXPECT_EQ(packed, 0xC0A80001u);
  EXPECT_EQ(address->GetWindowText(), "192.168.0.1");

  // Typed by the user: digits and dots move on; 256 does not fit.
  address->ClearAddress();
  EXPECT_EQ(address->IsBlank(), 1);
  auto* widget = static_cast<QuillonIpAddressEdit*>(WidgetOf(*address));
  address->SetFocus();
  TypeIntoFocus(QStringLiteral("127.0.0"));
  EXPECT_EQ(address->GetAddress(a, b, c, d), 3);  // the last field is still blank
  EXPECT_EQ(address->GetWindowText(), "127.0.0.");
  TypeIntoFocus(QStringLiteral(".256"));
  EXPECT_EQ(widget->FieldEdit(3)->text(), QStringLiteral("25")) << "refused, the field unchanged";
  // A digit typed into a full field with the caret at its end starts the next.
  widget->FieldEdit(0)->setFocus(Qt::MouseFocusReason);
  widget->FieldEdit(0)->end(false);
  TypeIntoFocus(QStringLiteral("9"));
  EXPECT_EQ(address->GetWindowText(), "127.9.0.25");

  // Over an address: three digits move on with the next field selected, and
  // the dot typed after them is swallowed instead of skipping that field.
  address->SetAddress(192, 168, 0, 1);
  widget->FieldEdit(0)->setFocus();
  widget->FieldEdit(0)->selectAll();
  TypeIntoFocus(QStringLiteral("127.0.0.1"));
  EXPECT_EQ(address->GetWindowText(), "127.0.0.1");
  // Clicked in before the digits: what is typed replaces them from the caret,
  // and "." or space moves on from a field the caret came into by a click.
  address->SetAddress(192, 168, 0, 1);
  QLineEdit* first = widget->FieldEdit(0);
  QTest::mouseClick(first, Qt::LeftButton, {}, QPoint(1, first->height() / 2));
  ASSERT_EQ(first->cursorPosition(), 0);
  TypeIntoFocus(QStringLiteral("10 1.2.3"));
  EXPECT_EQ(address->GetWindowText(), "10.1.2.3");
  // Backspace at the start of a field goes back to the end of the previous one.
  widget->FieldEdit(1)->setFocus();
  widget->FieldEdit(1)->setCursorPosition(0);
  TypeIntoFocus(QStringLiteral("\b"));
  EXPECT_TRUE(widget->FieldEdit(0)->hasFocus());
  TypeIntoFocus(QStringLiteral("\b"));
  EXPECT_EQ(address->GetWindowText(), "1.1.2.3");

  // Leading zeros go as the caret leaves the field: what it shows is what is read.
  widget->FieldEdit(2)->setFocus();
  widget->FieldEdit(2)->selectAll();
  TypeIntoFocus(QStringLiteral("01"));
  EXPECT_EQ(widget->FieldEdit(2)->text(), QStringLiteral("01"));
  widget->FieldEdit(3)->setFocus();
  EXPECT_EQ(widget->FieldEdit(2)->text(), QStringLiteral("1"));

  // Pasted: a dotted address fills all four fields wherever the caret is; a
  // number replaces the field's selection; anything over 255 or not an
  // address is refused and changes nothing.
  address->SetAddress(192, 168, 0, 1);
  QLineEdit* third = widget->FieldEdit(2);
  third->setFocus();
  third->setCursorPosition(1);
  QGuiApplication::clipboard()->setText(QStringLiteral(" 10.1.2.3\n"));
  QTest::keyClick(third, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(address->GetWindowText(), "10.1.2.3");
  QGuiApplication::clipboard()->setText(QStringLiteral("255.255.255.255"));
  QTest::keyClick(widget->FieldEdit(0), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(address->GetWindowText(), "255.255.255.255");
  for (const char* refused : {"256.1.1.1", "1.2.3", "1.2.3.4.5", "abc", "300"}) {
    address->SetAddress(10, 1, 2, 3);
    widget->FieldEdit(1)->setFocus();
    widget->FieldEdit(1)->selectAll();
    QGuiApplication::clipboard()->setText(QString::fromLatin1(refused));
    QTest::keyClick(widget->FieldEdit(1), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(address->GetWindowText(), "10.1.2.3") << refused;
  }
  // The context menu's paste and the middle button take the same way.
  address->SetAddress(192, 168, 0, 1);
  QGuiApplication::clipboard()->setText(QStringLiteral("127.0.0.1"));
  QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(2, 2), third->mapToGlobal(QPoint(2, 2)));
  QApplication::sendEvent(third, &menuEvent);
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(menu, nullptr);
  QAction* paste = nullptr;
  for (QAction* action : menu->actions()) {
    if (action->text().endsWith(QStringLiteral("\tCtrl+V"))) paste = action;
  }
  ASSERT_NE(paste, nullptr);
  paste->trigger();
  menu->close();
  EXPECT_EQ(address->GetWindowText(), "127.0.0.1");

  // "0" pasted behind a field's "0" is still 0 once the caret leaves.
  address->SetAddress(10, 0, 2, 3);
  QGuiApplication::clipboard()->setText(QStringLiteral("0"));
  widget->FieldEdit(1)->setFocus();
  widget->FieldEdit(1)->end(false);
  QTest::keyClick(widget->FieldEdit(1), Qt::Key_V, Qt::ControlModifier);
  widget->FieldEdit(0)->setFocus();
  EXPECT_EQ(widget->FieldEdit(1)->text(), QStringLiteral("0"));
  EXPECT_EQ(address->GetWindowText(), "10.0.2.3");

  address->SetAddress(0x0A000102u);
  EXPECT_EQ(address->GetWindowText(), "10.0.1.2");
  address->SetWindowText("1.2..300");
  EXPECT_EQ(address->GetAddress(a, b, c, d), 2);
  EXPECT_EQ(std::vector<int>({a, b, c, d}), std::vector<int>({1, 2, 0, 0}));

  address->EnableWindow(false);
  EXPECT_FALSE(widget->FieldEdit(2)->isEnabled());
}

}  // namespace
