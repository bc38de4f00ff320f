// The IPv4 address control on Qt: four fields of 0 to 255 with dots between
// them in one bordered box. Typing a third digit or a dot moves to the next
// field; Backspace in an empty field goes back to the previous one. A field
// can be blank. UI thread only.
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
  std::array<QLineEdit*, 4> m_fields{};
};
