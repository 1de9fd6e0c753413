// CStatic: a platform static control.
#pragma once

#include "Wnd.h"

class CStatic : public CWnd {
public:
    static const CRuntimeClass classCStatic;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCStatic; }
};
