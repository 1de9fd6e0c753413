# The 32-bit-capable guest that scripts/guest makes: where it is cached, and how a job runs in it.
# Source it (it sources common.sh).
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# Where the guest keeps the project's test state (TARNVIK_STATE of the jobs that run in it).
TARNVIK_GUEST_STATE=/var/lib/tarnvik/state

# The cached guest's folder, keyed by a hash of what makes it: scripts/guest and the functions it runs.
tarnvik_guest_dir() {
    local key; key=$(cat "$TARNVIK_ROOT/scripts/guest" "$TARNVIK_ROOT/scripts/lib/common.sh" | sha256sum | cut -c1-16)
    echo "$TARNVIK_ROOT/build/guest/$key"
}

# Boots the guest on a job: JOBDIR (holding an executable ./run) goes in as a tar archive on the second disk; what
# the job leaves in its out/ folder comes back into OUTDIR. The guest has no network device. The root disk is used
# as a snapshot, so the cached image never changes (unless TARNVIK_GUEST_WRITE=1: the first boot keeps what it
# makes). The guest's console goes to OUTDIR/console.txt.
#   tarnvik_guest_run GUESTDIR JOBDIR OUTDIR TIMEOUT_SECONDS
tarnvik_guest_run() {
    local guest=$1 job=$2 out=$3 limit=$4 snapshot=on
    [ "${TARNVIK_GUEST_WRITE:-}" = 1 ] && snapshot=off
    mkdir -p "$out"
    local jobtar=$out/.job.tar resulttar=$out/.result.tar
    tar -cf "$jobtar" -C "$job" .
    rm -f "$resulttar"
    truncate -s 1G "$resulttar"
    local status=0
    timeout "$limit" qemu-system-x86_64 -accel tcg -cpu qemu64 -m 2048 -smp 2 -nographic -no-reboot -nic none \
        -drive "file=$guest/root.img,format=raw,if=virtio,snapshot=$snapshot" \
        -drive "file=$jobtar,format=raw,if=virtio,readonly=on" \
        -drive "file=$resulttar,format=raw,if=virtio" \
        -kernel "$guest/vmlinuz" -initrd "$guest/initrd.img" \
        -append "root=/dev/vda rw console=ttyS0 quiet init=/sbin/tarnvik-init" \
        </dev/null >"$out/console.txt" 2>&1 || status=$?
    tar -xf "$resulttar" -C "$out" 2>/dev/null || true
    rm -f "$jobtar" "$resulttar"
    [ "$status" -eq 124 ] && log "the guest did not power off within $limit s"
    return "$status"
}

# After a job: shows the lines it printed under PREFIX and the guest's own (or the console's end when there are
# none), and succeeds when the job said "PREFIX: exit 0".
#   tarnvik_guest_result PREFIX OUTDIR
tarnvik_guest_result() {
    local prefix=$1 out=$2
    grep -a "^$prefix: \|^guest: " "$out/console.log" 2>/dev/null || tail -30 "$out/console.txt" >&2
    grep -aqx "$prefix: exit 0" "$out/console.log" 2>/dev/null
}
