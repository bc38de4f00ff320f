#include "platform/terminal_text.h"

#include <cstdarg>
#include <string>

#include "platform/text.h"

bool PrintTerminal(std::FILE* stream, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string text = StrFormatV(format, args);
  va_end(args);
  return WriteTerminal(stream, text);
}
