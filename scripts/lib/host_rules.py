"""What a host must do for the program to download from it: the program's request and bounds, and the rules of the
README's "Host your own installer", in one place. scripts/check-host judges a host by them; the README's table
states them; tests/release/check_host_test.py requires the program's constants (read from the C++ sources by the
names below) and the table's figures to say the same as this file.
"""

# The request: GET https://HOST/TarnvikBrowser.exe?SECONDS (SECONDS: the current Unix time) with the agent name.
FILE_NAME = "TarnvikBrowser.exe"  # kFileName
AGENT = "tarnvikbrowserhsdownload"  # kAgentName, sent as User-Agent

# The program's bounds, in milliseconds. Windows makes a few waits without notice; there the program takes
# Windows' own bound.
SILENCE_MS = 2000  # kTimeoutMs: the silence one ordinary step may keep (connect, send, a response head, a read)
NAME_RESOLUTION_MS = 10000  # kNameResolutionMs: the resolver asks again after 1, 2, 4 and 8 s, gives up at 10 s
HANDSHAKE_SILENCES = 2  # kHandshakeSilences: the handshake waits on the server twice (its hello, its finish)
ISSUER_FETCH_MS = 15000  # CERT_CHAIN_URL_RETRIEVAL_TIMEOUT_MILLISECONDS_DEFAULT: one issuer fetched over AIA
REVOCATION_FETCH_MS = 20000  # CERT_CHAIN_REV_ACCUMULATIVE_URL_RETRIEVAL_TIMEOUT_MILLISECONDS_DEFAULT: OCSP, CRLs
CHAIN_CHECK_MS = ISSUER_FETCH_MS + REVOCATION_FETCH_MS  # kChainCheckMs
PROXY_DETECTION_MS = 30000  # kProxyDetectionMs: DHCP, then the DNS for wpad
OPEN_CEILING_MS = 120000  # kOpenCeilingMs: all of opening, every redirect included
MAX_REDIRECTS = 10  # kMaxRedirects

# The program's constants these stand for, by their names in the C++ sources (app engine framework util ...).
PROGRAM_CONSTANTS = {
    "kFileName": FILE_NAME,
    "kAgentName": AGENT,
    "kTimeoutMs": SILENCE_MS,
    "kNameResolutionMs": NAME_RESOLUTION_MS,
    "kHandshakeSilences": HANDSHAKE_SILENCES,
    "kChainCheckMs": CHAIN_CHECK_MS,
    "kProxyDetectionMs": PROXY_DETECTION_MS,
    "kOpenCeilingMs": OPEN_CEILING_MS,
    "kMaxRedirects": MAX_REDIRECTS,
}

# What each timed step of one hop may take; every long wait has one silence of margin. The handshake counts from
# the TCP connection to the request being sent: the handshake itself and Windows' check of the server's chain,
# which fetches what the server did not send (issuers over AIA, revocation data).
STEP_BOUNDS_MS = {
    "name": NAME_RESOLUTION_MS + SILENCE_MS,
    "connection": SILENCE_MS,
    "handshake": HANDSHAKE_SILENCES * SILENCE_MS + CHAIN_CHECK_MS + SILENCE_MS,
    "request": SILENCE_MS,
    "response head": SILENCE_MS,
    "body read": SILENCE_MS,
}
# Proxy detection happens on the user's machine before the first step; check-host cannot see it.
PROXY_DETECTION_BOUND_MS = PROXY_DETECTION_MS + SILENCE_MS

# The declared length must be above 0 and below this: the program reads it as a signed 32-bit number.
LENGTH_LIMIT = 2**31
# A certificate that ends sooner is renewed too late for the copies already shipped to stay unaffected.
MIN_CERTIFICATE_DAYS = 30

