// CEdit: its run-time class record.
#include "Edit.h"

const CRuntimeClass CEdit::classCEdit = {"CEdit", &CWnd::classCWnd};
