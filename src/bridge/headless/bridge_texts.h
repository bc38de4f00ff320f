// The headless bridge's words in one language at a time: English in an
// English or C locale, Chinese under zh_* from the gettext catalogue
// "quillon-bridge" (installed with the package; in a build tree the catalogue
// beside the executable is used). On Windows the same catalogue is compiled
// into the program and read without gettext; the language is the one
// LC_ALL, LC_MESSAGES or LANG names, else the user's display language. The
// window keeps its own Chinese texts.
//
// Main thread, except Tr and the Describe functions, which any thread may call
// once InitBridgeTexts has run. Nothing here blocks.
#pragma once

#include <string>

#include "bridge/udp_port.h"
#include "device/serial_port.h"

// Takes the user's locale and binds the catalogue. First thing in main.
void InitBridgeTexts(const char* argv0);

// The translation of an English message (printf formats keep their
// conversions), in the locale's character set (UTF-8 on Windows).
const char* Tr(const char* english);

// Whether messages come out in Chinese, so that the core's own Chinese texts
// (GBK) are shown as they are.
bool ChineseMessages();

// A GBK text from the core in the terminal's encoding.
std::string FromGbk(const std::string& gbk);

// Why the serial port did not open, one line without the program's name.
std::string DescribeOpenFailure(const SerialOpenError& error);
// Why the local port could not be bound; gbkMessage is the window's message.
std::string DescribeBindFailure(const CUdpPort& udp, unsigned port, const std::string& gbkMessage);
// Why sends fail, in a few words (code: the system's error number).
std::string DescribeSendFailure(int code);
