// The application's resources: the document template string, the window
// title, the accelerator table, the status bar's panes and the command
// identifiers of the file commands. Plain data; any thread may read it.
#pragma once

#include <string>
#include <vector>

#include "platform/window/win_types.h"

// Resource identifier shared by the document template and the main frame.
constexpr unsigned IDR_MAINFRAME = 128;

// The framework's file commands.
constexpr unsigned ID_FILE_NEW = 0xE100;
constexpr unsigned ID_FILE_OPEN = 0xE101;
constexpr unsigned ID_FILE_SAVE = 0xE103;
constexpr unsigned ID_FILE_PRINT = 0xE107;

// The application's name (the window title part of every caption).
extern const char* const kAppTitle;

// The seven fields of the document template string, in their order.
enum class DocString { WindowTitle, DocName, FileNewName, FilterName, FilterExt, RegFileTypeId, RegFileTypeName };
const std::string& DocTemplateString();
// One field of a template string ("" when it has fewer fields).
std::string GetDocString(const std::string& templateString, DocString index);

// Ctrl+N, Ctrl+O, Ctrl+S and Ctrl+P. The editing keys (copy, cut, paste,
// undo) and the pane keys (F6) have no command behind them in this program,
// so they are not taken from the edit boxes that handle them.
const std::vector<CAccelerator>& MainAccelerators();

// Status bar panes, left to right: the message pane and the Caps Lock,
// Num Lock and Scroll Lock indicators.
enum StatusPane { PANE_MESSAGE = 0, PANE_CAPS = 1, PANE_NUM = 2, PANE_SCROLL = 3 };
const std::vector<std::string>& StatusIndicators();

// Profile settings: the key the framework keeps them under and the number of
// recent files it remembers.
extern const char* const kRegistryKey;
constexpr int RECENT_FILE_COUNT = 4;
