#include "platform/window/file_dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QStringList>

#include "platform/window/app.h"
#include "platform/window/qt/qt_access.h"
#include "platform/window/qt/qt_modal.h"
#include "platform/window/qt/qt_text.h"

bool PromptFileName(CWnd* pOwner, bool bOpen, const std::string& gbkSuggestedName, std::string& path) {
  QWidget* owner = pOwner != nullptr ? WidgetOf(*pOwner) : nullptr;
  if (owner == nullptr) {
    if (CWnd* main = AfxGetMainWnd()) owner = WidgetOf(*main);
  }
  if (owner != nullptr) owner = owner->window();

  // The framework's titles for these two dialogs: "打开" (open), "另存为" (save as).
  QFileDialog dialog(owner, GbkToQString(bOpen ? "打开" : "另存为"), QDir::currentPath());
  // Qt's own dialog: the same on every desktop, and a plain QDialog that the
  // modal service can hand to a test.
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setAcceptMode(bOpen ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  dialog.setFileMode(bOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog.setNameFilter(GbkToQString("所有文件 (*)"));
  if (!bOpen && !gbkSuggestedName.empty()) dialog.selectFile(GbkToQString(gbkSuggestedName));

  if (RunModalDialog(dialog) != QDialog::Accepted) return false;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty() || chosen.front().isEmpty()) return false;
  path = QFile::encodeName(chosen.front()).toStdString();
  return true;
}
