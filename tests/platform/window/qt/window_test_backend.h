// The backend of a backend-neutral window test: Qt's (its test target puts
// this folder on the include path; the Win32 target puts win32/).
#pragma once

#include "platform/window/window_test_support.h"
