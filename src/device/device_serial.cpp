#include "device/device_serial.h"

#include "platform/text.h"
#include "platform/tick_count.h"

IMPLEMENT_RUNTIME_CLASS(CDeviceSerial, CDeviceBase, 2, true)

namespace {

// The start parameters' items.
const char kPortKey[] = "Port";
const char kBaudKey[] = "Baud";
const char kParityKey[] = "Parity";
const char kDataBitKey[] = "DataBit";
const char kStopBitKey[] = "StopBit";

const char* YesNo(bool value) { return value ? "是" : "否"; }

// One more, wrapping as two's complement.
void Increment(std::atomic<std::uint32_t>& counter) {
  counter.store(counter.load(std::memory_order_relaxed) + 1u, std::memory_order_relaxed);
}

int AsSigned(std::uint32_t value) { return static_cast<int>(static_cast<std::int32_t>(value)); }

}  // namespace

CParameters SerialStartParameters(const std::string& port, const std::string& baud, const std::string& parity,
                                  const std::string& dataBits, const std::string& stopBits) {
  CParameters settings;
  settings.SetString(kPortKey, port);
  settings.SetString(kBaudKey, baud);
  settings.SetString(kParityKey, parity);
  settings.SetString(kDataBitKey, dataBits);
  settings.SetString(kStopBitKey, stopBits);
  return settings;
}

CDeviceSerial::CDeviceSerial() : m_pfnTick(&GetTickCount) {
  SetTypeName("串口设备");
  Reset();
}

CDeviceSerial::~CDeviceSerial() {
  std::shared_ptr<CSerialPort> engine;
  {
    CLockScope lock(m_lock);
    std::lock_guard<std::mutex> guard(m_portLock);
    engine.swap(m_pPort);
  }
  // Without the device lock: the reader finishes the block it is delivering
  // and ends, so the join inside Close is bounded and m_delivering is 0 after.
  if (engine) engine->Close();
}

std::shared_ptr<CSerialPort> CDeviceSerial::Engine() {
  std::lock_guard<std::mutex> guard(m_portLock);
  return m_pPort;
}

bool CDeviceSerial::IsPersistent() { return true; }
bool CDeviceSerial::CanOutput() { return true; }
bool CDeviceSerial::CanInput() { return true; }
bool CDeviceSerial::IsSimulated() { return false; }

bool CDeviceSerial::IsRunning() { return Engine()->IsOpen(); }

bool CDeviceSerial::IsPortLost() { return Engine()->IsLost(); }

bool CDeviceSerial::GetDriverErrorCounts(SerialErrorCounts* counts) {
  const std::shared_ptr<CSerialPort> engine = Engine();
  if (!engine->IsOpen()) return false;
  return engine->GetErrorCounts(counts);
}

int CDeviceSerial::GetPortLostState() { return Engine()->GetLostState(); }

std::string CDeviceSerial::GetOpenErrorCause() {
  CLockScope lock(m_lock);
  return m_strOpenCause;
}

SerialOpenError CDeviceSerial::GetOpenError() {
  CLockScope lock(m_lock);
  return m_openError;
}

void CDeviceSerial::SetPortStateListener(PortStateCallback fn, void* context) {
  m_pStateListenerContext.store(context, std::memory_order_release);
  m_pfnStateListener.store(fn, std::memory_order_release);
}

void CDeviceSerial::OnPortState(int lost, void* context) {
  CDeviceSerial* self = static_cast<CDeviceSerial*>(context);
  const PortStateCallback fn = self->m_pfnStateListener.load(std::memory_order_acquire);
  if (fn != nullptr) fn(lost, self->m_pStateListenerContext.load(std::memory_order_acquire));
}

int CDeviceSerial::Start(CMessageLog* log) {
  CLockScope lock(m_lock);
  const std::string port = GetPort();
  const std::string baud = GetBaud();
  const std::string parity = GetParity();
  const std::string dataBit = GetDataBit();
  const std::string stopBit = GetStopBit();
  const std::shared_ptr<CSerialPort> engine = Engine();
  // The state callback before Open: a port may hang up at once.
  engine->SetPortStateCallback(&CDeviceSerial::OnPortState, this);
  if (engine->Open(port, baud, parity, dataBit, stopBit, SERIAL_EVENT_MASK)) {
    engine->SetReceiveCallback(&CDeviceSerial::OnPortByte, this, &CDeviceSerial::OnPortBlock);
    engine->SetIdleCallback(&CDeviceSerial::OnPortIdle, m_pfnIdle != nullptr ? m_nIdleMs : 0);
    m_strOpenCause.clear();
    m_openError = SerialOpenError();
    return 1;
  }
  m_openError = engine->GetOpenError();
  m_strOpenCause = DescribeSerialOpenError(m_openError);
  if (log != nullptr) {
    log->AddMessage(StrFormat(
        "[%s] {%s} 串口打开错误[端口:%s 波特率:%s 奇偶校验:%s 数据位:%s 停止位:%s]",
        "串口设备", GetName().c_str(), port.c_str(), baud.c_str(), parity.c_str(),
        dataBit.c_str(), stopBit.c_str()));
  }
  return 0;
}

