#include "app/app_profile.h"

#include <QFile>
#include <QSettings>
#include <QString>
#include <algorithm>

namespace {

const QString kRecentSection = QStringLiteral("Recent File List");

QString RecentKey(int n) { return kRecentSection + QStringLiteral("/File%1").arg(n); }

}  // namespace

CAppProfile::CAppProfile(const std::string& registryKey, const std::string& appName, int nMaxRecent)
    : m_registryKey(registryKey), m_appName(appName), m_nMaxRecent(nMaxRecent) {}

void CAppProfile::Load() {
  QSettings settings(QSettings::IniFormat, QSettings::UserScope, QString::fromLatin1(m_registryKey.c_str()),
                     QString::fromLatin1(m_appName.c_str()));
  m_recent.clear();
  for (int n = 1; n <= m_nMaxRecent; ++n) {
    const QString path = settings.value(RecentKey(n)).toString();
    if (!path.isEmpty()) m_recent.push_back(QFile::encodeName(path).toStdString());
  }
}

void CAppProfile::AddToRecentFileList(const std::string& path) {
  if (path.empty() || m_nMaxRecent <= 0) return;
  m_recent.erase(std::remove(m_recent.begin(), m_recent.end(), path), m_recent.end());
  m_recent.insert(m_recent.begin(), path);
  if (static_cast<int>(m_recent.size()) > m_nMaxRecent) m_recent.resize(static_cast<std::size_t>(m_nMaxRecent));
  Save();
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
