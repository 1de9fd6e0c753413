// Where the tests' servers and folders are: ports of the TLS fixture and scratch folders.
#include "TestEnvironment.h"

#include "TestFiles.h"

#include <windows.h>

#include <cstdio>
#include <sstream>
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

std::string RevocationListFile()
{
    return TARNVIK_TEST_INSTALLERS_DIR "\\revocable\\revocation.crl";
}

std::string RevocationListPath(const char* pszPublisher)
{
    std::istringstream token(ReadWholeFile(TARNVIK_TEST_INSTALLERS_DIR "\\revocable\\crl-token").value_or(""));
    std::string strToken;
    token >> strToken;
    return "/crl/" + strToken + "/" + pszPublisher + ".crl";
}

void ForgetFetchedCertificateData(std::initializer_list<std::string> addresses)
{
    // Loaded here: a test program that imported WinINet could not show that the program loads it only at run time.
    using CDeleteUrlCacheEntry = BOOL(WINAPI*)(LPCSTR);
    const auto pfnDeleteUrlCacheEntry = reinterpret_cast<CDeleteUrlCacheEntry>(
        reinterpret_cast<void*>(GetProcAddress(LoadLibraryW(L"wininet.dll"), "DeleteUrlCacheEntryA")));
    for (const std::string& strAddress : addresses) {
        if (pfnDeleteUrlCacheEntry != nullptr)
            pfnDeleteUrlCacheEntry(strAddress.c_str());
    }
    wchar_t profile[MAX_PATH] = {};
    GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH);
    for (const wchar_t* pszPart : {L"Content", L"MetaData"}) {
        const std::wstring strFolder = std::wstring(profile) + L"\\AppData\\LocalLow\\Microsoft\\CryptnetUrlCache\\" + pszPart;
        WIN32_FIND_DATAW found;
        const HANDLE hFind = FindFirstFileW((strFolder + L"\\*").c_str(), &found);
        if (hFind == INVALID_HANDLE_VALUE)
            continue;
        do {
            DeleteFileW((strFolder + L"\\" + found.cFileName).c_str());
        } while (FindNextFileW(hFind, &found));
        FindClose(hFind);
    }
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

CAiaServer AiaServer(const char* pszKind)
{
    const std::wstring strFolder = StaticFolder();
    const std::string strStatic(strFolder.begin(), strFolder.end());  // a path of Wine's drive Z:, ASCII
    std::istringstream lines(ReadWholeFile(strStatic + "\\aia.txt").value_or(""));
    CAiaServer server;
    server.nPort = TlsPort() + (std::string(pszKind) == "direct" ? 3 : 4);
    for (std::string strKind, strPath; lines >> strKind >> strPath;) {
        if (strKind == pszKind)
            server.strIssuerPath = strPath;
    }
    server.strIssuer = ReadWholeFile(strStatic + "\\aia-" + pszKind + ".der").value_or("");
    if (server.strIssuerPath.empty() || server.strIssuer.empty())
        throw std::runtime_error(std::string("the TLS fixture has no AIA server ") + pszKind);
    return server;
}

namespace {

constexpr wchar_t kInternetSettings[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

void ClearSystemProxy()
{
    const DWORD dwEnable = 0;
    RegSetKeyValueW(HKEY_CURRENT_USER, kInternetSettings, L"ProxyEnable", REG_DWORD, &dwEnable, sizeof dwEnable);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kInternetSettings, L"ProxyServer");
}

// A test program killed while it had made a proxy the system's (a time-out of ctest's) would leave it so for every
// later test: each test program starts with none.
const bool g_bNoProxyAtStart = (ClearSystemProxy(), true);

}  // namespace

CSystemProxy::CSystemProxy(int nPort)
{
    const std::wstring strServer = L"127.0.0.1:" + std::to_wstring(nPort);
    const DWORD dwEnable = 1;
    RegSetKeyValueW(HKEY_CURRENT_USER, kInternetSettings, L"ProxyServer", REG_SZ, strServer.c_str(),
                    static_cast<DWORD>((strServer.size() + 1) * sizeof(wchar_t)));
    RegSetKeyValueW(HKEY_CURRENT_USER, kInternetSettings, L"ProxyEnable", REG_DWORD, &dwEnable, sizeof dwEnable);
}

CSystemProxy::~CSystemProxy()
{
    ClearSystemProxy();
}

}  // namespace testenv
