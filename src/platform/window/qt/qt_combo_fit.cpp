#include "platform/window/qt/qt_combo_fit.h"

#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOptionComboBox>
#include <algorithm>

namespace {

// The arrow of the Win32 combo box is a slim button at the right edge; the
// text takes the rest less a one-pixel frame.
class SlimArrowComboStyle : public QProxyStyle {
 public:
  explicit SlimArrowComboStyle(QStyle* base) : QProxyStyle(base) {}

  static int ArrowWidth(const QWidget* widget) {
    const int dpi = widget != nullptr ? widget->logicalDpiX() : 96;
    return std::max(7, (9 * dpi + 48) / 96);
  }

  QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                       const QWidget* widget) const override {
    const auto* combo = qstyleoption_cast<const QStyleOptionComboBox*>(option);
    if (control != CC_ComboBox || combo == nullptr || combo->editable) {
      return QProxyStyle::subControlRect(control, option, sub, widget);
    }
    const QRect r = option->rect;
    const int arrow = ArrowWidth(widget);
    switch (sub) {
      case SC_ComboBoxArrow:
        return visualRect(option->direction, r, QRect(r.right() - arrow, r.top() + 1, arrow, r.height() - 2));
      case SC_ComboBoxEditField:
        return visualRect(option->direction, r, QRect(r.left() + 1, r.top() + 1, r.width() - arrow - 2, r.height() - 2));
      default:
        return QProxyStyle::subControlRect(control, option, sub, widget);
    }
  }
};

QStyle* SlimArrowStyle() {
  static QPointer<QStyle> style;
  if (!style) {
    QStyle* base = QStyleFactory::create(QApplication::style()->name());
    style = new SlimArrowComboStyle(base);
    // Goes with the application object.
    style->setParent(qApp);
  }
  return style;
}

// The room the box gives the current item's text (the label is drawn one
// pixel in from each side of the edit field).
int TextRoom(const QComboBox& combo) {
  QStyleOptionComboBox option;
  option.initFrom(&combo);
  option.editable = false;
  const QRect field = combo.style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, &combo);
  return field.width() - 2;
}

int WidestItem(const QComboBox& combo, const QFont& font) {
  const QFontMetrics metrics(font);
  int widest = 0;
  for (int i = 0; i < combo.count(); ++i) {
    const QString text = combo.itemText(i);
    widest = std::max({widest, metrics.horizontalAdvance(text), metrics.boundingRect(text).width()});
  }
  return widest;
}

}  // namespace

void FitDropDownList(QComboBox& combo) {
  if (combo.isEditable()) return;
  combo.setStyle(SlimArrowStyle());
  const int room = TextRoom(combo);
  QFont font = combo.font();
  if (font.pixelSize() <= 0) return;
  // No smaller than three quarters of the UI font: legible still.
  const int smallest = std::max(8, font.pixelSize() * 3 / 4);
  while (font.pixelSize() > smallest && WidestItem(combo, font) > room) font.setPixelSize(font.pixelSize() - 1);
  if (font != combo.font()) combo.setFont(font);
}
