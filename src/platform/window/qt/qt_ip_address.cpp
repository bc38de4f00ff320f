#include "platform/window/qt/qt_ip_address.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QStringList>
#include <QValidator>

namespace {

// Up to three digits worth at most 255; anything else is refused as typed,
// so a field never holds a number the address cannot carry.
class ByteValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int&) const override {
    if (input.isEmpty()) return Intermediate;
    if (input.size() > 3) return Invalid;
    for (QChar c : input) {
      if (!c.isDigit() || c.unicode() > '9') return Invalid;
    }
    return input.toInt() <= 255 ? Acceptable : Invalid;
  }
};

bool IsByteText(const QString& text) {
  int position = 0;
  QString copy = text;
  return ByteValidator().validate(copy, position) == QValidator::Acceptable;
}

// One field. The paste paths that do not pass a key through the control's
// filter (the context menu, the middle button) go to the control too, and
// nothing is dropped into a field.
class AddressField : public QLineEdit {
 public:
  AddressField(QuillonIpAddressEdit* control, int nIndex) : QLineEdit(control), m_control(control), m_nIndex(nIndex) {
    setAcceptDrops(false);
  }

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override {
    QMenu* menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // The standard menu's paste, known by its shortcut (older Qt names no
    // action): it goes the control's way instead of the edit's.
    const QString shortcut = QLatin1Char('\t') + QKeySequence(QKeySequence::Paste).toString(QKeySequence::NativeText);
    for (QAction* paste : menu->actions()) {
      if (paste->objectName() != QStringLiteral("edit-paste") && !paste->text().endsWith(shortcut)) continue;
      paste->disconnect();
      connect(paste, &QAction::triggered, this,
              [this] { m_control->PasteInto(m_nIndex, QGuiApplication::clipboard()->text()); });
    }
    menu->popup(event->globalPos());
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (event->button() == Qt::MiddleButton && clipboard->supportsSelection()) {
      m_control->PasteInto(m_nIndex, clipboard->text(QClipboard::Selection));
      event->accept();
      return;
    }
    QLineEdit::mouseReleaseEvent(event);
  }

 private:
  QuillonIpAddressEdit* m_control;
  int m_nIndex;
};

}  // namespace

QuillonIpAddressEdit::QuillonIpAddressEdit(QWidget* parent) : QFrame(parent) {
  setFrameShape(QFrame::StyledPanel);
  setFrameShadow(QFrame::Sunken);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Base);
  setFocusPolicy(Qt::NoFocus);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(2, 0, 2, 0);
  layout->setSpacing(0);
  for (std::size_t i = 0; i < m_fields.size(); ++i) {
    auto* field = new AddressField(this, static_cast<int>(i));
    field->setFrame(false);
    field->setAlignment(Qt::AlignCenter);
    field->setMaxLength(3);
    field->setValidator(new ByteValidator(field));
    field->installEventFilter(this);
    layout->addWidget(field, 1);
    m_fields[i] = field;
    if (i + 1 < m_fields.size()) {
      auto* dot = new QLabel(QStringLiteral("."), this);
      dot->setAlignment(Qt::AlignCenter);
      layout->addWidget(dot);
    }
  }
  setFocusProxy(m_fields[0]);
}

int QuillonIpAddressEdit::IndexOf(QObject* object) const {
  for (std::size_t i = 0; i < m_fields.size(); ++i) {
    if (m_fields[i] == object) return static_cast<int>(i);
  }
  return -1;
}

void QuillonIpAddressEdit::MoveTo(int nIndex) {
  QLineEdit* field = m_fields[static_cast<std::size_t>(nIndex)];
  field->setFocus(Qt::TabFocusReason);
  field->selectAll();
}

int QuillonIpAddressEdit::Field(int nIndex) const {
  if (nIndex < 0 || nIndex > 3) return -1;
  const QString text = m_fields[static_cast<std::size_t>(nIndex)]->text().trimmed();
  if (text.isEmpty()) return -1;
  bool ok = false;
  int value = text.toInt(&ok);
  if (!ok) return -1;
  return value < 0 ? 0 : (value > 255 ? 255 : value);
}

void QuillonIpAddressEdit::SetField(int nIndex, int nValue) {
  if (nIndex < 0 || nIndex > 3) return;
  QLineEdit* field = m_fields[static_cast<std::size_t>(nIndex)];
  if (nValue < 0) {
    field->clear();
  } else {
    field->setText(QString::number(nValue > 255 ? 255 : nValue));
  }
}

QString QuillonIpAddressEdit::Text() const {
  QStringList parts;
  for (int i = 0; i < 4; ++i) {
    int value = Field(i);
    parts << (value < 0 ? QString() : QString::number(value));
  }
  return parts.join(QLatin1Char('.'));
}

