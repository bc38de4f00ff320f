// The one crossing between the program's GBK byte strings and QString. Every
// text that goes into or comes out of a widget passes through here, so that
// captions read back from the widgets compare byte for byte with the
// program's own texts. Any thread.
#pragma once

#include <QString>
#include <string>

// Bytes that are not GBK become U+FFFD's stand-in '?', never a lost text.
QString GbkToQString(const std::string& gbk);
// Characters that GBK lacks become '?'.
std::string QStringToGbk(const QString& text);
