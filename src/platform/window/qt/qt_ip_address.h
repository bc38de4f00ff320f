// The IPv4 address control on Qt: four fields of 0 to 255 with dots between
// them in one bordered box, typed as the system's control is: a third digit
// moves on to the next field (its text selected, so typing replaces it); a
// dot moves on only when the field holds digits typed there since the caret
// came in, so the dot after three digits is swallowed rather than skipping a
// field; Backspace at the start of a field goes back to the previous one; a
// digit that would make the field exceed 255 is refused. A field can be
// blank. UI thread only.
#pragma once

#include <QFrame>
#include <QLineEdit>
#include <array>

class QuillonIpAddressEdit : public QFrame {
 public:
  explicit QuillonIpAddressEdit(QWidget* parent = nullptr);

  // -1 for a blank field.
  int Field(int nIndex) const;
  void SetField(int nIndex, int nValue);
  // "a.b.c.d"; blank fields are empty between the dots.
  QString Text() const;
  // Accepts "a.b.c.d" with blank fields; anything unreadable blanks the field.
  void SetText(const QString& text);
  QLineEdit* FieldEdit(int nIndex) const { return m_fields[static_cast<std::size_t>(nIndex)]; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  int IndexOf(QObject* object) const;
  // Puts the caret into field nIndex with its text selected.
  void MoveTo(int nIndex);
  std::array<QLineEdit*, 4> m_fields{};
  // Per field: digits were typed there since the caret last came in.
  std::array<bool, 4> m_typed{};
};
