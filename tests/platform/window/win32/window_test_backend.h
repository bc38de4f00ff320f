// The backend of a backend-neutral window test: the Win32 one (its test
// target puts this folder on the include path; the Qt target puts qt/).
#pragma once

#include "platform/window/win32/window_test_support_win32.h"
