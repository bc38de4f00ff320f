// The one way the program shows a message box with an OK button. The window
// layer installs a handler that runs the box through its modal service; the
// headless bridge prints to the terminal; tests install a recorder so that no
// test ever blocks on a box. Call on the UI thread, never while holding a lock.
#pragma once

#include <functional>
#include <string>

using MessageBoxHandler = std::function<void(const std::string& gbkText)>;

// Shows text (GBK) through the current handler. Without one the text goes to
// standard error as UTF-8.
void AfxMessageBox(const std::string& gbkText);
// The same box with a second, informative line below the text (GBK; the
// cause of a failure). The text stays as it is; the handler reads the line
// with MessageBoxCause while it runs. Without a handler both go to standard
// error on one line.
void AfxMessageBox(const std::string& gbkText, const std::string& gbkCause);
// The informative line of the box being shown; empty outside a box or for a
// box without one.
std::string MessageBoxCause();

// Installs a handler and returns the previous one (empty for the default).
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
