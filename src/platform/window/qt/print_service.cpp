#include "platform/window/print_service.h"

#include <algorithm>

#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QWidget>

#include "platform/window/qt/qt_access.h"
#include "platform/window/qt/qt_modal.h"
#include "platform/window/qt/qt_text.h"

int PrintWindowWithDialog(const CWnd& wnd, const std::string& gbkDocumentName) {
  QWidget* widget = WidgetOf(wnd);
  if (widget == nullptr) return 0;

  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(GbkToQString(gbkDocumentName));
  QPrintDialog dialog(&printer, widget->window());
  // One page, the window as it is: page ranges and copies of pages do not apply.
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
  dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
  dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
  if (RunModalDialog(dialog) != QDialog::Accepted) return 0;

  // Widgets reach a printer as a picture of themselves; 300 dpi keeps their
  // text sharp without a page of many megabytes.
  printer.setResolution(300);
  QPainter painter;
  if (!painter.begin(&printer)) return 0;
  // The widget as large as the printable area allows, keeping its shape.
  const QSize size = widget->size();
  if (size.isEmpty()) {
    painter.end();
    return 0;
  }
  const double scale = std::min(static_cast<double>(printer.width()) / size.width(),
                                static_cast<double>(printer.height()) / size.height());
  painter.scale(scale, scale);
  widget->render(&painter, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
  return painter.end() ? 1 : 0;
}
