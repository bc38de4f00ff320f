// CDeviceBase: the general data device of the bridge. A device carries its
// name, remark and type name, start and stop parameter collections, one
// registered data sink that receives its data byte by byte, and four
// presentation categories that describe it in rows. Every operation has a
// neutral default here; CDeviceSerial is the one kind in the program.
// CMessageLog is the optional message sink of the start and stop operations.
//
// Threads: everything runs on the UI thread except the sink calls, which a
// derived device makes on its reader thread. All state is guarded by m_lock
// (re-entrant), and the sink and the block-end hook are called only while
// m_lock is held, so once ClearDataSink returns no sink or hook call runs and
// none will start. Callers must not hold a lock that a sink takes (the
// document's or the console's) when they call into a device.
// Blocking: the operations wait for m_lock only, which a reader holds for the
// length of one received block.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "device/lock.h"
#include "params/parameters.h"
#include "platform/archive.h"

// Receives one byte (the low 8 bits) and the registered context; the result
// is ignored. Runs on a reader thread with the device lock held.
using DataSink = int (*)(unsigned int byte, void* context);
// Runs after the last sink call of each block a device delivers, with the
// sink's context, on the reader thread with the device lock still held, so
// that a sink can publish per-block work with one lock of its own per block.
using BlockEndHook = void (*)(void* context);
// Runs once the port has been quiet for the idle time-out after a block the
// device delivered, with the sink's context, on the reader thread with the
// device lock held (see SetDataSinkIdle).
using IdleHook = void (*)(void* context);

// A collection of messages: AddMessage stores each text under the key
// prefix + number + suffix, numbering from the first number on.
class CMessageLog : public CParameters {
 public:
  explicit CMessageLog(const std::string& keyPrefix = "Message", int firstNumber = 1,
                       const std::string& keySuffix = "");

  // Adds the text under the next key (or replaces an item of that name).
  void AddMessage(const std::string& text);

  int m_nNext;
  std::string m_strKeyPrefix;
  std::string m_strKeySuffix;
};

class CDeviceBase : public CObject {
  DECLARE_RUNTIME_CLASS(CDeviceBase)

 public:
  CDeviceBase();
  ~CDeviceBase() override;
  CDeviceBase(const CDeviceBase&) = delete;
  CDeviceBase& operator=(const CDeviceBase&) = delete;

  // Storing: three archive strings, the type name (GetTypeName), the text
  // form of the start parameters, that of the stop parameters. Loading reads
  // the three (the type name is not used) before it changes anything, then
  // replaces both collections from their texts; a malformed text leaves what
  // the text reader made of it. A damaged archive throws CArchiveException
  // and leaves the device as it was.
  void Serialize(CArchive& ar) override;

  virtual bool IsPersistent();
  virtual bool CanOutput();
  virtual bool CanInput();
  virtual bool IsSimulated();
  virtual bool IsSinkConnected();
  virtual bool IsRunning();
  // "Name" and "Remark" are text items of the start parameters.
  virtual void SetName(const std::string& name);
  virtual std::string GetName();
  virtual void SetRemark(const std::string& remark);
  virtual std::string GetRemark();
  virtual std::string GetTypeName();
  virtual void SetTypeName(const std::string& typeName);
  virtual int Start(CMessageLog* log);
  virtual int Start(const CParameters& params, CMessageLog* log);
  virtual int Stop(CMessageLog* log);
  virtual int Stop(const CParameters& params, CMessageLog* log);
  virtual int SetStartParameters(const CParameters& params, CMessageLog* log);
  virtual int SetStopParameters(const CParameters& params, CMessageLog* log);
  virtual CParameters GetStartParameters();
  virtual CParameters GetStopParameters();
  virtual void AttachDataSink(DataSink fn, void* context);
  virtual void SetDataSink(DataSink fn, void* context);
  // Clears the sink, its context, the block-end hook and the idle hook.
  // Waits for a block being delivered to finish.
  virtual void ClearDataSink();
  virtual DataSink GetDataSink();
  virtual void* GetDataSinkContext();
  // Adds (or replaces) the nested collections "基本属性", "初始参数",
  // "运行参数" and "其它参数" in out, in that order; out keeps its other items.
  virtual void GetPresentation(CParameters& out);
  virtual int SetControlLines(const CParameters& lines);
  virtual int GetStatusLines(CParameters& lines);
  virtual int Write(const void* data, int length);
  virtual int WriteText(const std::string& text);
  virtual int WriteBytes(const std::vector<std::uint8_t>& bytes);

  // The block-end hook (see BlockEndHook); null removes it. SetDataSink leaves
  // it as it is, ClearDataSink clears it.
  void SetDataSinkBlockEnd(BlockEndHook fn);
  BlockEndHook GetDataSinkBlockEnd();
  // The idle hook and its time-out, IDLE_FLUSH_MIN_MS to IDLE_FLUSH_MAX_MS; null or 0 removes it. A
  // device that reads on a thread of its own calls it while a sink is set;
  // the base only stores it. SetDataSink leaves it, ClearDataSink clears it.
  virtual void SetDataSinkIdle(IdleHook fn, int idleMs);

 protected:
  // Presentation rows: a text item added to its category, or replacing the
  // row of that name where it was first added. value is formatted with
  // format (one "%s", or one "%d" for the int form).
  void AddBasicRow(const std::string& name, const char* format, const std::string& value);
  void AddInitialRow(const std::string& name, const std::string& value);
  void AddRunRow(const std::string& name, const char* format, const std::string& value);
  void AddRunRow(const std::string& name, const char* format, int value);

  // A text item of the start parameters, under m_lock: empty when it is
  // missing or not a text.
  std::string GetStartText(const char* szName);
  void SetStartText(const char* szName, const std::string& value);

  CLockSection m_lock;
  // 1 while a derived device delivers received bytes to the sink.
  std::atomic<std::int32_t> m_delivering{0};
  CParameters m_startParams;
  CParameters m_stopParams;
  void* m_pSinkContext = nullptr;
  DataSink m_pfnSink = nullptr;
  BlockEndHook m_pfnBlockEnd = nullptr;
  IdleHook m_pfnIdle = nullptr;
  int m_nIdleMs = 0;
  CParameters m_basic;
  CParameters m_initial;
  CParameters m_run;
  CParameters m_other;
  std::string m_strTypeName;
};
