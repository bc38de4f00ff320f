// The Qt widgets behind the window layer's objects, for the code that must
// reach Qt directly: tests (clicks and keys through QtTest) and the
// application shell's Qt-only services (printing the form, file dialogs).
// UI thread only.
#pragma once

#include <QWidget>

class CWnd;

// The widget of a window or control, or nullptr while it has no window.
// Dialogs are QDialogs, frames QMainWindows, buttons QPushButtons, edits
// QLineEdits (single line) or QPlainTextEdits (multi-line), combo boxes
// QComboBoxes, list views QTableWidgets.
QWidget* WidgetOf(const CWnd& wnd);

template <class W>
W* WidgetAs(const CWnd& wnd) {
  return qobject_cast<W*>(WidgetOf(wnd));
}
