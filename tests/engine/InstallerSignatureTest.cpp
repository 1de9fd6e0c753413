// The signature check of a downloaded installer, against the pinned publisher: every way an installer passes or fails.
#include "InstallerSignature.h"
#include "ScriptedServer.h"
#include "TestEnvironment.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <windows.h>

TEST(InstallerSignature, OnlyAnIntactInstallerOfThePinnedPublisherIsTrusted)
{
    // The revocation lists the revocable publishers' certificates name (a third names a port where nothing listens).
    CScriptedServer server(testenv::BackendPort());
    const std::string list = ReadWholeFile(testenv::RevocationListFile()).value_or("");
    ASSERT_FALSE(list.empty());
    for (const char* pszListed : {"revoked", "unrevoked"})
        server.On(testenv::RevocationListPath(pszListed), CServerScript::Complete(list));

    const std::string folder = testenv::MakeScratchFolder("signature");
    const std::string good = ReadWholeFile(testenv::InstallerFile()).value_or("");
    ASSERT_GT(good.size(), 1000u);
    std::string flipped = good;
    flipped[flipped.size() / 2] ^= 0x01;
    struct CRow {
        const char* pszName;
        std::string file;
        bool bTrusted;
    };
    const auto signedAs = [](const char* pszSigning) {
        return ReadWholeFile(testenv::InstallerFile(pszSigning)).value_or("");
    };
    // The expired publisher's certificate was valid from 20 to 10 days ago; the time stamps say 15 days ago.
    const CRow rows[] = {
        {"good", good, true},
        {"one byte changed", flipped, false},
        {"unsigned", signedAs("unsigned"), false},
        {"self-signed under the pinned name", signedAs("selfsigned-publisher"), false},
        {"another publisher through the test authority", signedAs("other-publisher"), false},
        {"the pinned name through a second trusted authority", signedAs("second-ca-publisher"), false},
        {"the pinned name, made for server authentication only", signedAs("serverauth-publisher"), false},
        {"the pinned name followed by a NUL and more", signedAs("nul-publisher"), false},
        {"expired, not time-stamped", signedAs("expired-publisher"), false},
        {"expired, time-stamped by an untrusted authority", signedAs("expired-untrusted-stamp"), false},
        {"expired, its time stamp altered after it was signed", signedAs("expired-stamp-altered"), false},
        {"expired, time-stamped (RFC 3161) while valid", signedAs("expired-stamped"), true},
        {"expired, time-stamped (Authenticode) while valid", signedAs("expired-stamped-authenticode"), true},
        {"its authority's revocation list names it", signedAs("revoked-publisher"), false},
        {"its authority's revocation list does not name it", signedAs("unrevoked-publisher"), true},
        {"its authority's revocation server cannot be reached", signedAs("crl-unreachable-publisher"), true},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.pszName);
        const std::string path = folder + "TarnvikBrowser.exe";
        ASSERT_TRUE(WriteWholeFile(std::wstring(path.begin(), path.end()), row.file));
        testenv::ForgetFetchedCertificateData();
        EXPECT_EQ(IsTrustedInstaller(path, ECertificateUrls::Fetch), row.bTrusted);
        // What the check after the download kept passes Install's check too, which asks the cache alone (Wine keeps
        // "not revoked" there for a certificate it found revoked, so a refused file is not asked again).
        if (row.bTrusted) {
            EXPECT_TRUE(IsTrustedInstaller(path, ECertificateUrls::CacheOnly));
        }
        DeleteFileA(path.c_str());
    }
}
