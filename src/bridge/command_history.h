// The console's history of sent commands: ten slots kept in the INI file
// CMDConfigure.ini of the configuration folder, section "串口命令", keys
// Command0 (the most recent) to Command9 (the oldest). Texts are GBK.
//
// UI thread (the console's send and opening); blocks on file I/O only.
#pragma once

#include <array>
#include <string>

constexpr int COMMAND_HISTORY_SLOTS = 10;
// A read gives at most 79 bytes of a stored command.
constexpr int COMMAND_READ_BUFFER = 80;

using CCommandSlots = std::array<std::string, COMMAND_HISTORY_SLOTS>;

// ConfigDir() + "/CMDConfigure.ini".
std::string CommandHistoryPath();

// Fills slots 0, 1, … from the file until a key is missing or empty; slots
// after that stay as they were. 1 when all ten keys gave a command, else 0.
int LoadCommandHistory(CCommandSlots& history, const std::string& path);

// Moves text to the front of the stored history and writes all ten keys:
// nothing is written when it already is the most recent command; an earlier
// copy moves up instead of being duplicated; otherwise the oldest drops out.
// Only the first line of text is stored (a line break would write lines of
// its own into the file), and a text that would read back empty is not
// stored at all (an empty Command0 would hide the whole list). Commands are
// compared as they read back from the file (blanks and quotes dropped, 79
// bytes), so a long command sent twice does not fill the list with copies.
// Always returns 1; a file that cannot be written is left as it was.
int RememberCommandInHistory(const std::string& text, const std::string& path);
