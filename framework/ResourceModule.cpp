// The module whose resources the window layer loads.
#include "ResourceModule.h"

HINSTANCE GetResourceModule()
{
    return GetModuleHandleW(nullptr);
}