int CDeviceSerial::Start(const CParameters& params, CMessageLog* log) {
  CLockScope lock(m_lock);
  if (!SetStartParameters(params, log)) return 0;
  return Start(log);
}

int CDeviceSerial::Stop(CMessageLog* log) {
  CLockScope lock(m_lock);
  Reset();
  return 1;
}

int CDeviceSerial::Stop(const CParameters& params, CMessageLog* log) {
  CLockScope lock(m_lock);
  if (!SetStopParameters(params, log)) return 0;
  return Stop(log);
}

int CDeviceSerial::SetStartParameters(const CParameters& params, CMessageLog* log) {
  return CDeviceBase::SetStartParameters(params, log);
}

void CDeviceSerial::Reset() {
  CLockScope lock(m_lock);
  std::shared_ptr<CSerialPort> old;
  {
    std::lock_guard<std::mutex> guard(m_portLock);
    old.swap(m_pPort);
    m_pPort = std::make_shared<CSerialPort>();
  }
  if (old) {
    // The old reader may be waiting for m_lock in OnPortBlock; let it in, at
    // whatever depth this thread holds the lock, so it delivers its block
    // whole and ends, and the join in Close returns.
    CUnlockScope letReaderFinish(m_lock);
    old->Close();
    old.reset();
  }
  // Only now: the old reader can count no more.
  m_received.store(0);
  m_rateBase = 0;
  m_forwarded.store(0);
  m_sent.store(0);
  m_bRateUnmeasured = 1;
  m_dwRateTick = 0;
  m_strLastRate = "未测定";
}

int CDeviceSerial::OnPortByte(unsigned int byte, void* context) {
  const std::uint8_t value = static_cast<std::uint8_t>(byte);
  OnPortBlock(&value, 1, context);
  return 0;
}

void CDeviceSerial::OnPortBlock(const std::uint8_t* data, std::size_t length, void* context) {
  CDeviceSerial* self = static_cast<CDeviceSerial*>(context);
  self->m_delivering.store(1);
  {
    CLockScope lock(self->m_lock);
    self->DeliverLocked(data, length);
  }
  self->m_delivering.store(0);
}

void CDeviceSerial::OnPortIdle(void* context) {
  CDeviceSerial* self = static_cast<CDeviceSerial*>(context);
  CLockScope lock(self->m_lock);
  if (self->m_pfnSink != nullptr && self->m_pfnIdle != nullptr) self->m_pfnIdle(self->m_pSinkContext);
}

void CDeviceSerial::SetDataSinkIdle(IdleHook fn, int idleMs) {
  CLockScope lock(m_lock);
  CDeviceBase::SetDataSinkIdle(fn, idleMs);
  Engine()->SetIdleCallback(&CDeviceSerial::OnPortIdle, m_pfnIdle != nullptr ? m_nIdleMs : 0);
}

void CDeviceSerial::DeliverLocked(const std::uint8_t* data, std::size_t length) {
  bool delivered = false;
  for (std::size_t i = 0; i < length; ++i) {
    Increment(m_received);
    // Read anew for each byte: a sink may clear itself.
    const DataSink sink = m_pfnSink;
    if (sink != nullptr) {
      Increment(m_forwarded);
      sink(data[i], m_pSinkContext);
      delivered = true;
    }
  }
  if (delivered && m_pfnBlockEnd != nullptr) m_pfnBlockEnd(m_pSinkContext);
}

std::string CDeviceSerial::RateText() {
  const std::uint32_t received = m_received.load();
  if (m_bRateUnmeasured) {
    m_bRateUnmeasured = 0;
    m_dwRateTick = m_pfnTick();
    m_rateBase = received;
    m_strLastRate = "未测定";
    return m_strLastRate;
  }
  const std::uint32_t now = m_pfnTick();
  const std::uint32_t elapsed = now - m_dwRateTick;  // unsigned: right across a wrap
  if (elapsed == 0) {
    // Two presentations in one millisecond: no rate can be measured over no
    // time. Show the last one again and keep the interval open, so the next
    // presentation averages over the whole of it.
    return m_strLastRate;
  }
  const std::int32_t bytes = static_cast<std::int32_t>(received - m_rateBase);
  const double rate = static_cast<double>(bytes) * 1000.0 / static_cast<double>(elapsed);
  m_dwRateTick = now;
  m_rateBase = received;
  m_strLastRate = StrFormat("%3.3f", rate);
  return m_strLastRate;
}

