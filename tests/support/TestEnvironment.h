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

// The test installer (started, it leaves a marker file NAME.ran beside itself) as the build signed it one way
// (tests/app/CMakeLists.txt): "unsigned", "publisher" (by the test publisher through the test authority, the
// only way the test build's pinned publisher passes with no time stamp), "selfsigned-publisher", and others. Its
// path (narrow, ANSI code page).
std::string InstallerFile(const char* pszSigning = "publisher");

// A new, empty scratch folder under %TEMP% (narrow text in the ANSI code page, with a trailing backslash).
std::string MakeScratchFolder(const char* tag);

}  // namespace testenv
