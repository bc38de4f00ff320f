// The controls of dialogs and forms on Qt widgets: labels and frames, push
// buttons, edits, combo boxes, the report list view and the address control.
#include <QAbstractItemView>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <functional>
#include <vector>

#include "platform/window/qt/qt_combo_fit.h"
#include "platform/window/qt/qt_ip_address.h"
#include "platform/window/qt/qt_peers.h"
#include "platform/window/qt/qt_text.h"

namespace {

// --------------------------------------------------------- text positions

// Bytes that a character takes in the program's GBK text. A multi-line
// edit's line break is CR LF there and one character in the widget.
int GbkBytesOf(QChar c, bool bMultiLine) {
  if (c == QLatin1Char('\n')) return bMultiLine ? 2 : 1;
  if (c.unicode() < 0x80) return 1;
  if (c.isSurrogate()) return 1;
  return 2;
}

int CharIndexOfByte(const QString& text, int nByte, bool bMultiLine) {
  int bytes = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (bytes >= nByte) return static_cast<int>(i);
    bytes += GbkBytesOf(text[i], bMultiLine);
  }
  return static_cast<int>(text.size());
}

int ByteOfCharIndex(const QString& text, int nIndex, bool bMultiLine) {
  int bytes = 0;
  for (qsizetype i = 0; i < text.size() && i < nIndex; ++i) bytes += GbkBytesOf(text[i], bMultiLine);
  return bytes;
}

