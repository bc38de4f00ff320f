#include "platform/system_language.h"

#include <windows.h>

bool SystemLanguageIsChinese() { return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_CHINESE; }
