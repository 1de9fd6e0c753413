// The module whose resources (templates, bitmaps, icons, strings) the window layer loads.
#pragma once

#include <windows.h>

// The executable itself: the program and the test programs link the compiled resources in.
HINSTANCE GetResourceModule();
