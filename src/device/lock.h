// The lock classes of the device layer: CLockSection, a lock that the thread
// holding it may take again, and the scoped guards over it.
//
// Threads: any thread. Lock blocks until no other thread holds the section;
// Unlock and the guards' destructors never block.
#pragma once

#include <atomic>
#include <mutex>
#include <thread>

class CLockSection {
 public:
  CLockSection();
  virtual ~CLockSection();
  CLockSection(const CLockSection&) = delete;
  CLockSection& operator=(const CLockSection&) = delete;

  // Re-entrant: the holding thread may call Lock again; each Lock needs its
  // own Unlock.
  void Lock();
  void Unlock();

  // Whether the calling thread holds the section (at any depth).
  bool IsHeldByCurrentThread() const;

 private:
  friend class CUnlockScope;

  // Releases every level the calling thread holds and returns their number;
  // Reacquire takes them all back. Only CUnlockScope uses these.
  int ReleaseAll();
  void Reacquire(int depth);

  std::mutex m_mutex;
  // The holder, or a default id. Written only by the holder while it holds
  // m_mutex; other threads only ever compare it with their own id, which it
  // can never equal unless they wrote it themselves.
  std::atomic<std::thread::id> m_owner;
  int m_nDepth = 0;  // touched only by the holder
};

// Holds the section from construction to destruction, so that the section is
// also left when an exception passes.
class CLockScope {
 public:
  explicit CLockScope(CLockSection& section);
  virtual ~CLockScope();
  CLockScope(const CLockScope&) = delete;
  CLockScope& operator=(const CLockScope&) = delete;

 private:
  CLockSection& m_section;
};

// The opposite of CLockScope: lets other threads in for the extent of the
// scope. Releases every level of the section that the calling thread holds
// (none is fine) and takes the same number back at the end. A device uses it
// to close its engine, whose reader thread may be waiting for the section, at
// whatever depth its caller holds the section.
class CUnlockScope {
 public:
  explicit CUnlockScope(CLockSection& section);
  ~CUnlockScope();
  CUnlockScope(const CUnlockScope&) = delete;
  CUnlockScope& operator=(const CUnlockScope&) = delete;

 private:
  CLockSection& m_section;
  int m_nDepth;
};
