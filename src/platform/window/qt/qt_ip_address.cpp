#include "platform/window/qt/qt_ip_address.h"

#include <QFocusEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
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
    auto* field = new QLineEdit(this);
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
    connect(field, &QLineEdit::textEdited, this, [this, i](const QString& text) {
      m_typed[i] = !text.isEmpty();
      // Three digits fill a field: on to the next one, as the classic control does.
      if (text.size() == 3 && i + 1 < m_fields.size()) MoveTo(static_cast<int>(i) + 1);
    });
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
  m_typed[static_cast<std::size_t>(nIndex)] = false;
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

bool QuillonIpAddressEdit::eventFilter(QObject* watched, QEvent* event) {
  const int index = IndexOf(watched);
  if (index < 0) return QFrame::eventFilter(watched, event);
  const auto at = static_cast<std::size_t>(index);
  if (event->type() == QEvent::FocusIn) {
    // The caret came in by a click or Tab: what the field holds was not typed
    // in this visit. (A window coming back to the front changes nothing.)
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) m_typed[at] = false;
    return QFrame::eventFilter(watched, event);
  }
  if (event->type() != QEvent::KeyPress) return QFrame::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  QLineEdit* field = m_fields[at];
  if (key->key() == Qt::Key_Period || key->text() == QStringLiteral(".")) {
    // Only after digits typed here; right after a move it is the dot the user
    // types out of habit, and moving on would skip a field.
    if (index < 3 && m_typed[at] && !field->text().isEmpty()) MoveTo(index + 1);
    return true;
  }
  if (key->key() == Qt::Key_Backspace && index > 0 && field->cursorPosition() == 0 && !field->hasSelectedText()) {
    QLineEdit* previous = m_fields[at - 1];
    previous->setFocus(Qt::TabFocusReason);
    previous->end(false);
    return true;
  }
  return QFrame::eventFilter(watched, event);
}
