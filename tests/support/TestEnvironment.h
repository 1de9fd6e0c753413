// Where the tests' servers and folders are: ports of the TLS fixture and scratch folders.
#pragma once

#include <string>

namespace testenv {

int TlsPort();        // nginx, https://localhost:PORT, certificate trusted in the test prefix
int BackendPort();    // plain HTTP port on 127.0.0.1 where a test's scripted server must listen
int UntrustedPort();  // nginx with a certificate from an authority the prefix does not trust

// The installer's path on the fixed https address, which nginx passes on unchanged to the backend.
constexpr char kInstallerPath[] = "/TarnvikBrowser.exe";

// The folder that nginx serves as https://localhost:PORT/static/ (a Windows path).
std::wstring StaticFolder();

// The test installer (started, it leaves a marker file NAME.ran beside itself) as the build made it. The test
// build pins the test publisher, so only EInstaller::Publisher passes the program's signature check.
enum class EInstaller {
    Unsigned,
    Publisher,            // signed by the test publisher, whose certificate the test authority issued
    SelfSignedPublisher,  // signed under the same name by a certificate that issued itself
    OtherPublisher,       // signed by another publisher, whose certificate the test authority issued
};
// Its path (narrow, ANSI code page).
std::string InstallerFile(EInstaller kind);

// A new, empty scratch folder under %TEMP% (narrow text in the ANSI code page, with a trailing backslash).
std::string MakeScratchFolder(const char* tag);

}  // namespace testenv
