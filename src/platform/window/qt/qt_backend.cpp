#include "platform/window/qt/qt_backend.h"

#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>
#include <QStringList>
#include <QTranslator>

#include "platform/message_box.h"
#include "platform/window/app.h"
#include "platform/window/backend.h"
#include "platform/window/qt/qt_modal.h"
#include "platform/window/templates.h"

namespace {

QString& ChosenFamily() {
  static QString family;
  return family;
}

// Without a CJK font every Chinese character is drawn as a box; the setup
// installs WenQuanYi, and the others are taken when a machine has them.
QString PickCjkFamily() {
  const QStringList wanted = {QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("WenQuanYi Zen Hei"),
                              QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans SC"),
                              QStringLiteral("Droid Sans Fallback")};
  const QStringList families = QFontDatabase::families();
  for (const QString& name : wanted) {
    if (families.contains(name, Qt::CaseInsensitive)) return name;
  }
  return wanted.front();
}

// Qt's own dialogs and buttons (file, print, message boxes) in Chinese,
// whatever the user's locale: every other text of the window is Chinese.
// Debian ships the catalogue in qt6-translations-l10n; without it they stay
// English.
void LoadQtChineseTranslation() {
  static bool loaded = false;
  if (loaded || !qApp) return;
  auto* translator = new QTranslator(qApp);
  if (translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qt"), QStringLiteral("_"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
      QCoreApplication::installTranslator(translator)) {
    loaded = true;
    // Gone with the application object: a later one loads it afresh.
    QObject::connect(qApp, &QObject::destroyed, [] { loaded = false; });
    return;
  }
  delete translator;
}

}  // namespace

int QtLogicalDpi() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return 96;
  int dpi = qRound(screen->logicalDotsPerInch());
  return dpi > 0 ? dpi : 96;
}

void InstallQtWindowBackend() {
  if (GetWindowBackend() == &QtWindowBackend()) return;
  LoadQtChineseTranslation();
  ChosenFamily() = PickCjkFamily();
  QFont font(ChosenFamily());
  font.setPixelSize(UiFontPixelSize(QtLogicalDpi()));
  font.setStyleHint(QFont::SansSerif);
  QApplication::setFont(font);
  // Closing a window does not end the program by itself; the main frame's
  // destruction does, after its shutdown order has run.
  QApplication::setQuitOnLastWindowClosed(false);
  SetWindowBackend(&QtWindowBackend());
  SetMessageBoxHandler(ShowQtMessageBox);
}

QApplication& EnsureQtApplication() {
  if (!qApp) {
    static int argc = 1;
    static char name[] = "quillon";
    static char* argv[] = {name, nullptr};
    // Lives until the process ends: widgets of every test use it.
    new QApplication(argc, argv);
  }
  InstallQtWindowBackend();
  return *qApp;
}

int QtWinMain(int argc, char** argv) {
  QApplication application(argc, argv);
  InstallQtWindowBackend();
  int code = AfxWinMain(argc, argv);
  SetMessageBoxHandler(MessageBoxHandler());
  SetWindowBackend(nullptr);
  return code;
}

QString UiFontFamily() { return ChosenFamily(); }
