#include "port_watch.h"

#include <errno.h>
#include <limits.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/path_name.h"
#include "platform/tick_count.h"

namespace {

// No two attempts closer than this, and one at least this often without a
// change in the folder.
constexpr std::uint32_t kReopenSpacingMs = 1000;
constexpr std::uint32_t kReopenQuietMs = 5000;

}  // namespace

CPortWatch::CPortWatch(const std::string& devicePath)
    : m_strFolder(PathFolder(devicePath)), m_hWatch(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)),
      m_nLastTry(GetTickCount()) {
  // Without an inotify descriptor (none left) or a folder to watch, nothing
  // fails: the attempts simply come on the short pace.
  AddWatch();
}

CPortWatch::~CPortWatch() {
  if (m_hWatch >= 0) close(m_hWatch);
}

int CPortWatch::MsUntilTry() const {
  const std::uint32_t pace = m_bChanged || !m_bWatching ? kReopenSpacingMs : kReopenQuietMs;
  const std::uint32_t since = GetTickCount() - m_nLastTry;  // unsigned: right across a wrap
  return since >= pace ? 0 : static_cast<int>(pace - since);
}

bool CPortWatch::WaitForTry(int stop, std::atomic<std::uint32_t>* wakeups) {
  for (;;) {
    pollfd fds[2] = {{stop, POLLIN, 0}, {m_bWatching && !m_bChanged ? m_hWatch : -1, POLLIN, 0}};
    const int n = poll(fds, 2, MsUntilTry());
    wakeups->fetch_add(1, std::memory_order_relaxed);
    if (n < 0 && errno != EINTR) return false;  // cannot wait: give up like a Close
    if (n > 0 && fds[0].revents != 0) return false;
    if (n > 0 && fds[1].revents != 0) NoteEvents();
    if (MsUntilTry() == 0) return true;
  }
}

void CPortWatch::Tried() {
  m_nLastTry = GetTickCount();
  m_bChanged = false;
  AddWatch();
}

void CPortWatch::TryFailed(int code) {
  if (code != EMFILE && code != ENFILE) return;
  if (m_hWatch >= 0) close(m_hWatch);
  m_hWatch = -1;
  m_bWatching = false;
}

void CPortWatch::AddWatch() {
  if (m_hWatch < 0 || m_bWatching) return;
  m_bWatching = inotify_add_watch(m_hWatch, m_strFolder.c_str(),
                                  IN_CREATE | IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF) >= 0;
}

void CPortWatch::NoteEvents() {
  alignas(inotify_event) char events[4096];
  ssize_t got;
  while ((got = read(m_hWatch, events, sizeof(events))) > 0) {
    for (ssize_t at = 0; at < got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(events + at);
      if (event->mask & (IN_DELETE_SELF | IN_IGNORED)) m_bWatching = false;
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  m_bChanged = true;
}

std::string PtyLinkState(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return std::string();
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) == nullptr || std::string(resolved).rfind("/dev/pts/", 0) != 0) {
    return std::string();
  }
  char target[PATH_MAX];
  const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
  if (n <= 0) return std::string();
  return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + " " +
         std::string(target, static_cast<std::size_t>(n));
}
