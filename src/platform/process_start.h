// What both programs do first in main, before anything else is opened.
//
// Main thread, before any other thread starts; blocks on nothing.
#pragma once

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed. A
// program started with one of them closed (`quillon-bridge ... >&-`) would
// otherwise hand that number to the next file it opens, the serial port or a
// wake-up descriptor, and the status lines meant for standard output would
// go there. False when one could not be made valid (then the caller should
// stop: nothing it opens is safe from its own output).
bool MakeStandardDescriptorsValid();
