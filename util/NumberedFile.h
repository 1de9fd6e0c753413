// Creating the file a download writes: a name of its own in its folder, never another program's file.
#pragma once

#include <cstdio>
#include <string>

// Creates strName in strFolder (which ends in a separator) for binary writing, or the first free numbered variant
// of it (MakeUniqueFilePath's rule), each only if nothing exists there yet: a name that another program takes after
// it was chosen is passed over for the next. When no other name is free, the last numbered one is overwritten.
// Returns the open stream, which the caller closes, and sets strPath to the file's path; returns nullptr when no
// file can be created (strPath then names the last name tried). Readers may look on while it is written; nobody may
// write, rename or delete it meanwhile.
FILE* CreateNumberedFile(const std::string& strFolder, const std::string& strName, std::string& strPath);
