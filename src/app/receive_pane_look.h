// How the receive pane is set up for its stream of bytes, where the window
// backend needs it (receive_pane_look.cpp on Qt; the system's edit control
// on Windows needs nothing). UI thread, once the form's controls exist.
#pragma once

class CWnd;

void PrepareReceivePane(CWnd& pane);
