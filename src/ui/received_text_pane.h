// How a display tick puts received text into its pane (the main form's
// receive pane, the console's transcript): emptied first when the tick says
// so, then the text appended at the very end, wherever the user has clicked
// into it (at the caret the new bytes would be spliced into earlier ones).
// UI thread only.
#pragma once

#include <string>

class CEdit;

void ShowReceivedText(CEdit& pane, bool bEmptyFirst, const std::string& text);
