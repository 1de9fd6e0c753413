# Shared by the project's commands: packages, the private Wine prefix, the test authority, Xvfb.
# Source it; every function is idempotent, so a second run reuses what the first made.

TARNVIK_ROOT=${TARNVIK_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
TARNVIK_STATE=${TARNVIK_STATE:-$TARNVIK_ROOT/build/.state}
WINE64=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

TARNVIK_PACKAGES=(mingw-w64 wine64 xvfb xdotool x11-utils imagemagick fonts-wqy-microhei locales
                  openssl nginx-light cmake ninja-build googletest python3-pil strace faketime)

log() { printf '== %s\n' "$*" >&2; }
die() { printf 'error: %s\n' "$*" >&2; exit 1; }

# Answers -h/--help as the first argument with the calling script's header comment (its usage and settings),
# and does nothing else.
tarnvik_help() {
    case "${1:-}" in -h|--help) ;; *) return 0 ;; esac
    sed -n '2,/^[^#]/s/^# \{0,1\}//p' "$0"
    exit 0
}

# The configure arguments that move the test tree's server to TARNVIK_TEST_TLS_PORT, when it is set.
tarnvik_test_port_args() {
    [ -n "${TARNVIK_TEST_TLS_PORT:-}" ] || return 0
    printf '%s\n' "-DTARNVIK_TEST_TLS_PORT=$TARNVIK_TEST_TLS_PORT" "-DTARNVIK_DOWNLOAD_HOST=localhost:$TARNVIK_TEST_TLS_PORT"
}

