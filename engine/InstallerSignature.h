// The publisher's signature on a downloaded installer, checked when the build pins a publisher.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

// True when no publisher is pinned, or when the file carries an Authenticode signature whose digest matches
// the file, whose signer's chain ends in a trusted root under the Authenticode policy, and whose signer is
// named exactly as pinned. Any missing piece (no signature, the libraries absent) is a refusal.
bool IsTrustedInstaller(const std::string& strPath);

// Holds an installer open, without write or delete sharing, from its check until it is no longer needed, so
// that the file that was checked is the file that is started. Without a pinned publisher it holds nothing
// and trusts the file, as the program did before it checked signatures.
class CHeldInstaller {
public:
    explicit CHeldInstaller(const std::string& strPath);
    CHeldInstaller(const CHeldInstaller&) = delete;
    CHeldInstaller& operator=(const CHeldInstaller&) = delete;

    // The file is held (when a publisher is pinned) and passed the check.
    bool Trusted() const { return m_bTrusted; }

private:
    struct CHandleCloser {
        void operator()(HANDLE hFile) const { CloseHandle(hFile); }
    };
    // Closed with the object, and also when the check throws in the constructor.
    std::unique_ptr<void, CHandleCloser> m_pFile;
    bool m_bTrusted = false;
};
