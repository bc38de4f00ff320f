// The catalogue compiled into the program (the build turns po/zh_CN.po into
// a .mo file and that into bytes), read without gettext.
#include "bridge/headless/bridge_texts.h"

#include <cstddef>
#include <cstdint>

#include "bridge/headless/mo_catalogue.h"
#include "platform/user_language.h"

// The build's bytes of the Chinese catalogue.
extern const std::uint8_t kBridgeCatalogueZhCn[];
extern const std::size_t kBridgeCatalogueZhCnSize;

namespace {

CMoCatalogue g_catalogue;  // empty for English; written once, before any thread

}  // namespace

void InitBridgeTexts(const char* argv0) {
  if (UserLanguageIsChinese()) g_catalogue.Load(kBridgeCatalogueZhCn, kBridgeCatalogueZhCnSize);
}

const char* Tr(const char* english) {
  const char* translated = g_catalogue.Find(english);
  return translated != nullptr ? translated : english;
}
