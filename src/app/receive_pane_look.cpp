#include "app/receive_pane_look.h"

#include <QFont>
#include <QPlainTextEdit>
#include <QTextOption>

#include "platform/window/qt/qt_access.h"

// The receive pane holds one line of up to 30000 bytes, printable ASCII and
// full stops, mostly without spaces, and it is laid out again on every
// refresh. Searching that line for word boundaries cost more than all the
// rest of the program at 460800 baud; it wraps at the pane's edge instead.
// ASCII needs no shaping (no ligatures, no kerning), which halves the rest.
void PrepareReceivePane(CWnd& wnd) {
  auto* pane = WidgetAs<QPlainTextEdit>(wnd);
  if (pane == nullptr) return;
  pane->setWordWrapMode(QTextOption::WrapAnywhere);
  QFont font = pane->font();
  font.setStyleStrategy(QFont::PreferNoShaping);
  font.setKerning(false);
  pane->setFont(font);
}

