#include "bridge/command_history.h"

#include <utility>
#include <vector>

#include "platform/config_dir.h"
#include "platform/profile.h"
#include "platform/text.h"

namespace {

const char kSection[] = "串口命令";

std::string SlotKey(int n) { return StrFormat("Command%d", n); }

}  // namespace

std::string CommandHistoryPath() {
  // No configuration folder: no history file (an empty path reads as
  // missing and is never written).
  const std::string folder = ConfigDir();
  return folder.empty() ? folder : folder + "/CMDConfigure.ini";
}

int LoadCommandHistory(CCommandSlots& history, const std::string& path) {
  for (int n = 0; n < COMMAND_HISTORY_SLOTS; ++n) {
    std::string value = GetPrivateProfileString(kSection, SlotKey(n), "", COMMAND_READ_BUFFER, path);
    if (value.empty()) return 0;
    history[static_cast<size_t>(n)] = std::move(value);
  }
  return 1;
}

int RememberCommandInHistory(const std::string& text, const std::string& path) {
  const std::string stored = text.substr(0, text.find_first_of("\r\n"));
  const std::string asRead = ProfileValueAsRead(stored, COMMAND_READ_BUFFER);
  if (asRead.empty()) return 1;

  CCommandSlots slots;
  LoadCommandHistory(slots, path);
  if (slots[0] == asRead) return 1;

  int found = -1;
  for (int i = 0; i < COMMAND_HISTORY_SLOTS && found < 0; ++i) {
    if (slots[static_cast<size_t>(i)] == asRead) found = i;
  }
  // Found: the slots in front of it move down one place and it is gone from
  // its own; not found: everything moves down and slot 9 falls out.
  const int last = found >= 0 ? found : COMMAND_HISTORY_SLOTS - 1;
  for (int k = last; k >= 1; --k) slots[static_cast<size_t>(k)] = slots[static_cast<size_t>(k - 1)];
  slots[0] = stored;

  std::vector<std::pair<std::string, std::string>> keys;
  keys.reserve(COMMAND_HISTORY_SLOTS);
  for (int n = 0; n < COMMAND_HISTORY_SLOTS; ++n) keys.emplace_back(SlotKey(n), slots[static_cast<size_t>(n)]);
  // Not acted on: a history file that cannot be written (read-only, a full
  // disk) is left as it was, as the header promises; the command itself was
  // sent, and the console has nowhere to say more.
  (void)WritePrivateProfileKeys(kSection, keys, path);
  return 1;
}
