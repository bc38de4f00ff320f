// The one modal service: every modal loop of the program — dialogs, message
// boxes, file and print dialogs — runs through RunModalDialog. Tests install
// a hook that receives each dialog instead of a blocking loop; the hook may
// answer it (done/accept/reject), drive it (clicks, keys, waiting for
// timers) or leave it, in which case the dialog is asked to close as by its
// close box. UI thread only; never call it while holding a lock.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

// Receives the dialog, already shown and modal, and runs in its place.
using ModalHook = std::function<void(QDialog& dialog)>;

// Installs a hook (empty: real modal loops) and returns the previous one.
ModalHook SetModalHook(ModalHook hook);

// Runs dialog modally (or through the hook) and returns its result code.
int RunModalDialog(QDialog& dialog);

// The message box handler that the Qt backend installs for AfxMessageBox: a
// warning box with an OK button, titled with the application's name, owned
// by the active window, run through RunModalDialog.
void ShowQtMessageBox(const std::string& gbkText);

// Installs a hook for the lifetime of the object (tests).
class CScopedModalHook {
 public:
  explicit CScopedModalHook(ModalHook hook) : m_previous(SetModalHook(std::move(hook))) {}
  ~CScopedModalHook() { SetModalHook(std::move(m_previous)); }
  CScopedModalHook(const CScopedModalHook&) = delete;
  CScopedModalHook& operator=(const CScopedModalHook&) = delete;

 private:
  ModalHook m_previous;
};
