// CMFCVisualManager: stand-in for the framework's look-and-feel selector. The program skins every
// window itself, so the choice is only recorded.
#pragma once

class CMFCVisualManager {
public:
    template <class TManager>
    static void SetDefaultManager() { s_defaultName = TManager::kName; }
    static const char* GetDefaultName() { return s_defaultName; }

private:
    static inline const char* s_defaultName = nullptr;
};

class CMFCVisualManagerWindows : public CMFCVisualManager {
public:
    static constexpr const char* kName = "Windows";
};
