#include "platform/terminal_text.h"

#include <io.h>
#include <windows.h>

#include <string>

#include "platform/win32/wide_text.h"

namespace {

// The console behind stream, or null when it goes to a pipe or a file.
HANDLE ConsoleOf(std::FILE* stream) {
  const int fd = _fileno(stream);
  if (fd < 0) return nullptr;
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  DWORD mode = 0;
  if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) return nullptr;
  return handle;
}

}  // namespace

bool WriteTerminal(std::FILE* stream, std::string_view utf8) {
  if (utf8.empty()) return true;
  const HANDLE console = ConsoleOf(stream);
  if (console == nullptr) return std::fwrite(utf8.data(), 1, utf8.size(), stream) == utf8.size();
  // What the stream holds goes first, so lines keep their order.
  std::fflush(stream);
  const std::wstring wide = WideFromUtf8(utf8);
  std::size_t done = 0;
  while (done < wide.size()) {
    DWORD wrote = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, 8192));
    if (!WriteConsoleW(console, wide.data() + done, chunk, &wrote, nullptr) || wrote == 0) return false;
    done += wrote;
  }
  return true;
}
