#include "platform/message_box.h"

#include <mutex>

#include "platform/terminal_text.h"
#include "platform/text.h"

namespace {

std::mutex g_handlerLock;
MessageBoxHandler g_handler;
std::string g_cause;  // under g_handlerLock

}  // namespace

void AfxMessageBox(const std::string& gbkText) {
  MessageBoxHandler handler;
  {
    std::lock_guard<std::mutex> guard(g_handlerLock);
    handler = g_handler;
  }
  // The handler runs without the lock: it may run a modal loop.
  if (handler) {
    handler(gbkText);
    return;
  }
  WriteTerminal(stderr, GbkToUtf8(gbkText) + "\n");
}

void AfxMessageBox(const std::string& gbkText, const std::string& gbkCause) {
  std::string previous;
  bool handled;
  {
    std::lock_guard<std::mutex> guard(g_handlerLock);
    previous = g_cause;
    g_cause = gbkCause;
    handled = static_cast<bool>(g_handler);
  }
  if (!gbkCause.empty() && !handled) {
    WriteTerminal(stderr, GbkToUtf8(gbkText + "  " + gbkCause) + "\n");
  } else {
    AfxMessageBox(gbkText);
  }
  // A box opened from inside this one's modal loop gets its own line and
  // this one's comes back.
  std::lock_guard<std::mutex> guard(g_handlerLock);
  g_cause = previous;
}

std::string MessageBoxCause() {
  std::lock_guard<std::mutex> guard(g_handlerLock);
  return g_cause;
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  std::lock_guard<std::mutex> guard(g_handlerLock);
  MessageBoxHandler previous = std::move(g_handler);
  g_handler = std::move(handler);
  return previous;
}