# The cipher suites Windows 7's SChannel offers for TLS 1.2 (enabled by default, in its order; the NULL suites are
# sent only when an application asks for them), as IANA and OpenSSL name them. Source: Microsoft's documentation,
# "Cipher Suites in TLS/SSL (Schannel SSP)", page "TLS Cipher Suites in Windows 7" (with update 3042058). Its
# elliptic curves are P-256 and P-384; it signs handshakes with PKCS #1 v1.5, ECDSA and DSA, never RSA-PSS.
# OpenSSL 3 no longer offers the 3DES and RC4 suites, so check-host cannot try those.
WINDOWS7_SUITES = [
    ("TLS_ECDHE_RSA_WITH_AES_256_CBC_SHA384", "ECDHE-RSA-AES256-SHA384"),
    ("TLS_ECDHE_RSA_WITH_AES_128_CBC_SHA256", "ECDHE-RSA-AES128-SHA256"),
    ("TLS_ECDHE_RSA_WITH_AES_256_CBC_SHA", "ECDHE-RSA-AES256-SHA"),
    ("TLS_ECDHE_RSA_WITH_AES_128_CBC_SHA", "ECDHE-RSA-AES128-SHA"),
    ("TLS_DHE_RSA_WITH_AES_256_GCM_SHA384", "DHE-RSA-AES256-GCM-SHA384"),
    ("TLS_DHE_RSA_WITH_AES_128_GCM_SHA256", "DHE-RSA-AES128-GCM-SHA256"),
    ("TLS_DHE_RSA_WITH_AES_256_CBC_SHA", "DHE-RSA-AES256-SHA"),
    ("TLS_DHE_RSA_WITH_AES_128_CBC_SHA", "DHE-RSA-AES128-SHA"),
    ("TLS_RSA_WITH_AES_256_GCM_SHA384", "AES256-GCM-SHA384"),
    ("TLS_RSA_WITH_AES_128_GCM_SHA256", "AES128-GCM-SHA256"),
    ("TLS_RSA_WITH_AES_256_CBC_SHA256", "AES256-SHA256"),
    ("TLS_RSA_WITH_AES_128_CBC_SHA256", "AES128-SHA256"),
    ("TLS_RSA_WITH_AES_256_CBC_SHA", "AES256-SHA"),
    ("TLS_RSA_WITH_AES_128_CBC_SHA", "AES128-SHA"),
    ("TLS_ECDHE_ECDSA_WITH_AES_256_GCM_SHA384", "ECDHE-ECDSA-AES256-GCM-SHA384"),
    ("TLS_ECDHE_ECDSA_WITH_AES_128_GCM_SHA256", "ECDHE-ECDSA-AES128-GCM-SHA256"),
    ("TLS_ECDHE_ECDSA_WITH_AES_256_CBC_SHA384", "ECDHE-ECDSA-AES256-SHA384"),
    ("TLS_ECDHE_ECDSA_WITH_AES_128_CBC_SHA256", "ECDHE-ECDSA-AES128-SHA256"),
    ("TLS_ECDHE_ECDSA_WITH_AES_256_CBC_SHA", "ECDHE-ECDSA-AES256-SHA"),
    ("TLS_ECDHE_ECDSA_WITH_AES_128_CBC_SHA", "ECDHE-ECDSA-AES128-SHA"),
    ("TLS_DHE_DSS_WITH_AES_256_CBC_SHA256", "DHE-DSS-AES256-SHA256"),
    ("TLS_DHE_DSS_WITH_AES_128_CBC_SHA256", "DHE-DSS-AES128-SHA256"),
    ("TLS_DHE_DSS_WITH_AES_256_CBC_SHA", "DHE-DSS-AES256-SHA"),
    ("TLS_DHE_DSS_WITH_AES_128_CBC_SHA", "DHE-DSS-AES128-SHA"),
    ("TLS_RSA_WITH_3DES_EDE_CBC_SHA", "DES-CBC3-SHA"),
    ("TLS_DHE_DSS_WITH_3DES_EDE_CBC_SHA", "EDH-DSS-DES-CBC3-SHA"),
    ("TLS_RSA_WITH_RC4_128_SHA", "RC4-SHA"),
    ("TLS_RSA_WITH_RC4_128_MD5", "RC4-MD5"),
]
WINDOWS7_CURVES = "P-256:P-384"
WINDOWS7_SIGNATURES = "RSA+SHA256:RSA+SHA384:RSA+SHA1:ECDSA+SHA256:ECDSA+SHA384:ECDSA+SHA1:DSA+SHA1"

