// CMFCVisualManager: stand-in for the framework's look-and-feel selector. The program skins every window itself,
// so choosing a manager changes nothing.
#pragma once

class CMFCVisualManager {
public:
    template <class TManager>
    static void SetDefaultManager() {}
};

class CMFCVisualManagerWindows : public CMFCVisualManager {};
