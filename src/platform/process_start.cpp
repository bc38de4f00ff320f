#include "platform/process_start.h"

#include <cstdio>
#include <new>

int RunCatchingOutOfMemory(const char* program, int (*body)(int, char**), int argc, char** argv) {
  try {
    return body(argc, argv);
  } catch (const std::bad_alloc&) {
    // Nothing is allocated here: fputs of a literal needs no memory.
    std::fputs(program, stderr);
    std::fputs(": out of memory\n", stderr);
    return 1;
  }
}