void QuillonIpAddressEdit::SetText(const QString& text) {
  const QStringList parts = text.split(QLatin1Char('.'));
  for (int i = 0; i < 4; ++i) {
    int value = -1;
    if (i < parts.size()) {
      bool ok = false;
      int parsed = parts[i].trimmed().toInt(&ok);
      if (ok && parsed >= 0 && parsed <= 255) value = parsed;
    }
    SetField(i, value);
  }
}

void QuillonIpAddressEdit::Normalise(int nIndex) {
  const int value = Field(nIndex);
  QLineEdit* field = m_fields[static_cast<std::size_t>(nIndex)];
  if (value >= 0 && field->text() != QString::number(value)) field->setText(QString::number(value));
}

void QuillonIpAddressEdit::TypeDigit(int nIndex, QChar digit) {
  const auto at = static_cast<std::size_t>(nIndex);
  QLineEdit* field = m_fields[at];
  const QString text = field->text();
  m_advanced[at] = false;
  if (!field->hasSelectedText() && field->cursorPosition() >= text.size() && text.size() >= 3) {
    // A full field with the caret at its end: the digit starts the next one.
    if (nIndex < 3) {
      MoveTo(nIndex + 1);
      TypeDigit(nIndex + 1, digit);
    }
    return;
  }
  // The selection, or everything from the caret on, is what the digit replaces.
  const int from = field->hasSelectedText() ? static_cast<int>(field->selectionStart()) : field->cursorPosition();
  const int to = field->hasSelectedText() ? from + static_cast<int>(field->selectedText().size())
                                          : static_cast<int>(text.size());
  const QString typed = text.left(from) + digit + text.mid(to);
  if (!IsByteText(typed)) {
    QApplication::beep();
    return;
  }
  field->setText(typed);
  field->setCursorPosition(from + 1);
  if (typed.size() == 3 && from + 1 == 3 && nIndex < 3) {
    Normalise(nIndex);
    MoveTo(nIndex + 1);
    m_advanced[at + 1] = true;
  }
}

bool QuillonIpAddressEdit::PasteInto(int nIndex, const QString& pasted) {
  if (nIndex < 0 || nIndex > 3) return false;
  const QString text = pasted.trimmed();
  if (text.contains(QLatin1Char('.'))) {
    // A whole address, wherever the caret is: all four fields or none.
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4) return false;
    for (const QString& part : parts) {
      if (!IsByteText(part)) return false;
    }
    for (int i = 0; i < 4; ++i) SetField(i, parts[i].toInt());
    QLineEdit* last = m_fields[3];
    last->setFocus(Qt::OtherFocusReason);
    last->end(false);
    m_advanced.fill(false);
    return true;
  }
  const auto at = static_cast<std::size_t>(nIndex);
  QLineEdit* field = m_fields[at];
  const QString current = field->text();
  const int from = field->hasSelectedText() ? static_cast<int>(field->selectionStart()) : field->cursorPosition();
  const int to = field->hasSelectedText() ? from + static_cast<int>(field->selectedText().size()) : from;
  const QString result = current.left(from) + text + current.mid(to);
  if (text.isEmpty() || !IsByteText(result)) {
    QApplication::beep();
    return false;
  }
  field->setText(result);
  field->setCursorPosition(from + static_cast<int>(text.size()));
  m_advanced[at] = false;
  return true;
}

bool QuillonIpAddressEdit::eventFilter(QObject* watched, QEvent* event) {
  const int index = IndexOf(watched);
  if (index < 0) return QFrame::eventFilter(watched, event);
  const auto at = static_cast<std::size_t>(index);
  if (event->type() == QEvent::FocusOut) {
    // However the caret comes back, a dot then moves on.
    m_advanced[at] = false;
    Normalise(index);
    return QFrame::eventFilter(watched, event);
  }
  if (event->type() != QEvent::KeyPress) return QFrame::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  QLineEdit* field = m_fields[at];
  if (key->matches(QKeySequence::Paste)) {
    PasteInto(index, QGuiApplication::clipboard()->text());
    return true;
  }
  const QString typed = key->text();
  if (typed.size() == 1 && typed[0] >= QLatin1Char('0') && typed[0] <= QLatin1Char('9') &&
      !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
    TypeDigit(index, typed[0]);
    return true;
  }
  if (key->key() == Qt::Key_Period || key->key() == Qt::Key_Space || typed == QStringLiteral(".") ||
      typed == QStringLiteral(" ")) {
    // Right after a third digit moved here it is the dot the user types out
    // of habit: moving on again would skip a field.
    if (m_advanced[at]) {
      m_advanced[at] = false;
    } else if (index < 3) {
      MoveTo(index + 1);
    }
    return true;
  }
  m_advanced[at] = false;
  if (key->key() == Qt::Key_Backspace && index > 0 && field->cursorPosition() == 0 && !field->hasSelectedText()) {
    QLineEdit* previous = m_fields[at - 1];
    previous->setFocus(Qt::BacktabFocusReason);
    previous->end(false);
    return true;
  }
  return QFrame::eventFilter(watched, event);
}
