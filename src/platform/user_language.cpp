#include "platform/user_language.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "platform/system_language.h"

namespace {

// The first of the variables that is set and not empty, or null.
const char* LocaleFromEnvironment() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return nullptr;
}

}  // namespace

bool UserLanguageIsChinese() {
  if (const char* locale = LocaleFromEnvironment()) return std::strncmp(locale, "zh", 2) == 0;
  return SystemLanguageIsChinese();
}
