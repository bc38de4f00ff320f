// Whether a thread of this process is blocked in poll right now, as
// /proc/self/task/<tid>/syscall tells: how a test knows that a call it started
// on another thread has reached the wait that the test means to end. False
// while the thread runs, and when the file cannot be read.
#pragma once

#include <sys/syscall.h>
#include <sys/types.h>

#include <cstdio>
#include <string>

inline bool ThreadWaitsInPoll(pid_t tid) {
  const std::string path = "/proc/self/task/" + std::to_string(tid) + "/syscall";
  std::FILE* f = std::fopen(path.c_str(), "r");
  if (f == nullptr) return false;
  long number = -1;  // the first field: a system call's number, or "running"
  const bool blocked = std::fscanf(f, "%ld", &number) == 1;
  std::fclose(f);
  if (!blocked) return false;
#ifdef SYS_poll
  if (number == SYS_poll) return true;
#endif
  return number == SYS_ppoll;
}
