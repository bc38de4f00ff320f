// The profile elsewhere than Windows: an INI file through QSettings.
#include "app/app_profile.h"

#include <QFile>
#include <QSettings>
#include <QString>

namespace {

const QString kRecentSection = QStringLiteral("Recent File List");

QString RecentKey(int n) { return kRecentSection + QStringLiteral("/File%1").arg(n); }

}  // namespace

void CAppProfile::Load() {
  QSettings settings(QSettings::IniFormat, QSettings::UserScope, QString::fromLatin1(m_registryKey.c_str()),
                     QString::fromLatin1(m_appName.c_str()));
  m_recent.clear();
  for (int n = 1; n <= m_nMaxRecent; ++n) {
    const QString path = settings.value(RecentKey(n)).toString();
    if (!path.isEmpty()) m_recent.push_back(QFile::encodeName(path).toStdString());
  }
}

void CAppProfile::Save() const {
  QSettings settings(QSettings::IniFormat, QSettings::UserScope, QString::fromLatin1(m_registryKey.c_str()),
                     QString::fromLatin1(m_appName.c_str()));
  for (int n = 1; n <= m_nMaxRecent; ++n) {
    const std::size_t i = static_cast<std::size_t>(n - 1);
    if (i < m_recent.size()) {
      settings.setValue(RecentKey(n), QFile::decodeName(QByteArray::fromStdString(m_recent[i])));
    } else {
      settings.remove(RecentKey(n));
    }
  }
  settings.sync();
}

std::string CAppProfile::FileName() const {
  QSettings settings(QSettings::IniFormat, QSettings::UserScope, QString::fromLatin1(m_registryKey.c_str()),
                     QString::fromLatin1(m_appName.c_str()));
  return QFile::encodeName(settings.fileName()).toStdString();
}
