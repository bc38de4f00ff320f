// CCommandConsole: the serial command console without its window. The
// document owns one for its whole life; it keeps what outlives a window (the
// links to the device and the document, the received-text hand-off, the
// stored history) and does what needs no window (taking received bytes,
// remembering and sending a command). Its window, CCommandDlg (ui/), is made
// each time the main form opens the console and drives it through this
// class; without windows (the headless bridge, the core tests) no window
// ever opens, so bytes are neither shown nor counted.
//
// Threads. AppendReceivedByte and PublishReceived run on the serial reader
// thread (through the document's byte sink, device lock held); everything
// else on the UI thread. Lock order: device lock → the hand-off's lock; the
// UI thread holds no console lock while it calls into the device.
#pragma once

#include <cstdint>
#include <string>

#include "bridge/command_history.h"
#include "bridge/received_text.h"

class CDeviceBase;
class CQuillonDoc;

class CCommandConsole {
 public:
  // Stores the links; the document links the console to itself and its device.
  explicit CCommandConsole(CQuillonDoc* pDoc = nullptr, CDeviceBase* pDevice = nullptr);
  CCommandConsole(const CCommandConsole&) = delete;
  CCommandConsole& operator=(const CCommandConsole&) = delete;

  // Reader thread, per received byte while the document's console-open flag
  // (m_bCommandOpen) is set. Does nothing unless the console's window is up;
  // otherwise counts the byte and stages its display form (a full stop
  // outside 0x20..0x7F, "\r\n" before each dollar sign). No lock per byte.
  void AppendReceivedByte(unsigned int byte) { m_received.Append(byte); }
  // Reader thread, at the end of each block of bytes: hands the staged text
  // to the display timer (one short lock).
  void PublishReceived();

  // UI thread: the console's window came up (bytes are taken from now on,
  // with an empty pending text) or is going (no byte is taken any more).
  void OpenTranscript();
  void CloseTranscript();
  // UI thread, once per display tick: whether to empty the transcript first,
  // and the pending text to append (taken, so it is shown once).
  CReceivedText::Tick TakeTick();

  // The ten history slots from CMDConfigure.ini (see command_history.h).
  // 1 when all ten held a command. UI thread.
  int LoadCommands(CCommandSlots& history);
  // Moves text to the front of the stored history. Always 1. UI thread.
  int RememberCommand(std::string text);
  // Remembers command, then writes it with CR LF behind it to m_pDevice
  // through the document. Blocks while the port takes the bytes; a port that
  // is not open takes nothing and nothing is reported. UI thread.
  void SendCommand(const std::string& command);
  // The console is no longer open: the document stops passing it bytes.
  void ClearCommandOpen();

  // Bytes counted since the transcript was last emptied. Any thread.
  std::uint32_t GetShownBytes() const { return m_received.GetShownBytes(); }

  // Where commands go, and the document that sends them and keeps the
  // console-open flag. Not owned. UI thread.
  void Link(CQuillonDoc* pDoc, CDeviceBase* pDevice) {
    m_pDoc = pDoc;
    m_pDevice = pDevice;
  }
  CDeviceBase* GetDevice() const { return m_pDevice; }
  CQuillonDoc* GetDoc() const { return m_pDoc; }

 private:
  CDeviceBase* m_pDevice;
  CQuillonDoc* m_pDoc;
  // Received text not yet in the transcript, and the bytes counted since the
  // transcript was last emptied (m_strPending and m_nShownBytes inside).
  CReceivedText m_received;
};
