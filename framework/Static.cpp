// CStatic: its run-time class record.
#include "Static.h"

const CRuntimeClass CStatic::classCStatic = {"CStatic", &CWnd::classCWnd};