void CDeviceSerial::GetPresentation(CParameters& out) {
  CLockScope lock(m_lock);
  AddBasicRow("设备类型", "%s", "串口设备");
  AddBasicRow("名称", "%s", GetName());
  AddBasicRow("备注", "%s", GetRemark());
  AddBasicRow("模拟设备", "%s", YesNo(IsSimulated()));
  AddBasicRow("设备允许允许输出", "%s", YesNo(CanOutput()));
  AddBasicRow("设备允许允许输入", "%s", YesNo(CanInput()));
  AddBasicRow("是否允许设备对象持久化", "%s", YesNo(IsPersistent()));

  AddInitialRow("端口", GetPort());
  AddInitialRow("波特率", GetBaud());
  AddInitialRow("奇偶校验", GetParity());
  AddInitialRow("数据位", GetDataBit());
  AddInitialRow("停止位", GetStopBit());

  const std::uint32_t received = m_received.load();
  const std::uint32_t forwarded = m_forwarded.load();
  AddRunRow("共接收数据", "%d字节", AsSigned(received));
  AddRunRow("接收数据速率", "%s(字节/秒)", RateText());
  AddRunRow("共接收转发数据", "%d字节", AsSigned(forwarded));
  AddRunRow("接收放弃数据", "%d字节", AsSigned(received - forwarded));
  AddRunRow("发送数据", "%d字节", AsSigned(m_sent.load()));
  AddRunRow("运行状态", "%s", IsRunning() ? "已运行" : "未运行");
  AddRunRow("数据源连接状态", "%s", IsSinkConnected() ? "已连接" : "未连接");

  CDeviceBase::GetPresentation(out);
}

int CDeviceSerial::SetControlLines(const CParameters& lines) {
  const std::shared_ptr<CSerialPort> engine = Engine();
  int result = 1;
  int value = 0;
  if (lines.GetInt("RTS", value) && !engine->SetRTS(value)) result = 0;
  if (lines.GetInt("DTR", value) && !engine->SetDTR(value)) return 0;
  return result;
}

int CDeviceSerial::GetStatusLines(CParameters& lines) {
  const std::shared_ptr<CSerialPort> engine = Engine();
  int result = 1;
  int value = 1;
  if (!engine->GetCTS(&value)) result = 0;
  lines.SetInt("CTS", value);
  value = 1;
  if (!engine->GetDSR(&value)) result = 0;
  lines.SetInt("DSR", value);
  value = 1;
  if (!engine->GetRLSD(&value)) result = 0;
  lines.SetInt("RLSD", value);
  value = 1;
  if (!engine->GetRING(&value)) result = 0;
  lines.SetInt("RING", value);
  return result;
}

int CDeviceSerial::Write(const void* data, int length) {
  if (length < 0) return 0;
  // One engine for the check and the write, so a Stop in between cannot send
  // the bytes to the fresh engine and count them.
  const std::shared_ptr<CSerialPort> engine = Engine();
  // A lost port takes nothing: the bytes are not sent and not counted.
  if (!CanInput() || !engine->IsOpen() || engine->IsLost()) return 0;
  // Dropped on purpose: the device answers whether the port took the bytes
  // in hand (the console counts them as sent), not whether they left. A
  // hang-up behind a failed write shows as the port lost, a Close as the
  // device stopped; a peer that takes nothing for 2 seconds shows nowhere.
  (void)engine->Write(data, length);
  m_sent.fetch_add(static_cast<std::uint32_t>(length));
  return 1;
}

int CDeviceSerial::WriteText(const std::string& text) {
  if (text.size() > 0x7FFFFFFFu) return 0;
  return Write(text.data(), static_cast<int>(text.size()));
}

int CDeviceSerial::WriteBytes(const std::vector<std::uint8_t>& bytes) {
  if (bytes.size() > 0x7FFFFFFFu) return 0;
  return Write(bytes.data(), static_cast<int>(bytes.size()));
}

std::string CDeviceSerial::GetPort() { return GetStartText(kPortKey); }
std::string CDeviceSerial::GetBaud() { return GetStartText(kBaudKey); }
std::string CDeviceSerial::GetParity() { return GetStartText(kParityKey); }
std::string CDeviceSerial::GetDataBit() { return GetStartText(kDataBitKey); }
std::string CDeviceSerial::GetStopBit() { return GetStartText(kStopBitKey); }

void CDeviceSerial::SetTickSource(TickSource fn) {
  CLockScope lock(m_lock);
  m_pfnTick = fn != nullptr ? fn : &GetTickCount;
}

std::uint32_t CDeviceSerial::GetReaderWakeups() { return Engine()->GetReaderWakeups(); }
