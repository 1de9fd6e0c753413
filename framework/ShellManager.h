// CShellManager: stand-in for the framework's shell-namespace helper; the program asks it for nothing.
#pragma once

class CShellManager {};
