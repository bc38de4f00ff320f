#include "ui/received_text_pane.h"

#include "platform/window/controls.h"

void ShowReceivedText(CEdit& pane, bool bEmptyFirst, const std::string& text) {
  if (bEmptyFirst) pane.SetWindowText(std::string());
  if (!text.empty()) pane.AppendText(text);
}