# Every rule check-host judges: its label, and what to change on the server when it is not met.
RULES = {
    "name": ("name", "publish an A record for HOST"),
    "ipv6": ("IPv6", "remove the AAAA record, or serve the file over IPv6 as well (nginx: listen [::]:443 ssl)"),
    "tls12": ("TLS 1.2", "offer TLS 1.2 beside 1.3 (nginx: ssl_protocols TLSv1.2 TLSv1.3)"),
    "windows7": ("Windows 7 suite", "add a suite Windows 7 offers, such as ECDHE-RSA-AES128-SHA256 or "
                 "AES128-GCM-SHA256, to the server's list (nginx: ssl_ciphers); Windows 7 users fail without one"),
    "certificate": ("certificate", "install a certificate for HOST (a DNS name) from an authority Windows trusts"),
    "validity": ("validity", f"renew the certificate: at least {MIN_CERTIFICATE_DAYS} days should remain"),
    "chain": ("whole chain", "send every intermediate after the leaf (nginx: ssl_certificate with the full chain): "
              "a client that must fetch one waits, or fails where the address is blocked"),
    "ocsp": ("OCSP stapling", "staple OCSP (nginx: ssl_stapling on; ssl_stapling_verify on; "
             "ssl_trusted_certificate CHAIN; resolver): without it every client asks the authority's server"),
    "https": ("https only", "redirect only to https addresses"),
    "redirects": ("redirects", f"redirect at most {MAX_REDIRECTS} times: point the address nearer the file"),
    "status": ("status", f"serve the file itself at /{FILE_NAME} with status 200, whatever the query"),
    "length": ("length", f"serve it as a static file: a Content-Length above 0 and below {LENGTH_LIMIT >> 30} GiB, "
               "not chunked (no compression, no streaming proxy)"),
    "body": ("body", "send the whole file: check the file on the disk and every proxy in front of it"),
    "time: name": ("time: name", "serve HOST's records from a DNS provider that answers fast in mainland China"),
    "time: connection": ("time: connection", "a server nearer the users (or a CDN), not overloaded"),
    "time: handshake": ("time: handshake", "send the whole chain and staple OCSP, so Windows fetches nothing; "
                        "a server nearer the users"),
    "time: request": ("time: request", "a server nearer the users, not overloaded"),
    "time: response head": ("time: response head", "answer at once: serve the file statically, not from a slow "
                            "backend"),
    "time: body read": ("time: body read", "keep the body flowing: no pauses in the server or a proxy in front"),
    "time: opening": ("time: opening", "fewer redirects and faster steps"),
    "signature": ("signature", "sign the installer (Authenticode, SHA-256) with a certificate Windows trusts"),
    "signer": ("signer", "sign with the certificate of the publisher the release pins (--signer)"),
    "signer issuer": ("signer's issuer", "sign with a certificate issued by the pinned authority"),
    "code signing": ("code signing", "sign with a certificate made for code signing (extended key usage)"),
    "time stamp": ("time stamp", "sign with a time stamp (scripts/release --timestamp URL): without one the "
                   "signature stops working when the certificate expires"),
}


def readme_figures():
    """What each row of the README's table of rules must state: texts it holds, and the exact set of the times it
    names in whole seconds."""
    seconds = {name: ms // 1000 for name, ms in STEP_BOUNDS_MS.items()}
    return {
        "Length": ([f"{LENGTH_LIMIT >> 30} GiB"], set()),
        "TLS": (["TLS 1.2", "Windows 7", f"{MIN_CERTIFICATE_DAYS} days"], set()),
        "Redirects": ([f"At most {MAX_REDIRECTS}"], set()),
        "Time-outs": ([], set(seconds.values()) | {OPEN_CEILING_MS // 1000}),
        "Proxy": ([], {PROXY_DETECTION_BOUND_MS // 1000}),
    }
