#include "bridge/command_console.h"

#include "bridge/quillon_doc.h"

CCommandConsole::CCommandConsole(CQuillonDoc* pDoc, CDeviceBase* pDevice) : m_pDevice(pDevice), m_pDoc(pDoc) {}

// Reader thread.
void CCommandConsole::PublishReceived() { m_received.Publish(); }

void CCommandConsole::OpenTranscript() { m_received.Open(); }

void CCommandConsole::CloseTranscript() { m_received.Close(); }

CReceivedText::Tick CCommandConsole::TakeTick() { return m_received.TakeTick(); }

int CCommandConsole::LoadCommands(CCommandSlots& history) {
  return LoadCommandHistory(history, CommandHistoryPath());
}

int CCommandConsole::RememberCommand(std::string text) {
  return RememberCommandInHistory(text, CommandHistoryPath());
}

void CCommandConsole::SendCommand(const std::string& command) {
  // Stored before it goes out, so a port that takes nothing still keeps it.
  RememberCommand(command);
  if (m_pDoc != nullptr) m_pDoc->SendToDevice(m_pDevice, command + "\r\n");
}

void CCommandConsole::ClearCommandOpen() {
  if (m_pDoc != nullptr) m_pDoc->SetCommandOpen(false);
}
