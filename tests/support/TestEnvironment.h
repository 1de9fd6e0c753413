// Where the tests' servers and folders are: ports of the TLS fixture and scratch folders.
#pragma once

#include <initializer_list>
#include <string>

namespace testenv {

int TlsPort();        // nginx, https://localhost:PORT, certificate trusted in the test prefix
int BackendPort();    // plain HTTP port on 127.0.0.1 where a test's scripted server must listen
int UntrustedPort();  // nginx with a certificate from an authority the prefix does not trust

// The installer's path on the fixed https address, which nginx passes on unchanged to the backend.
constexpr char kInstallerPath[] = "/TarnvikBrowser.exe";

// The folder that nginx serves as https://localhost:PORT/static/ (a Windows path).
std::wstring StaticFolder();

// The test installer (started, it leaves a marker file NAME.ran beside itself) as the build signed it one way
// (tests/app/CMakeLists.txt): "unsigned", "publisher" (by the test publisher through the test authority, the
// only way the test build's pinned publisher passes with no time stamp), "selfsigned-publisher", and others. Its
// path (narrow, ANSI code page).
std::string InstallerFile(const char* pszSigning = "publisher");
// The test authority's revocation list (DER) that the "revoked" and "unrevoked" publishers' certificates name; it
// names "revoked" alone. The "crl-unreachable" publisher's names a port where nothing listens.
std::string RevocationListFile();
// Where a revocable publisher's certificate says its list is on the scripted server ("revoked", "unrevoked").
std::string RevocationListPath(const char* pszPublisher);
// Empties the system's cache of what certificate checks fetched (CryptnetUrlCache, as `certutil -urlcache * delete`
// does) and forgets the object fetched from each of the addresses, so that a check fetches anew. Wine keeps a
// revocation check's result in the first by serial number (and keeps "not revoked" even for a certificate it found
// revoked), and the objects in WinINet's cache.
void ForgetFetchedCertificateData(std::initializer_list<std::string> addresses = {});

// A new, empty scratch folder under %TEMP% (narrow text in the ANSI code page, with a trailing backslash).
std::string MakeScratchFolder(const char* tag);

// One of the TLS fixture's two servers ("direct", "proxy") that send their certificate without its issuer, which a
// client fetches over the certificate's AIA address from the scripted server: the server's port, the path of the
// issuer on the scripted server (new at every start of the fixture) and the issuer itself (DER).
struct CAiaServer {
    int nPort = 0;
    std::string strIssuerPath;
    std::string strIssuer;
};
CAiaServer AiaServer(const char* pszKind);

// Makes 127.0.0.1:nPort the system's proxy, as Internet Options keeps it for the user, while it lives.
class CSystemProxy {
public:
    explicit CSystemProxy(int nPort);
    ~CSystemProxy();
    CSystemProxy(const CSystemProxy&) = delete;
    CSystemProxy& operator=(const CSystemProxy&) = delete;
};

}  // namespace testenv
