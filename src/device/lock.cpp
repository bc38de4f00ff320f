#include "device/lock.h"

CLockSection::CLockSection() = default;

CLockSection::~CLockSection() = default;

void CLockSection::Lock() {
  const std::thread::id self = std::this_thread::get_id();
  if (m_owner.load(std::memory_order_relaxed) == self) {
    ++m_nDepth;
    return;
  }
  m_mutex.lock();
  m_owner.store(self, std::memory_order_relaxed);
  m_nDepth = 1;
}

void CLockSection::Unlock() {
  if (--m_nDepth > 0) return;
  m_owner.store(std::thread::id(), std::memory_order_relaxed);
  m_mutex.unlock();
}

bool CLockSection::IsHeldByCurrentThread() const {
  return m_owner.load(std::memory_order_relaxed) == std::this_thread::get_id();
}

int CLockSection::ReleaseAll() {
  if (!IsHeldByCurrentThread()) return 0;
  const int depth = m_nDepth;
  m_nDepth = 0;
  m_owner.store(std::thread::id(), std::memory_order_relaxed);
  m_mutex.unlock();
  return depth;
}

void CLockSection::Reacquire(int depth) {
  if (depth <= 0) return;
  m_mutex.lock();
  m_owner.store(std::this_thread::get_id(), std::memory_order_relaxed);
  m_nDepth = depth;
}

CLockScope::CLockScope(CLockSection& section) : m_section(section) { m_section.Lock(); }

CLockScope::~CLockScope() { m_section.Unlock(); }

CUnlockScope::CUnlockScope(CLockSection& section)
    : m_section(section), m_nDepth(section.ReleaseAll()) {}

CUnlockScope::~CUnlockScope() { m_section.Reacquire(m_nDepth); }
