#include "device/device_base.h"

#include "device/idle_flush.h"
#include "platform/text.h"

IMPLEMENT_RUNTIME_CLASS(CDeviceBase, CObject, 2, true)

CMessageLog::CMessageLog(const std::string& keyPrefix, int firstNumber,
                         const std::string& keySuffix)
    : m_nNext(firstNumber), m_strKeyPrefix(keyPrefix), m_strKeySuffix(keySuffix) {}

void CMessageLog::AddMessage(const std::string& text) {
  const std::string key =
      StrFormat("%s%d%s", m_strKeyPrefix.c_str(), m_nNext, m_strKeySuffix.c_str());
  m_nNext = static_cast<int>(static_cast<unsigned>(m_nNext) + 1u);  // wraps, never UB
  SetString(key, text);
}

CDeviceBase::CDeviceBase() = default;

CDeviceBase::~CDeviceBase() = default;

void CDeviceBase::Serialize(CArchive& ar) {
  CLockScope lock(m_lock);
  if (ar.IsStoring()) {
    ar.WriteString(GetTypeName());
    ar.WriteString(m_startParams.ToString());
    ar.WriteString(m_stopParams.ToString());
    return;
  }
  ar.ReadString();  // the type name: the class record already chose the class
  const std::string start = ar.ReadString();
  const std::string stop = ar.ReadString();
  m_startParams.FromString(start);
  m_stopParams.FromString(stop);
}

bool CDeviceBase::IsPersistent() { return true; }
bool CDeviceBase::CanOutput() { return true; }
bool CDeviceBase::CanInput() { return true; }
bool CDeviceBase::IsSimulated() { return false; }

bool CDeviceBase::IsSinkConnected() {
  CLockScope lock(m_lock);
  return m_pfnSink != nullptr;
}

bool CDeviceBase::IsRunning() { return false; }

void CDeviceBase::SetName(const std::string& name) { SetStartText("Name", name); }
std::string CDeviceBase::GetName() { return GetStartText("Name"); }
void CDeviceBase::SetRemark(const std::string& remark) { SetStartText("Remark", remark); }
std::string CDeviceBase::GetRemark() { return GetStartText("Remark"); }

std::string CDeviceBase::GetStartText(const char* szName) {
  CLockScope lock(m_lock);
  std::string value;
  m_startParams.GetString(szName, value);
  return value;
}

void CDeviceBase::SetStartText(const char* szName, const std::string& value) {
  CLockScope lock(m_lock);
  m_startParams.SetString(szName, value);
}

std::string CDeviceBase::GetTypeName() {
  CLockScope lock(m_lock);
  return m_strTypeName;
}

void CDeviceBase::SetTypeName(const std::string& typeName) {
  CLockScope lock(m_lock);
  m_strTypeName = typeName;
}

int CDeviceBase::Start(CMessageLog* log) { return 1; }
int CDeviceBase::Start(const CParameters& params, CMessageLog* log) { return 1; }
int CDeviceBase::Stop(CMessageLog* log) { return 1; }
int CDeviceBase::Stop(const CParameters& params, CMessageLog* log) { return 1; }

int CDeviceBase::SetStartParameters(const CParameters& params, CMessageLog* log) {
  CLockScope lock(m_lock);
  if (&params != &m_startParams) m_startParams.Copy(params);
  return 1;
}

int CDeviceBase::SetStopParameters(const CParameters& params, CMessageLog* log) {
  CLockScope lock(m_lock);
  if (&params != &m_stopParams) m_stopParams.Copy(params);
  return 1;
}

CParameters CDeviceBase::GetStartParameters() {
  CLockScope lock(m_lock);
  return m_startParams;
}

CParameters CDeviceBase::GetStopParameters() {
  CLockScope lock(m_lock);
  return m_stopParams;
}

void CDeviceBase::AttachDataSink(DataSink fn, void* context) { SetDataSink(fn, context); }

void CDeviceBase::SetDataSink(DataSink fn, void* context) {
  CLockScope lock(m_lock);
  m_pfnSink = fn;
  m_pSinkContext = context;
}

void CDeviceBase::ClearDataSink() {
  CLockScope lock(m_lock);
  m_pfnSink = nullptr;
  m_pSinkContext = nullptr;
  m_pfnBlockEnd = nullptr;
  m_pfnIdle = nullptr;
  m_nIdleMs = 0;
}

DataSink CDeviceBase::GetDataSink() {
  CLockScope lock(m_lock);
  return m_pfnSink;
}

void* CDeviceBase::GetDataSinkContext() {
  CLockScope lock(m_lock);
  return m_pSinkContext;
}

void CDeviceBase::SetDataSinkBlockEnd(BlockEndHook fn) {
  CLockScope lock(m_lock);
  m_pfnBlockEnd = fn;
}

void CDeviceBase::SetDataSinkIdle(IdleHook fn, int idleMs) {
  CLockScope lock(m_lock);
  const bool on = fn != nullptr && idleMs >= IDLE_FLUSH_MIN_MS && idleMs <= IDLE_FLUSH_MAX_MS;
  m_pfnIdle = on ? fn : nullptr;
  m_nIdleMs = on ? idleMs : 0;
}

BlockEndHook CDeviceBase::GetDataSinkBlockEnd() {
  CLockScope lock(m_lock);
  return m_pfnBlockEnd;
}

void CDeviceBase::GetPresentation(CParameters& out) {
  CLockScope lock(m_lock);
  out.SetParameters("基本属性", m_basic);
  out.SetParameters("初始参数", m_initial);
  out.SetParameters("运行参数", m_run);
  out.SetParameters("其它参数", m_other);
}

int CDeviceBase::SetControlLines(const CParameters& lines) { return 0; }
int CDeviceBase::GetStatusLines(CParameters& lines) { return 0; }
int CDeviceBase::Write(const void* data, int length) { return 0; }
int CDeviceBase::WriteText(const std::string& text) { return 0; }
int CDeviceBase::WriteBytes(const std::vector<std::uint8_t>& bytes) { return 0; }

void CDeviceBase::AddBasicRow(const std::string& name, const char* format,
                              const std::string& value) {
  CLockScope lock(m_lock);
  m_basic.SetString(name, StrFormat(format, value.c_str()));
}

void CDeviceBase::AddInitialRow(const std::string& name, const std::string& value) {
  CLockScope lock(m_lock);
  m_initial.SetString(name, value);
}

void CDeviceBase::AddRunRow(const std::string& name, const char* format,
                            const std::string& value) {
  CLockScope lock(m_lock);
  m_run.SetString(name, StrFormat(format, value.c_str()));
}

void CDeviceBase::AddRunRow(const std::string& name, const char* format, int value) {
  CLockScope lock(m_lock);
  m_run.SetString(name, StrFormat(format, value));
}
