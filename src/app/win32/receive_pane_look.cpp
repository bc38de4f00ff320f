#include "app/receive_pane_look.h"

// The system's edit control wraps a long line at the pane's edge by itself
// and lays out only what it shows: nothing to set up.
void PrepareReceivePane(CWnd& pane) {}
