#include "platform/message_box.h"

#include <cstdio>
#include <mutex>

#include "platform/text.h"

namespace {

std::mutex g_handlerLock;
MessageBoxHandler g_handler;

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
  std::string utf8 = GbkToUtf8(gbkText);
  std::fprintf(stderr, "%s\n", utf8.c_str());
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  std::lock_guard<std::mutex> guard(g_handlerLock);
  MessageBoxHandler previous = std::move(g_handler);
  g_handler = std::move(handler);
  return previous;
}
