// A DLL with nothing in it, placed in a folder of its own to see where the loader looks.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
