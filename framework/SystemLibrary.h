// Loading Windows' own DLLs at run time: from the system directory only, and their entry points by name.
#pragma once

#include <windows.h>

#include <initializer_list>

// The DLL of that name in the system directory, or nullptr (GetLastError tells why). Never searches the
// program's folder, where a planted copy could lie.
HMODULE LoadSystemLibrary(const wchar_t* pszName);

// GetProcAddress hands out an untyped entry point; the declared type of the system's own prototype is its real
// type, so this is the one place where an entry point is given that type. False when the entry point is missing.
template <typename Function>
bool ResolveProc(HMODULE hModule, const char* pszName, Function& pfn)
{
    pfn = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(hModule, pszName)));
    return pfn != nullptr;
}

// One entry point of a table that ResolveProcs fills: its name, and the function pointer that keeps it.
class CProcSlot {
public:
    template <typename Function>
    CProcSlot(const char* pszName, Function& pfn)
        : m_pszName(pszName), m_pSlot(&pfn), m_pfnResolve([](HMODULE hModule, const char* pszProc, void* pSlot) {
              return ResolveProc(hModule, pszProc, *static_cast<Function*>(pSlot));
          })
    {
    }
    bool Resolve(HMODULE hModule) const { return m_pfnResolve(hModule, m_pszName, m_pSlot); }

private:
    const char* m_pszName;
    void* m_pSlot;
    bool (*m_pfnResolve)(HMODULE, const char*, void*);
};

// Fills every slot from hModule; false when the module is null or an entry point is missing.
inline bool ResolveProcs(HMODULE hModule, std::initializer_list<CProcSlot> slots)
{
    if (hModule == nullptr)
        return false;
    for (const CProcSlot& slot : slots) {
        if (!slot.Resolve(hModule))
            return false;
    }
    return true;
}
