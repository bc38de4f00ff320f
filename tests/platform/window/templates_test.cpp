#include <QFontInfo>
#include <QMainWindow>

#include "window_test_support.h"

namespace {

TEST(MulDiv, RoundsHalfAwayFromZeroAndRefusesADivisionByZero) {
  EXPECT_EQ(MulDiv(7, 6, 4), 11);     // 10.5
  EXPECT_EQ(MulDiv(-7, 6, 4), -11);
  EXPECT_EQ(MulDiv(5, 12, 8), 8);     // 7.5
  EXPECT_EQ(MulDiv(3, 12, 8), 5);     // 4.5
  EXPECT_EQ(MulDiv(1, 6, 4), 2);      // 1.5
  EXPECT_EQ(MulDiv(7, 6, -4), -11);
  EXPECT_EQ(MulDiv(1, 1, 0), -1);
  EXPECT_EQ(MulDiv(2000000000, 4, 2), -1);  // does not fit
}

TEST(DialogUnits, MapWithBaseUnitsSixByTwelveScaledByTheLogicalDpi) {
  EXPECT_EQ(DialogUnitsToPixelsX(506), 759);
  EXPECT_EQ(DialogUnitsToPixelsY(300), 450);
  // The console: 384 × 206.
  EXPECT_EQ(DialogUnitsToPixelsX(384), 576);
  EXPECT_EQ(DialogUnitsToPixelsY(206), 309);
  // Each edge is mapped on its own, so a control keeps its neighbours' edges.
  CRect r = DialogUnitsToPixels(CRect{7, 5, 7 + 287, 5 + 143});
  EXPECT_EQ(r, (CRect{11, 8, 441, 222}));
  // At 144 dpi the base units are 9 × 18.
  EXPECT_EQ(DialogUnitsToPixelsX(506, 144), MulDiv(506, 9, 4));
  EXPECT_EQ(DialogUnitsToPixelsY(300, 144), 675);
  EXPECT_EQ(UiFontPixelSize(96), 12);
  EXPECT_EQ(UiFontPixelSize(192), 24);
}

using FormSize = WindowTest;

TEST_F(FormSize, TheMainFormIs759By450AndItsFrameFitsItExactly) {
  const int dpi = QtLogicalDpi();
  FramedForm<PlainForm> f;
  QWidget* form = WidgetOf(f.view);
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(form->size(), QSize(DialogUnitsToPixelsX(506, dpi), DialogUnitsToPixelsY(300, dpi)));
  EXPECT_EQ(f.view.GetTotalSize(), (CSize{DialogUnitsToPixelsX(506, dpi), DialogUnitsToPixelsY(300, dpi)}));
  if (dpi == 96) {
    EXPECT_EQ(form->size(), QSize(759, 450));
  }
  EXPECT_EQ(f.frame.GetClientSize(), f.view.GetTotalSize());
  // A control sits where its dialog units put it.
  QWidget* button = WidgetOf(*f.view.GetDlgItem(ID_BUTTON));
  EXPECT_EQ(button->geometry().topLeft(), QPoint(DialogUnitsToPixelsX(408, dpi), DialogUnitsToPixelsY(168, dpi)));
  EXPECT_EQ(button->width(), DialogUnitsToPixelsX(408 + 39, dpi) - DialogUnitsToPixelsX(408, dpi));

  // The UI font is a CJK font at 12 px at 96 dpi.
  const QFontInfo font(button->font());
  EXPECT_EQ(font.pixelSize(), UiFontPixelSize(dpi));
  EXPECT_TRUE(font.family().contains(QStringLiteral("WenQuanYi"), Qt::CaseInsensitive) ||
              font.family().contains(QStringLiteral("CJK"), Qt::CaseInsensitive))
      << font.family().toStdString() << " (install fonts-wqy-microhei)";
}

}  // namespace
