// Which language the user reads, for a program that speaks English or
// Chinese: the locale that LC_ALL, LC_MESSAGES or LANG names (the first
// that is set, as gettext reads them); on Windows, when none is set, the
// user's display language.
//
// Any thread; nothing blocks.
#pragma once

bool UserLanguageIsChinese();
