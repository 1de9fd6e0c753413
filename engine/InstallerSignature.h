// The publisher's signature on a downloaded installer, checked when the build pins a publisher.
#pragma once

#include "TrustApi.h"

#include <windows.h>

#include <string>

// True when the build pins no publisher (TARNVIK_INSTALLER_SIGNER), or when all of these hold:
//   - the file carries an Authenticode signature whose digest matches the file;
//   - its signer is named exactly as pinned (the whole common name), and, when the build pins one
//     (TARNVIK_INSTALLER_ISSUER), the certificate that issued the signer's is named exactly so;
//   - the signer's chain, for code signing, ends in a trusted root with no error in it, at the time of a trusted time
//     stamp over this signature within the certificate's validity, else now;
//   - no certificate of that chain but its root is listed as revoked (revocation data that cannot be had does not
//     refuse the file, as Authenticode's offline rule has it).
// Any missing piece (no signature, the libraries absent) is a refusal. With ECertificateUrls::Fetch the check may
// fetch what the certificates name (a missing issuer, revocation data), on a thread of its own, for as long as
// Windows' own limits for those retrievals allow (Wine's chain engine keeps none): a chain not built in that time is
// refused, revocation data not had in that time counts as unobtainable. With CacheOnly it never waits on an address.
bool IsTrustedInstaller(const std::string& strPath, ECertificateUrls urls);

// True when the build pins a publisher: only an installer that passes IsTrustedInstaller is kept and started.
bool InstallerPublisherPinned();

// Holds an installer open, without write or delete sharing, from its check until it is no longer needed, so
// that the file that was checked is the file that is started. The check uses cached certificate data only (what the
// check after the download fetched): it runs on the dialog's thread, which must not wait on the network. Without a
// pinned publisher it holds nothing and trusts the file, as the program did before it checked signatures.
class CHeldInstaller {
public:
    explicit CHeldInstaller(const std::string& strPath);
    CHeldInstaller(const CHeldInstaller&) = delete;
    CHeldInstaller& operator=(const CHeldInstaller&) = delete;

    // The file is held (when a publisher is pinned) and passed the check.
    bool Trusted() const { return m_bTrusted; }

private:
    // Closed with the object, and also when the check throws in the constructor.
    CUniqueFileHandle m_hFile;
    bool m_bTrusted = false;
};
