#include "platform/terminal_text.h"

bool WriteTerminal(std::FILE* stream, std::string_view utf8) {
  return utf8.empty() || std::fwrite(utf8.data(), 1, utf8.size(), stream) == utf8.size();
}
