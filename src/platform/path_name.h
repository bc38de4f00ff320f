// A path cut at its last '/': the folder that holds it and its own name. Text
// only: nothing is looked up, resolved or normalised.
//
// Any thread; nothing blocks.
#pragma once

#include <string>

// Everything before the last '/': "/" for a name right under the root, "."
// for a bare name.
std::string PathFolder(const std::string& path);

// Everything after the last '/'; a bare name as it is.
std::string PathFileName(const std::string& path);
