// The IPv4 address control on Qt: four fields of 0 to 255 with dots between
// them in one bordered box, used as an address field is:
// - a digit replaces the field's digits from the caret on (or its
//   selection); a third digit moves on to the next field, its text selected,
//   and a digit typed into a full field with the caret at its end goes on
//   into the next field;
// - "." or space moves to the next field, except right after a third digit
//   moved there (the dot typed out of habit would skip a field);
// - Backspace at the start of a field goes back to the end of the previous
//   one;
// - a paste (keys, context menu, middle button) of a dotted address fills
//   all four fields wherever the caret is; a pasted number replaces the
//   field's selection (or goes in at the caret);
// - anything that would make a field exceed 255 or hold other than digits
//   is refused and the field stays as it was;
// - leading zeros go when the caret leaves the field ("010" shows "10"),
//   so the fields show what Field() reads.
// A field can be blank. UI thread only.
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

  // Text pasted into field nIndex (see above); false when it is refused.
  bool PasteInto(int nIndex, const QString& text);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  int IndexOf(QObject* object) const;
  // Puts the caret into field nIndex with its text selected.
  void MoveTo(int nIndex);
  // A digit typed into field nIndex.
  void TypeDigit(int nIndex, QChar digit);
  // Drops the field's leading zeros.
  void Normalise(int nIndex);
  std::array<QLineEdit*, 4> m_fields{};
  // Per field: the caret came in because a third digit filled the field
  // before, and nothing has been typed here since.
  std::array<bool, 4> m_advanced{};
};
