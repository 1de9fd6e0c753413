// Where the tests' servers and folders are: ports of the TLS fixture and scratch folders.
#include "TestEnvironment.h"

#include <windows.h>

#include <cstdio>
#include <stdexcept>
#include <string>

namespace testenv {

int TlsPort() { return TARNVIK_TEST_TLS_PORT; }
int BackendPort() { return TARNVIK_TEST_BACKEND_PORT; }
int UntrustedPort() { return TARNVIK_TEST_UNTRUSTED_PORT; }

std::wstring StaticFolder() { return TARNVIK_TEST_WWW_DIR; }

std::string InstallerFile(const char* pszSigning)
{
    return std::string(TARNVIK_TEST_INSTALLERS_DIR "\\") + pszSigning + ".exe";
}

std::string MakeScratchFolder(const char* tag)
{
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    // Wine reuses process ids between runs: take the first name that does not exist yet. Any other failure
    // (no temporary folder, a full disk) would repeat forever, so it ends the search.
    constexpr unsigned kTries = 1000;
    const unsigned nFirst = GetTickCount();
    for (unsigned n = nFirst; n != nFirst + kTries; ++n) {
        char path[MAX_PATH] = {};
        sprintf_s(path, sizeof path, "%starnvik-%s-%u\\", temp, tag, n);
        if (CreateDirectoryA(path, nullptr))
            return path;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    throw std::runtime_error(std::string("cannot make a scratch folder in ") + temp + " (error " +
                             std::to_string(GetLastError()) + ")");
}

}  // namespace testenv
