// PRIVATE to user_language.cpp: the system's own answer when no locale
// variable is set (each system's file).
#pragma once

bool SystemLanguageIsChinese();