# Installs the Debian packages that are missing: 'apt-get update' once, then one install.
tarnvik_install_packages() {
    local missing=() pkg
    for pkg in "${TARNVIK_PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    log "installing ${missing[*]}"
    local sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# The Debian mirror this machine's apt uses for bookworm (deb822 or one-line sources); it is never written down.
tarnvik_apt_mirror() {
    local url
    url=$(cat /etc/apt/sources.list.d/*.sources 2>/dev/null | awk '
        /^URIs:/ { uri = $2 } /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == "bookworm") found = 1 }
        /^$/ { if (found && uri) { print uri; exit } found = 0; uri = "" }
        END { if (found && uri) print uri }' | head -1)
    [ -n "$url" ] || url=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null \
        | awk '$1 == "deb" { for (i = 2; i <= NF; i++) if ($i ~ /^[a-z]+:\/\//) { if ($(i+1) == "bookworm") print $i; break } }' | head -1)
    [ -n "$url" ] || die "no bookworm mirror in this machine's apt sources"
    echo "$url"
}

# Runs COMMAND inside the Debian tree ROOT (chroot, as root), in a mount and process namespace of its own: /proc,
# /sys, /dev and an empty /tmp are mounted there, and each BIND folder of this machine at the same path inside. The
# command starts with an empty environment but for PATH and HOME (put NAME=VALUE pairs before it). The mounts and
# every process started inside end with the command, even when the caller is killed, so nothing of this machine
# stays reachable through ROOT afterwards.
#   tarnvik_in_root ROOT [BIND ...] -- [NAME=VALUE ...] COMMAND [ARGUMENTS]
tarnvik_in_root() {
    local root=$1; shift
    unshare --mount --pid --fork --kill-child --propagation private /bin/bash -c '
        set -e
        root=$1; shift
        mount -t proc proc "$root/proc"
        mount -t sysfs sys "$root/sys"
        mount --rbind /dev "$root/dev"
        mount -t tmpfs tmp "$root/tmp"
        while [ "$1" != -- ]; do mkdir -p "$root$1"; mount --bind "$1" "$root$1"; shift; done
        shift
        exec chroot "$root" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
            HOME=/root "$@"
    ' tarnvik-in-root "$root" "$@"
}

# The environment every Wine call of the project runs in: private prefix and HOME, code page 936
# through a real zh_CN.UTF-8 locale, no proxies (Wine's WinINet would honour them). Wine is silent unless
# TARNVIK_WINEDEBUG names the channels to show.
tarnvik_wine_env() {
    export WINEPREFIX=$TARNVIK_STATE/prefix
    export WINEDEBUG=${TARNVIK_WINEDEBUG:--all}
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export HOME=$TARNVIK_STATE/home
    export LOCPATH=$TARNVIK_STATE/locale
    { export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8; } 2>/dev/null  # bash itself cannot load it: harmless
    unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY no_proxy NO_PROXY all_proxy ALL_PROXY
}

tarnvik_make_locale() {
    [ -d "$TARNVIK_STATE/locale/zh_CN.UTF-8" ] && return 0
    mkdir -p "$TARNVIK_STATE/locale"
    localedef -i zh_CN -f UTF-8 "$TARNVIK_STATE/locale/zh_CN.UTF-8" 2>/dev/null \
        || [ -d "$TARNVIK_STATE/locale/zh_CN.UTF-8" ] || die "localedef zh_CN.UTF-8 failed"
}

# A certificate authority and a server certificate for DNS:localhost; a second, untrusted authority signs the
# certificate of the "untrusted" server. Both authorities date from 30 days ago, so that a time stamp from the
# recent past chains to them.
tarnvik_make_tls() {
    local dir=$TARNVIK_STATE/tls
    [ -f "$dir/untrusted-server.crt" ] && return 0
    mkdir -p "$dir"
    local name
    for name in ca untrusted-ca; do
        faketime -f -30d openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -keyout "$dir/$name.key" \
            -out "$dir/$name.crt" -subj "/CN=Tarnvik Test ${name}" -addext "basicConstraints=critical,CA:TRUE" \
            -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
    done
    tarnvik_sign_server server localhost ca
    tarnvik_sign_server untrusted-server localhost untrusted-ca
}

# Issues NAME.crt (key NAME.key, chain NAME-chain.pem) to the common name CN through the test folder's authority CA,
# with the extension lines EXT, valid for DAYS days from OFFSET (a faketime offset such as -20d; default: now).
#   tarnvik_issue NAME CN CA EXT DAYS [OFFSET]
tarnvik_issue() {
    local dir=$TARNVIK_STATE/tls name=$1 cn=$2 ca=$3 ext=$4 days=$5 offset=${6:-+0} extfile
    extfile=$(mktemp)
    printf '%s\n' "$ext" | tr ';' '\n' >"$extfile"
    openssl req -newkey rsa:2048 -nodes -keyout "$dir/$name.key" -out "$dir/$name.csr" -subj "/CN=$cn" 2>/dev/null
    faketime -f "$offset" openssl x509 -req -in "$dir/$name.csr" -CA "$dir/$ca.crt" -CAkey "$dir/$ca.key" \
        -CAcreateserial -days "$days" -out "$dir/$name.crt" -extfile "$extfile" 2>/dev/null
    cat "$dir/$name.crt" "$dir/$ca.crt" >"$dir/$name-chain.pem"
    rm -f "$extfile" "$dir/$name.csr"
}

# A server certificate NAME.crt (key NAME.key) for DNS:HOST, signed by the test folder's authority CA.
tarnvik_sign_server() {
    tarnvik_issue "$1" "$2" "$3" \
        "subjectAltName=DNS:$2;basicConstraints=CA:FALSE;keyUsage=digitalSignature,keyEncipherment;extendedKeyUsage=serverAuth" 825
}

# Code-signing certificates for signed test installers: the test publisher through the test authority, the same
# name self-signed, another publisher through the test authority; and for the harder cases of the signature check,
# the pinned name made only for server authentication, the pinned name followed by a NUL and more, the pinned
# publisher's certificate valid from 20 to 10 days ago (expired), a time-stamping authority through each test
# authority, and the pinned name through a second authority that the prefix trusts too (its issuer is not pinned).
TARNVIK_TEST_PUBLISHER="Tarnvik Test Publisher"
tarnvik_make_codesign() {
    local dir=$TARNVIK_STATE/tls
    [ -f "$dir/second-ca-publisher.crt" ] && return 0
    local signing='basicConstraints=CA:FALSE;keyUsage=critical,digitalSignature;extendedKeyUsage=codeSigning'
    local stamping='basicConstraints=CA:FALSE;keyUsage=critical,digitalSignature;extendedKeyUsage=critical,timeStamping'
    tarnvik_issue codesign "$TARNVIK_TEST_PUBLISHER" ca "$signing" 825
    openssl req -x509 -newkey rsa:2048 -nodes -days 825 -keyout "$dir/selfsigned-publisher.key" \
        -out "$dir/selfsigned-publisher.crt" -subj "/CN=$TARNVIK_TEST_PUBLISHER" \
        -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" 2>/dev/null
    tarnvik_issue other-publisher "Tarnvik Other Publisher" ca "$signing" 825
    tarnvik_issue serverauth-publisher "$TARNVIK_TEST_PUBLISHER" ca "${signing/codeSigning/serverAuth}" 825
    tarnvik_issue expired-publisher "$TARNVIK_TEST_PUBLISHER" ca "$signing" 10 -20d
    tarnvik_issue nul-publisher "$TARNVIK_TEST_PUBLISHER~and more" ca "$signing" 825
    tarnvik_put_nul_in_name "$dir/nul-publisher.crt" "$dir/ca.key"
    cat "$dir/nul-publisher.crt" "$dir/ca.crt" >"$dir/nul-publisher-chain.pem"
    tarnvik_issue tsa "Tarnvik Test Time Stamping" ca "$stamping" 3650 -30d
    tarnvik_issue untrusted-tsa "Tarnvik Untrusted Time Stamping" untrusted-ca "$stamping" 3650 -30d
    faketime -f -30d openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -keyout "$dir/second-ca.key" \
        -out "$dir/second-ca.crt" -subj "/CN=Tarnvik Test second ca" -addext "basicConstraints=critical,CA:TRUE" \
        -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
    tarnvik_issue second-ca-publisher "$TARNVIK_TEST_PUBLISHER" second-ca "$signing" 825
    [ -f "$dir/second-ca-publisher.crt" ] || die "could not make the code-signing certificates"
}

# Turns the "~" of the certificate's subject into a NUL and signs it again with the issuer's key: openssl takes no
# NUL in a name, but a certificate may carry one.
tarnvik_put_nul_in_name() {
    /usr/bin/python3 - "$1" "$2" <<'PY'
import subprocess, sys
cert, key = sys.argv[1], sys.argv[2]
der = bytearray(subprocess.run(["openssl", "x509", "-in", cert, "-outform", "DER"], capture_output=True, check=True).stdout)
def element(pos):  # (start of contents, end) of the DER element at pos
    length, pos = der[pos + 1], pos + 2
    if length & 0x80:
        count, length = length & 0x7F, int.from_bytes(der[pos:pos + (length & 0x7F)], "big")
        pos += count
    return pos, pos + length
start, _ = element(0)
tbs_start, tbs_end = element(start)
tbs = der[start:tbs_end]
tbs[tbs.index(b"~")] = 0
signature = subprocess.run(["openssl", "dgst", "-sha256", "-sign", key, "-binary"], input=bytes(tbs),
                           capture_output=True, check=True).stdout
der[start:tbs_end] = tbs
der[len(der) - len(signature):] = signature  # the signature closes the certificate; its length is unchanged
subprocess.run(["openssl", "x509", "-inform", "DER", "-out", cert], input=bytes(der), check=True)
PY
}

# Adds the two trusted test authorities to the prefix's own root store (HKCU), never to the host's.
tarnvik_trust_ca() {
    local der sha1 len blob ca
    for ca in ca second-ca; do
        der=$(openssl x509 -in "$TARNVIK_STATE/tls/$ca.crt" -outform der | od -An -v -tx1 | tr -d ' \n' | tr a-f A-F)
        sha1=$(openssl x509 -in "$TARNVIK_STATE/tls/$ca.crt" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g')
        len=$(( ${#der} / 2 ))
        blob=$(printf '2000000001000000%02X%02X%02X%02X%s' $((len & 255)) $((len >> 8 & 255)) $((len >> 16 & 255)) $((len >> 24 & 255)) "$der")
        "$WINE64" reg add "HKCU\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\$sha1" \
            /v Blob /t REG_BINARY /d "$blob" /f >/dev/null 2>&1 || die "could not trust the test authority $ca in the prefix"
    done
}

# The private prefix: Chinese font replacements, unmanaged windows, the trusted test authority.
tarnvik_make_prefix() {
    tarnvik_make_locale
    tarnvik_make_tls
    tarnvik_make_codesign
    mkdir -p "$TARNVIK_STATE/home/Desktop"
    tarnvik_wine_env
    [ -f "$WINEPREFIX/.tarnvik-ready" ] && return 0
    log "creating the Wine prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    "$WINE64" wineboot -i >/dev/null 2>&1 || true
    "$WINESERVER" -w
    local face
    for face in "微软雅黑" "Microsoft YaHei" "MS Shell Dlg" "MS Shell Dlg 2" "SimSun" "宋体"; do
        "$WINE64" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1
    done
    "$WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    "$WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
    tarnvik_trust_ca
    "$WINESERVER" -w
    touch "$WINEPREFIX/.tarnvik-ready"
}

# Configures and builds one preset; fails on any compiler warning. Extra arguments go to the configure step, those
# after "--" to the build step (for example -- --target NAME).
tarnvik_build_preset() {
    local preset=$1; shift
    local configure=() build=()
    while [ $# -gt 0 ] && [ "$1" != -- ]; do configure+=("$1"); shift; done
    [ $# -gt 0 ] && { shift; build=("$@"); }
    log "building $preset ${build[*]}"
    mkdir -p "$TARNVIK_ROOT/build"
    local buildlog=$TARNVIK_ROOT/build/$preset.log
    # Untranslated messages, so that the warnings are found whatever the caller's locale.
    (cd "$TARNVIK_ROOT" && export LC_ALL=C && cmake --preset "$preset" "${configure[@]}" >"$buildlog" 2>&1 &&
        cmake --build --preset "$preset" "${build[@]}" >>"$buildlog" 2>&1) || {
        grep -E -A3 'error|FAILED|Error' "$buildlog" | head -60 >&2
        die "build of $preset failed ($buildlog)"
    }
    if grep -q 'warning:' "$buildlog"; then
        grep -A3 'warning:' "$buildlog" | head -60 >&2
        die "build of $preset has warnings ($buildlog)"
    fi
}

# Starts Xvfb on the first free display unless DISPLAY already names a usable one.
tarnvik_start_xvfb() {
    if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
    local n
    for n in $(seq 91 140); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
        TARNVIK_XVFB_PID=$!
        export DISPLAY=":$n"
        local i
        for i in $(seq 1 100); do
            xdpyinfo >/dev/null 2>&1 && return 0
            kill -0 "$TARNVIK_XVFB_PID" 2>/dev/null || break
            sleep 0.1
        done
        # Not usable on this display (taken meanwhile, or never answered): stop it before the next one.
        kill "$TARNVIK_XVFB_PID" 2>/dev/null || true
        wait "$TARNVIK_XVFB_PID" 2>/dev/null || true
        unset TARNVIK_XVFB_PID DISPLAY
    done
    die "could not start Xvfb"
}

# Keeps the prefix's services up for the whole run, so each program starts in milliseconds.
tarnvik_start_wine() {
    tarnvik_wine_env
    "$WINESERVER" -p 2>/dev/null || true  # exits 2 when one already runs for the prefix: keep that one
    "$WINE64" cmd /c exit </dev/null >/dev/null 2>&1 || true
}

tarnvik_stop_all() {
    tarnvik_wine_env
    "$WINESERVER" -k >/dev/null 2>&1 || true
    [ -n "${TARNVIK_XVFB_PID:-}" ] && kill "$TARNVIK_XVFB_PID" 2>/dev/null || true
    return 0
}
