#include "platform/window/qt/qt_text.h"

#include "platform/text.h"

// Through the platform layer's iconv conversion rather than Qt's codecs: the
// same tables serve the headless bridge, and Qt's own GBK support depends on
// how Qt was built.
QString GbkToQString(const std::string& gbk) {
  if (gbk.empty()) return QString();
  const std::string utf8 = GbkToUtf8(gbk);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string QStringToGbk(const QString& text) {
  if (text.isEmpty()) return std::string();
  const QByteArray utf8 = text.toUtf8();
  return Utf8ToGbk(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}
