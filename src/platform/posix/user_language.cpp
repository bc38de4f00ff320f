#include "platform/system_language.h"

// Without LC_ALL, LC_MESSAGES or LANG a POSIX program runs in the C locale.
bool SystemLanguageIsChinese() { return false; }
