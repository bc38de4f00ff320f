#include "platform/window/qt/qt_modal.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>

#include "platform/message_box.h"
#include "platform/window/app.h"
#include "platform/window/qt/qt_access.h"
#include "platform/window/qt/qt_text.h"

namespace {

ModalHook& Hook() {
  static ModalHook hook;
  return hook;
}

}  // namespace

ModalHook SetModalHook(ModalHook hook) {
  ModalHook previous = std::move(Hook());
  Hook() = std::move(hook);
  return previous;
}

int RunModalDialog(QDialog& dialog) {
  // A copy: the hook may install another one while it runs.
  ModalHook hook = Hook();
  if (!hook) return dialog.exec();
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.show();
  dialog.activateWindow();
  QPointer<QDialog> alive(&dialog);
  hook(dialog);
  // A dialog that the hook left open is asked to close, as by its close box,
  // so that the program's own close handling runs.
  if (alive && dialog.isVisible()) dialog.close();
  if (alive && dialog.isVisible()) dialog.done(QDialog::Rejected);
  return alive ? dialog.result() : QDialog::Rejected;
}

void ShowQtMessageBox(const std::string& gbkText) {
  QString title;
  if (CWinApp* app = AfxGetApp()) title = GbkToQString(app->m_strAppName);
  if (title.isEmpty()) title = QCoreApplication::applicationName();
  QWidget* owner = QApplication::activeModalWidget();
  if (!owner) owner = QApplication::activeWindow();
  if (!owner) {
    if (CWnd* main = AfxGetMainWnd()) owner = WidgetOf(*main);
  }
  QMessageBox box(QMessageBox::Warning, title, GbkToQString(gbkText), QMessageBox::Ok, owner);
  box.setTextFormat(Qt::PlainText);
  const std::string cause = MessageBoxCause();
  if (!cause.empty()) box.setInformativeText(GbkToQString(cause));
  RunModalDialog(box);
}
