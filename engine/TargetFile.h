// Creating the file a download writes: a name of its own, never another download's file.
#pragma once

#include <cstdio>
#include <string>

// Creates strPath for writing only if nothing exists there yet. When a file appeared under that name after it was
// chosen (another copy of the program chose it too), moves on to the next free numbered variant of pszName in the
// same folder and updates strPath; when no other name is free, the last numbered one is overwritten. Returns an
// open binary stream, or nullptr when the file cannot be created (strPath then names the last name tried).
FILE* CreateTargetFile(std::string& strPath, const char* pszName);
