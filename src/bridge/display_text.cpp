#include "bridge/display_text.h"

std::string CDisplayText::Take() {
  std::string taken;
  std::lock_guard<std::mutex> display(m_displayLock);
  taken.swap(m_strDisplayText);
  return taken;
}

void CDisplayText::Empty() {
  std::lock_guard<std::mutex> display(m_displayLock);
  m_strDisplayText.clear();
}

void CDisplayText::Publish() {
  if (m_nReaderDisplayLength == 0) return;
  {
    // Only the last RECEIVED_TEXT_LIMIT bytes wait: the pane would empty
    // itself before showing more, and a flood must not grow this text (nor
    // the UI thread's work per tick) with the line speed.
    std::lock_guard<std::mutex> display(m_displayLock);
    AppendWaitingText(m_strDisplayText, m_readerDisplay, m_nReaderDisplayLength);
  }
  m_nReaderDisplayLength = 0;
}
