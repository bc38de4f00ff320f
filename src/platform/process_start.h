// What both programs do first in main, before anything else is opened.
//
// Main thread, before any other thread starts; blocks on nothing.
#pragma once

#include <string>
#include <vector>

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed. A
// program started with one of them closed (`quillon-bridge ... >&-`) would
// otherwise hand that number to the next file it opens, the serial port or a
// wake-up descriptor, and the status lines meant for standard output would
// go there. False when one could not be made valid (then the caller should
// stop: nothing it opens is safe from its own output). On Windows, where
// files are handles and never take those numbers, always true.
bool MakeStandardDescriptorsValid();

// The program's arguments as UTF-8, its name first: argv itself on Linux;
// on Windows, where argv is in the system's ANSI code page and loses every
// character that page lacks, the system's UTF-16 command line converted.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// Points standard output at the null device (/dev/null, NUL), so that later
// writes cost nothing and fail nowhere. Main thread.
void DiscardStandardOutput();

// Runs body(argc, argv) and returns its status. Memory that runs out below
// it (under `ulimit -v`) ends the program with one line on standard error
// naming program and status 1, not with an abort and a core dump.
int RunCatchingOutOfMemory(const char* program, int (*body)(int, char**), int argc, char** argv);
