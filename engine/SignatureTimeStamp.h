// The time stamp on an Authenticode signature: when an authority that the system trusts saw the signature.
#pragma once

#include "TrustApi.h"

#include <optional>

// The time of the signer's first valid time stamp: an RFC 3161 token, or the older Authenticode counter-signature.
// Valid means: signed by an authority whose chain is trusted at that time for time stamping, over this very
// signature. hMessage is the file's signed message and hStore its certificates. None when there is no valid stamp.
std::optional<FILETIME> TrustedStampTime(const CTrustApi& api, HCRYPTMSG hMessage, HCERTSTORE hStore,
                                         ECertificateUrls urls);
