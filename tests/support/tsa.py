#!/usr/bin/python3
"""A local time-stamping authority for signing test files: an HTTP server on 127.0.0.1 that answers RFC 3161
queries (application/timestamp-query, through `openssl ts -reply`) and the older Authenticode time-stamp requests
(base64 of a TimeStampRequest, answered with a PKCS #7 signature over the signature's digest, through
`openssl cms -sign`), both under the clock that --offset sets with faketime.

    tsa.py --tls DIR --signer NAME [--offset OFFSET] -- COMMAND [ARGUMENT ...]
        runs COMMAND with every argument "{tsa}" replaced by the server's address, then stops the server;
        its exit status is COMMAND's. DIR holds NAME.crt, NAME.key and NAME-chain.pem (the authority's
        certificate, key and chain); OFFSET is a faketime offset such as -15d (default: now).
    tsa.py --help   this text
"""
import base64
import http.server
import os
import subprocess
import sys
import tempfile
import threading

TS_CONFIG = """[ tsa ]
default_tsa = tsa_config
[ tsa_config ]
serial = {serial}
crypto_device = builtin
signer_digest = sha256
default_policy = 1.3.6.1.4.1.99999.1
digests = sha1, sha256, sha384, sha512
accuracy = secs:1
ordering = no
tsa_name = no
ess_cert_id_chain = no
ess_cert_id_alg = sha256
"""


def der_element(data, pos):
    """(tag, start of contents, end of contents) of the DER element at pos."""
    tag, length = data[pos], data[pos + 1]
    pos += 2
    if length & 0x80:
        count = length & 0x7F
        length = int.from_bytes(data[pos:pos + count], "big")
        pos += count
    return tag, pos, pos + length


def authenticode_digest(request):
    """The signature digest inside an Authenticode TimeStampRequest: SEQUENCE { type OID, [attributes SET,]
    SEQUENCE { data OID, [0] { OCTET STRING } } }."""
    _, pos, _ = der_element(request, 0)
    _, _, pos = der_element(request, pos)          # countersignature type
    if request[pos] == 0x31:
        _, _, pos = der_element(request, pos)      # attributes
    _, pos, _ = der_element(request, pos)          # content info
    _, _, pos = der_element(request, pos)          # its content type
    _, pos, _ = der_element(request, pos)          # [0]
    tag, start, stop = der_element(request, pos)   # the digest
    if tag != 0x04:
        raise ValueError("no digest in the request")
    return request[start:stop]


class Authority:
    def __init__(self, tls, signer, offset):
        self.work = tempfile.mkdtemp(prefix="tsa-")
        self.cert, self.key, self.chain = (os.path.join(tls, signer + suffix)
                                           for suffix in (".crt", ".key", "-chain.pem"))
        self.clock = ["faketime", "-f", offset] if offset else []
        self.config = os.path.join(self.work, "ts.cnf")
        with open(os.path.join(self.work, "serial"), "w") as serial:
            serial.write("01\n")
        with open(self.config, "w") as config:
            config.write(TS_CONFIG.format(serial=os.path.join(self.work, "serial")))
        # The certificates above the authority's own (openssl cms adds that one itself).
        self.issuers = os.path.join(self.work, "issuers.pem")
        with open(self.chain) as chain, open(self.issuers, "w") as issuers:
            marker = "-----END CERTIFICATE-----\n"
            issuers.write(marker.join(chain.read().split(marker)[1:]))
        self.lock = threading.Lock()

    def run(self, command, data):
        with self.lock:
            source, result = os.path.join(self.work, "in"), os.path.join(self.work, "out")
            with open(source, "wb") as f:
                f.write(data)
            subprocess.run(self.clock + command(source, result), check=True, capture_output=True)
            with open(result, "rb") as f:
                return f.read()

    def rfc3161(self, query):
        return self.run(lambda source, result: [
            "openssl", "ts", "-reply", "-config", self.config, "-queryfile", source, "-signer", self.cert,
            "-inkey", self.key, "-chain", self.chain, "-out", result], query)

    def authenticode(self, body):
        digest = authenticode_digest(base64.b64decode(body))
        signed = self.run(lambda source, result: [
            "openssl", "cms", "-sign", "-binary", "-nodetach", "-nosmimecap", "-md", "sha256", "-in", source,
            "-signer", self.cert, "-inkey", self.key, "-certfile", self.issuers, "-outform", "DER", "-out", result],
            digest)
        return base64.b64encode(signed)


def serve(authority):
    class Handler(http.server.BaseHTTPRequestHandler):
        def do_POST(self):
            body = self.rfile.read(int(self.headers.get("Content-Length", 0)))
            try:
                if self.headers.get("Content-Type") == "application/timestamp-query":
                    answer, kind = authority.rfc3161(body), "application/timestamp-reply"
                else:
                    answer, kind = authority.authenticode(body), "application/octet-stream"
            except (subprocess.CalledProcessError, ValueError, IndexError) as error:
                self.send_error(500, str(error))
                return
            self.send_response(200)
            self.send_header("Content-Type", kind)
            self.send_header("Content-Length", str(len(answer)))
            self.end_headers()
            self.wfile.write(answer)

        def log_message(self, *args):
            pass

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def main():
    options, command = {"--offset": ""}, sys.argv[1:]
    while command and command[0] != "--":
        if command[0] == "--help" or len(command) < 2 or command[0] not in ("--tls", "--signer", "--offset"):
            break
        options[command[0]], command = command[1], command[2:]
    if command[:1] != ["--"] or len(command) < 2 or "--tls" not in options or "--signer" not in options:
        print(__doc__.strip())
        return 0 if sys.argv[1:2] == ["--help"] else 2
    server = serve(Authority(options["--tls"], options["--signer"], options["--offset"]))
    url = "http://127.0.0.1:%d/" % server.server_address[1]
    try:
        return subprocess.run([url if arg == "{tsa}" else arg for arg in command[1:]]).returncode
    finally:
        server.shutdown()


if __name__ == "__main__":
    sys.exit(main())