// A multi-line edit holds "\n" where the program's text has "\r\n".
QString EditTextIn(const std::string& gbk, bool bMultiLine) {
  QString text = GbkToQString(gbk);
  if (bMultiLine) text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

std::string EditTextOut(QString text, bool bMultiLine) {
  if (bMultiLine) {
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  }
  return QStringToGbk(text);
}

// ---------------------------------------------------------- simple controls

class QtStaticPeer : public QtPeer<CWndPeer> {
 public:
  QtStaticPeer(CWnd& owner, QWidget* widget) : QtPeer<CWndPeer>(owner, widget, Disposal::DeleteLater) {}
  void SetText(const std::string& text) override {
    if (auto* label = qobject_cast<QLabel*>(m_widget.data())) label->setText(GbkToQString(text));
    if (auto* box = qobject_cast<QGroupBox*>(m_widget.data())) box->setTitle(GbkToQString(text));
  }
  std::string GetText() const override {
    if (auto* label = qobject_cast<QLabel*>(m_widget.data())) return QStringToGbk(label->text());
    if (auto* box = qobject_cast<QGroupBox*>(m_widget.data())) return QStringToGbk(box->title());
    return std::string();
  }
};

class QtButtonPeer : public QtPeer<CButtonPeer> {
 public:
  QtButtonPeer(CWnd& owner, CWnd& target, int nId, QPushButton* button)
      : QtPeer<CButtonPeer>(owner, button, Disposal::DeleteLater), m_button(button) {
    CWnd* parent = &target;
    QObject::connect(button, &QPushButton::clicked, Guard(),
                     [parent, nId] { parent->OnCommand(static_cast<unsigned>(nId), BN_CLICKED); });
  }
  void SetText(const std::string& text) override {
    if (m_button) m_button->setText(GbkToQString(text));
  }
  std::string GetText() const override { return m_button ? QStringToGbk(m_button->text()) : std::string(); }
  void Click() override {
    if (m_button) m_button->click();
  }

 private:
  QPointer<QPushButton> m_button;
};

// -------------------------------------------------------------------- edits

class QtEditPeer : public QtPeer<CEditPeer> {
 public:
  QtEditPeer(CWnd& owner, CWnd& target, int nId, QLineEdit* line)
      : QtPeer<CEditPeer>(owner, line, Disposal::DeleteLater), m_line(line) {
    CWnd* parent = &target;
    QObject::connect(line, &QLineEdit::textEdited, Guard(),
                     [parent, nId] { parent->OnCommand(static_cast<unsigned>(nId), EN_CHANGE); });
  }
  QtEditPeer(CWnd& owner, QPlainTextEdit* text) : QtPeer<CEditPeer>(owner, text, Disposal::DeleteLater), m_text(text) {}

  void SetText(const std::string& text) override {
    if (m_line) m_line->setText(EditTextIn(text, false));
    if (m_text) m_text->setPlainText(EditTextIn(text, true));
  }
  std::string GetText() const override {
    if (m_line) return EditTextOut(m_line->text(), false);
    if (m_text) return EditTextOut(m_text->toPlainText(), true);
    return std::string();
  }

  void SetSel(int nStart, int nEnd) override {
    if (m_line) {
      if (nStart < 0) {
        m_line->deselect();
        return;
      }
      const QString text = m_line->text();
      int from = CharIndexOfByte(text, nStart, false);
      int to = nEnd < 0 ? static_cast<int>(text.size()) : CharIndexOfByte(text, nEnd, false);
      m_line->setSelection(from, to - from);
    } else if (m_text) {
      QTextCursor cursor = m_text->textCursor();
      if (nStart < 0) {
        cursor.clearSelection();
      } else {
        const QString text = m_text->toPlainText();
        int from = CharIndexOfByte(text, nStart, true);
        int to = nEnd < 0 ? static_cast<int>(text.size()) : CharIndexOfByte(text, nEnd, true);
        cursor.setPosition(from);
        cursor.setPosition(to, QTextCursor::KeepAnchor);
      }
      m_text->setTextCursor(cursor);
    }
  }

  void GetSel(int& nStart, int& nEnd) const override {
    nStart = nEnd = 0;
    if (m_line) {
      const QString text = m_line->text();
      int from = m_line->hasSelectedText() ? static_cast<int>(m_line->selectionStart()) : m_line->cursorPosition();
      int to = m_line->hasSelectedText() ? static_cast<int>(m_line->selectionEnd()) : from;
      nStart = ByteOfCharIndex(text, from, false);
      nEnd = ByteOfCharIndex(text, to, false);
    } else if (m_text) {
      const QString text = m_text->toPlainText();
      QTextCursor cursor = m_text->textCursor();
      nStart = ByteOfCharIndex(text, cursor.selectionStart(), true);
      nEnd = ByteOfCharIndex(text, cursor.selectionEnd(), true);
    }
  }

  void ReplaceSel(const std::string& text, bool bCanUndo) override {
    if (m_line) {
      m_line->insert(EditTextIn(text, false));
    } else if (m_text) {
      QTextCursor cursor = m_text->textCursor();
      cursor.insertText(EditTextIn(text, true));
      m_text->setTextCursor(cursor);
    }
  }

  void AppendText(const std::string& text) override {
    if (m_line) {
      m_line->end(false);
      m_line->insert(EditTextIn(text, false));
    } else if (m_text) {
      // One insertion at the end of the document through a cursor of its
      // own: the user's caret and selection stay where they are (so a
      // selection can be copied while text streams in). The view follows the
      // new text only while it shows the end; scrolled up, it stays put.
      QScrollBar* bar = m_text->verticalScrollBar();
      const bool atEnd = bar->value() >= bar->maximum();
      const int scrolledTo = bar->value();
      QTextCursor cursor(m_text->document());
      cursor.movePosition(QTextCursor::End);
      cursor.insertText(EditTextIn(text, true));
      bar->setValue(atEnd ? bar->maximum() : scrolledTo);
    }
  }

  int GetLineCount() const override {
    if (m_text) return m_text->document()->blockCount();
    return m_line ? 1 : 0;
  }

  void ApplyStyle(unsigned long dwStyle, unsigned long dwExStyle) override {
    const bool readOnly = dwStyle & ES_READONLY;
    if (m_line) {
      m_line->setReadOnly(readOnly);
      m_line->setFrame(dwStyle & WS_BORDER);
    }
    if (m_text) {
      m_text->setReadOnly(readOnly);
      if (readOnly) {
        // The caret can still be moved and text selected, as in a Win32 edit control.
        m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
      }
      m_text->setFrameShape((dwStyle & WS_BORDER) ? QFrame::StyledPanel : QFrame::NoFrame);
      m_text->setVerticalScrollBarPolicy((dwStyle & WS_VSCROLL) ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
      m_text->setHorizontalScrollBarPolicy((dwStyle & WS_HSCROLL) ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
      // Without horizontal scrolling, lines wrap at the control's width.
      m_text->setLineWrapMode((dwStyle & (WS_HSCROLL | ES_AUTOHSCROLL)) ? QPlainTextEdit::NoWrap
                                                                        : QPlainTextEdit::WidgetWidth);
      m_text->setProperty("quillonWantReturn", static_cast<bool>(dwStyle & ES_WANTRETURN));
    }
    QWidget* widget = m_widget.data();
    if (widget) {
      // Read-only edits show the face colour, as a Win32 edit control does.
      QPalette palette = widget->palette();
      palette.setBrush(QPalette::Base, readOnly ? widget->palette().brush(QPalette::Window)
                                                : QPalette().brush(QPalette::Base));
      widget->setPalette(palette);
    }
  }

 private:
  QPointer<QLineEdit> m_line;
  QPointer<QPlainTextEdit> m_text;
};

// -------------------------------------------------------------- combo boxes

// Tells its parent (CBN_DROPDOWN) before the list opens, so the items can be
// brought up to date, and opens the list wide enough for its longest item.
class DropDownComboBox : public QComboBox {
 public:
  using QComboBox::QComboBox;
  std::function<void()> onDropDown;

  void showPopup() override {
    if (onDropDown) onDropDown();
    int widest = width();
    const QFontMetrics metrics = view()->fontMetrics();
    for (int i = 0; i < count(); ++i) {
      widest = std::max(widest, metrics.horizontalAdvance(itemText(i)) + 2 * metrics.averageCharWidth() +
                                    view()->verticalScrollBar()->sizeHint().width());
    }
    view()->setMinimumWidth(widest);
    QComboBox::showPopup();
  }
};

class QtComboPeer : public QtPeer<CComboPeer> {
 public:
  QtComboPeer(CWnd& owner, CWnd& target, int nId, QComboBox* combo)
      : QtPeer<CComboPeer>(owner, combo, Disposal::DeleteLater), m_combo(combo) {
    CWnd* parent = &target;
    if (auto* dropDown = dynamic_cast<DropDownComboBox*>(combo)) {
      dropDown->onDropDown = [parent, nId] { parent->OnCommand(static_cast<unsigned>(nId), CBN_DROPDOWN); };
    }
    QObject::connect(combo, &QComboBox::activated, Guard(),
                     [parent, nId] { parent->OnCommand(static_cast<unsigned>(nId), CBN_SELCHANGE); });
    if (QLineEdit* edit = combo->lineEdit()) {
      QObject::connect(edit, &QLineEdit::textEdited, Guard(),
                       [parent, nId] { parent->OnCommand(static_cast<unsigned>(nId), CBN_EDITCHANGE); });
    }
  }

  void SetText(const std::string& text) override {
    if (!m_combo) return;
    if (m_combo->isEditable()) {
      m_combo->setEditText(GbkToQString(text));
      return;
    }
    // A list without an edit field shows only its items.
    int found = m_combo->findText(GbkToQString(text), Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (found >= 0) m_combo->setCurrentIndex(found);
  }
  std::string GetText() const override {
    if (!m_combo) return std::string();
    if (m_combo->isEditable()) return QStringToGbk(m_combo->currentText());
    return m_combo->currentIndex() >= 0 ? QStringToGbk(m_combo->itemText(m_combo->currentIndex())) : std::string();
  }

  int InsertString(int nIndex, const std::string& text) override {
    if (!m_combo) return CB_ERR;
    int count = m_combo->count();
    if (nIndex > count) return CB_ERR;
    int at = nIndex < 0 ? count : nIndex;
    // Qt selects the first item of an empty box and copies it into the edit
    // field; the Win32 combo box leaves both alone.
    const int current = m_combo->currentIndex();
    const QString editText = m_combo->isEditable() ? m_combo->currentText() : QString();
    m_combo->insertItem(at, GbkToQString(text));
    if (current < 0) m_combo->setCurrentIndex(-1);
    if (m_combo->isEditable()) m_combo->setEditText(editText);
    return at;
  }
  int DeleteString(int nIndex) override {
    if (!m_combo || nIndex < 0 || nIndex >= m_combo->count()) return CB_ERR;
    const QString editText = m_combo->isEditable() ? m_combo->currentText() : QString();
    const bool wasSelected = m_combo->currentIndex() == nIndex;
    m_combo->removeItem(nIndex);
    if (wasSelected) m_combo->setCurrentIndex(-1);
    if (m_combo->isEditable()) m_combo->setEditText(editText);
    return m_combo->count();
  }
  void ResetContent() override {
    if (!m_combo) return;
    m_combo->clear();
    if (m_combo->isEditable()) m_combo->setEditText(QString());
  }
  int GetCount() const override { return m_combo ? m_combo->count() : CB_ERR; }
  int SetCurSel(int nSelect) override {
    if (!m_combo) return CB_ERR;
    if (nSelect < 0 || nSelect >= m_combo->count()) {
      m_combo->setCurrentIndex(-1);
      return nSelect == -1 ? -1 : CB_ERR;
    }
    m_combo->setCurrentIndex(nSelect);
    return nSelect;
  }
  int GetCurSel() const override { return m_combo ? m_combo->currentIndex() : CB_ERR; }
  std::string GetLBText(int nIndex) const override {
    if (!m_combo || nIndex < 0 || nIndex >= m_combo->count()) return std::string();
    return QStringToGbk(m_combo->itemText(nIndex));
  }
  int SetItemTip(int nIndex, const std::string& text) override {
    if (!m_combo || nIndex < 0 || nIndex >= m_combo->count()) return CB_ERR;
    // As plain text, whatever it holds: device strings are chosen by whoever made the device.
    m_combo->setItemData(nIndex, text.empty() ? QVariant() : QVariant(Qt::convertFromPlainText(GbkToQString(text))),
                         Qt::ToolTipRole);
    return nIndex;
  }

 private:
  QPointer<QComboBox> m_combo;
};

// ---------------------------------------------------------- list view

class QtListPeer : public QtPeer<CListPeer> {
 public:
  QtListPeer(CWnd& owner, QTableWidget* table) : QtPeer<CListPeer>(owner, table, Disposal::DeleteLater), m_table(table) {}

  void ApplyStyle(unsigned long dwStyle, unsigned long dwExStyle) override {
    if (!m_table) return;
    m_table->setSelectionMode((dwStyle & LVS_SINGLESEL) ? QAbstractItemView::SingleSelection
                                                         : QAbstractItemView::ExtendedSelection);
    m_table->setSelectionBehavior((dwExStyle & LVS_EX_FULLROWSELECT) ? QAbstractItemView::SelectRows
                                                                      : QAbstractItemView::SelectItems);
    m_table->setShowGrid(dwExStyle & LVS_EX_GRIDLINES);
    m_table->horizontalHeader()->setVisible(!(dwStyle & LVS_NOCOLUMNHEADER));
    m_table->setFrameShape((dwStyle & WS_BORDER) ? QFrame::StyledPanel : QFrame::NoFrame);
    // Without "show selection always" the selection disappears with the focus.
    QPalette palette = m_table->palette();
    const QPalette base;
    if (dwStyle & LVS_SHOWSELALWAYS) {
      palette.setBrush(QPalette::Inactive, QPalette::Highlight, base.brush(QPalette::Inactive, QPalette::Button));
      palette.setBrush(QPalette::Inactive, QPalette::HighlightedText, base.brush(QPalette::Inactive, QPalette::ButtonText));
    } else {
      palette.setBrush(QPalette::Inactive, QPalette::Highlight, base.brush(QPalette::Inactive, QPalette::Base));
      palette.setBrush(QPalette::Inactive, QPalette::HighlightedText, base.brush(QPalette::Inactive, QPalette::Text));
    }
    m_table->setPalette(palette);
  }

  int InsertColumn(int nCol, const std::string& heading, int nFormat, int nWidth) override {
    if (!m_table || nCol < 0) return -1;
    int count = m_table->columnCount();
    int at = nCol > count ? count : nCol;
    m_table->insertColumn(at);
    m_formats.insert(m_formats.begin() + at, nFormat);
    auto* header = new QTableWidgetItem(GbkToQString(heading));
    header->setTextAlignment(AlignmentOf(at) | Qt::AlignVCenter);
    m_table->setHorizontalHeaderItem(at, header);
    if (nWidth >= 0) m_table->setColumnWidth(at, nWidth);
    RealignFrom(at);
    return at;
  }
  int DeleteColumn(int nCol) override {
    if (!m_table || nCol < 0 || nCol >= m_table->columnCount()) return 0;
    m_table->removeColumn(nCol);
    m_formats.erase(m_formats.begin() + nCol);
    RealignFrom(nCol);
    return 1;
  }
  int GetColumnCount() const override { return m_table ? m_table->columnCount() : 0; }
  int GetColumnWidth(int nCol) const override {
    if (!m_table || nCol < 0 || nCol >= m_table->columnCount()) return 0;
    return m_table->columnWidth(nCol);
  }
  int SetColumnWidth(int nCol, int cx) override {
    if (!m_table || nCol < 0 || nCol >= m_table->columnCount()) return 0;
    if (cx == LVSCW_AUTOSIZE || cx == LVSCW_AUTOSIZE_USEHEADER) {
      // Through the base: the table view keeps its override protected.
      int width = static_cast<const QAbstractItemView*>(m_table.data())->sizeHintForColumn(nCol);
      if (cx == LVSCW_AUTOSIZE_USEHEADER) {
        width = std::max(width, m_table->horizontalHeader()->sectionSizeHint(nCol));
        if (nCol == m_table->columnCount() - 1) {
          int room = m_table->viewport()->width();
          for (int col = 0; col < nCol; ++col) room -= m_table->columnWidth(col);
          width = std::max(width, room);
        }
      }
      cx = width;
    }
    if (m_table->columnWidth(nCol) != cx) m_table->setColumnWidth(nCol, cx);
    return 1;
  }
  std::string GetColumnHeading(int nCol) const override {
    if (!m_table || nCol < 0 || nCol >= m_table->columnCount()) return std::string();
    QTableWidgetItem* header = m_table->horizontalHeaderItem(nCol);
    return header ? QStringToGbk(header->text()) : std::string();
  }
  int GetColumnFormat(int nCol) const override {
    if (nCol < 0 || nCol >= static_cast<int>(m_formats.size())) return LVCFMT_LEFT;
    return m_formats[static_cast<std::size_t>(nCol)];
  }

  int InsertItem(int nItem, const std::string& text) override {
    if (!m_table || nItem < 0) return -1;
    int count = m_table->rowCount();
    int at = nItem > count ? count : nItem;
    m_table->insertRow(at);
    if (m_table->columnCount() > 0) Cell(at, 0)->setText(GbkToQString(text));
    return at;
  }
  int DeleteItem(int nItem) override {
    if (!m_table || nItem < 0 || nItem >= m_table->rowCount()) return 0;
    m_table->removeRow(nItem);
    return 1;
  }
  int DeleteAllItems() override {
    if (!m_table) return 0;
    m_table->setRowCount(0);
    return 1;
  }
  int GetItemCount() const override { return m_table ? m_table->rowCount() : 0; }
  int SetItemText(int nItem, int nSubItem, const std::string& text) override {
    if (!ValidCell(nItem, nSubItem)) return 0;
    // The row's cells are reused: only their text changes.
    QTableWidgetItem* cell = Cell(nItem, nSubItem);
    const QString value = GbkToQString(text);
    if (cell->text() != value) cell->setText(value);
    return 1;
  }
  std::string GetItemText(int nItem, int nSubItem) const override {
    if (!ValidCell(nItem, nSubItem)) return std::string();
    QTableWidgetItem* cell = m_table->item(nItem, nSubItem);
    return cell ? QStringToGbk(cell->text()) : std::string();
  }
  int SetItemData(int nItem, std::uintptr_t dwData) override {
    if (!ValidCell(nItem, 0)) return 0;
    Cell(nItem, 0)->setData(Qt::UserRole, QVariant::fromValue<qulonglong>(dwData));
    return 1;
  }
  std::uintptr_t GetItemData(int nItem) const override {
    if (!ValidCell(nItem, 0)) return 0;
    QTableWidgetItem* cell = m_table->item(nItem, 0);
    return cell ? static_cast<std::uintptr_t>(cell->data(Qt::UserRole).toULongLong()) : 0;
  }
  int GetSelectionMark() const override {
    if (!m_table) return -1;
    QModelIndex current = m_table->currentIndex();
    return current.isValid() ? current.row() : -1;
  }
  int SetSelectionMark(int nItem) override {
    int previous = GetSelectionMark();
    if (m_table && nItem >= 0 && nItem < m_table->rowCount()) m_table->selectRow(nItem);
    return previous;
  }

 private:
  // The first column is drawn left-aligned whatever it asks, as the
  // platform's list view does.
  Qt::Alignment AlignmentOf(int nCol) const {
    if (nCol <= 0 || nCol >= static_cast<int>(m_formats.size())) return Qt::AlignLeft;
    switch (m_formats[static_cast<std::size_t>(nCol)] & 3) {
      case LVCFMT_RIGHT:
        return Qt::AlignRight;
      case LVCFMT_CENTER:
        return Qt::AlignHCenter;
      default:
        return Qt::AlignLeft;
    }
  }
  void RealignFrom(int nCol) {
    for (int col = nCol; col < m_table->columnCount(); ++col) {
      const Qt::Alignment alignment = AlignmentOf(col) | Qt::AlignVCenter;
      if (QTableWidgetItem* header = m_table->horizontalHeaderItem(col)) header->setTextAlignment(alignment);
      for (int row = 0; row < m_table->rowCount(); ++row) {
        if (QTableWidgetItem* cell = m_table->item(row, col)) cell->setTextAlignment(alignment);
      }
    }
  }
  bool ValidCell(int nItem, int nSubItem) const {
    return m_table && nItem >= 0 && nItem < m_table->rowCount() && nSubItem >= 0 && nSubItem < m_table->columnCount();
  }
  QTableWidgetItem* Cell(int nItem, int nSubItem) {
    QTableWidgetItem* cell = m_table->item(nItem, nSubItem);
    if (!cell) {
      cell = new QTableWidgetItem();
      cell->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
      cell->setTextAlignment(AlignmentOf(nSubItem) | Qt::AlignVCenter);
      m_table->setItem(nItem, nSubItem, cell);
    }
    return cell;
  }

  QPointer<QTableWidget> m_table;
  std::vector<int> m_formats;
};

// --------------------------------------------------------- address control

class QtIpAddressPeer : public QtPeer<CIpAddressPeer> {
 public:
  QtIpAddressPeer(CWnd& owner, QuillonIpAddressEdit* edit)
      : QtPeer<CIpAddressPeer>(owner, edit, Disposal::DeleteLater), m_edit(edit) {}
  void SetText(const std::string& text) override {
    if (m_edit) m_edit->SetText(GbkToQString(text));
  }
  std::string GetText() const override { return m_edit ? QStringToGbk(m_edit->Text()) : std::string(); }
  void GetFields(int fields[4]) const override {
    for (int i = 0; i < 4; ++i) fields[i] = m_edit ? m_edit->Field(i) : -1;
  }
  void SetFields(const int fields[4]) override {
    if (!m_edit) return;
    for (int i = 0; i < 4; ++i) m_edit->SetField(i, fields[i]);
  }

 private:
  QPointer<QuillonIpAddressEdit> m_edit;
};

QRect PixelRect(const CControlTemplate& ctl, int dpi) {
  CRect r = DialogUnitsToPixels(CRect{ctl.x, ctl.y, ctl.x + ctl.cx, ctl.y + ctl.cy}, dpi);
  return QRect(r.left, r.top, r.Width(), r.Height());
}

// ------------------------------------------------ one maker per control kind

// What a maker builds from: the template, the control and the window it is
// made in, its place in pixels, its text and its window styles.
struct ControlSite {
  CWnd& parent;
  CWnd& control;
  const CControlTemplate& ctl;
  QWidget* parentWidget;
  QRect rect;
  QString text;
  unsigned long style;
};

// The widget a maker built and the peer that drives it.
struct MadeControl {
  QWidget* widget = nullptr;
  std::unique_ptr<CWndPeer> peer;
};

MadeControl MakeStatic(const ControlSite& site) {
  auto* label = new QLabel(site.text, site.parentWidget);
  label->setTextFormat(Qt::PlainText);
  Qt::Alignment horizontal = Qt::AlignLeft;
  if ((site.ctl.dwStyle & 3) == SS_CENTER) horizontal = Qt::AlignHCenter;
  if ((site.ctl.dwStyle & 3) == SS_RIGHT) horizontal = Qt::AlignRight;
  label->setAlignment(horizontal | Qt::AlignTop);
  label->setGeometry(site.rect);
  // A one-line label is never cut below its font's height.
  if (site.rect.height() < label->fontMetrics().height()) {
    label->resize(site.rect.width(), label->fontMetrics().height());
  }
  return {label, std::make_unique<QtStaticPeer>(site.control, label)};
}

MadeControl MakeGroupBox(const ControlSite& site) {
  auto* box = new QGroupBox(site.text, site.parentWidget);
  box->setGeometry(site.rect);
  box->setFocusPolicy(Qt::NoFocus);
  return {box, std::make_unique<QtStaticPeer>(site.control, box)};
}

MadeControl MakeFrame(const ControlSite& site) {
  auto* frame = new QFrame(site.parentWidget);
  frame->setFrameShape(QFrame::Box);
  frame->setFrameShadow(QFrame::Sunken);
  frame->setGeometry(site.rect);
  return {frame, std::make_unique<QtStaticPeer>(site.control, frame)};
}

MadeControl MakePushButton(const ControlSite& site) {
  auto* button = new QPushButton(site.text, site.parentWidget);
  button->setAutoDefault(false);
  button->setDefault(site.ctl.dwStyle & BS_DEFPUSHBUTTON);
  button->setGeometry(site.rect);
  return {button, std::make_unique<QtButtonPeer>(site.control, site.parent, site.ctl.nId, button)};
}

// A multi-line edit is a plain-text edit, any other a line edit.
MadeControl MakeEdit(const ControlSite& site) {
  QWidget* widget = nullptr;
  std::unique_ptr<QtEditPeer> edit;
  if (site.ctl.dwStyle & ES_MULTILINE) {
    auto* textEdit = new QPlainTextEdit(site.parentWidget);
    textEdit->setTabChangesFocus(true);
    textEdit->setGeometry(site.rect);
    widget = textEdit;
    edit = std::make_unique<QtEditPeer>(site.control, textEdit);
  } else {
    auto* line = new QLineEdit(site.parentWidget);
    line->setGeometry(site.rect);
    widget = line;
    edit = std::make_unique<QtEditPeer>(site.control, site.parent, site.ctl.nId, line);
  }
  edit->ApplyStyle(site.style, site.ctl.dwExStyle);
  if (!site.ctl.strText.empty()) edit->SetText(site.ctl.strText);
  return {widget, std::move(edit)};
}

// A drop-down list, or with an editable field a drop-down combo box.
MadeControl MakeDropDown(const ControlSite& site) {
  auto* combo = new DropDownComboBox(site.parentWidget);
  if (site.ctl.kind == CtlKind::DropDownCombo) {
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setCompleter(nullptr);
  }
  // The template's height is the control with its list dropped down.
  const QRect& rect = site.rect;
  const int closed = combo->sizeHint().height();
  combo->setGeometry(rect.x(), rect.y(), rect.width(), closed);
  const int itemHeight = combo->fontMetrics().height() + 4;
  combo->setMaxVisibleItems(std::max(1, (rect.height() - closed) / itemHeight));
  auto comboPeer = std::make_unique<QtComboPeer>(site.control, site.parent, site.ctl.nId, combo);
  for (const std::string& item : site.ctl.items) comboPeer->InsertString(-1, item);
  FitDropDownList(*combo);
  return {combo, std::move(comboPeer)};
}

MadeControl MakeListView(const ControlSite& site) {
  auto* table = new QTableWidget(0, 0, site.parentWidget);
  table->verticalHeader()->setVisible(false);
  table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  // Rows as tight as the Win32 list view's, so that a list the form sizes
  // for its rows (the statistics: ten) shows them all without scrolling.
  table->verticalHeader()->setMinimumSectionSize(table->fontMetrics().height() + 1);
  table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 1);
  table->horizontalHeader()->setHighlightSections(false);
  table->horizontalHeader()->setStretchLastSection(false);
  table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setWordWrap(false);
  table->setCornerButtonEnabled(false);
  table->setTabKeyNavigation(false);
  table->setGeometry(site.rect);
  auto listPeer = std::make_unique<QtListPeer>(site.control, table);
  listPeer->ApplyStyle(site.style, site.ctl.dwExStyle);
  return {table, std::move(listPeer)};
}

MadeControl MakeIpAddress(const ControlSite& site) {
  auto* address = new QuillonIpAddressEdit(site.parentWidget);
  address->setGeometry(site.rect);
  return {address, std::make_unique<QtIpAddressPeer>(site.control, address)};
}

MadeControl MakeControl(const ControlSite& site) {
  switch (site.ctl.kind) {
    case CtlKind::Static: return MakeStatic(site);
    case CtlKind::GroupBox: return MakeGroupBox(site);
    case CtlKind::Frame: return MakeFrame(site);
    case CtlKind::PushButton: return MakePushButton(site);
    case CtlKind::Edit: return MakeEdit(site);
    case CtlKind::DropDownList: return MakeDropDown(site);
    case CtlKind::DropDownCombo: return MakeDropDown(site);
    case CtlKind::ListView: return MakeListView(site);
    case CtlKind::IpAddress: return MakeIpAddress(site);
  }
  return {};
}

}  // namespace

std::unique_ptr<CWndPeer> CreateQtControl(CWnd& parent, CWnd& control, const CControlTemplate& ctl,
                                          QWidget* parentWidget, int dpi) {
  const unsigned long style = control.GetStyle();
  const ControlSite site{parent, control, ctl, parentWidget, PixelRect(ctl, dpi), GbkToQString(ctl.strText), style};
  MadeControl made = MakeControl(site);
  if (!made.widget) return nullptr;
  made.widget->setProperty(kCtlIdProperty, ctl.nId);
  if (style & WS_DISABLED) made.widget->setEnabled(false);
  made.widget->setVisible(style & WS_VISIBLE);
  return std::move(made.peer);
}
