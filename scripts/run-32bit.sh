#!/usr/bin/env bash
# Runs a command where 32-bit x86 code can execute.
#
#   scripts/run-32bit.sh [--timeout SECONDS] [--] COMMAND [ARGS...]
#   scripts/run-32bit.sh --prepare      # only set up (packages, kernel); exit 0 if usable
#   scripts/run-32bit.sh --probe        # exit 0 if this machine runs 32-bit code itself
#
# Where this machine runs 32-bit x86 programs, the command simply runs here.
# Where it cannot (some virtual machines have no 32-bit mode), the command
# runs in a virtual machine under software emulation (qemu-system-x86_64,
# TCG, no KVM needed): Debian's own kernel, which has the 32-bit mode, boots
# from a small initramfs, mounts this machine's root filesystem over 9p and
# runs the command chrooted into it, in the same directory and with the
# same environment. So the guest sees this machine's Wine, Xvfb and the
# project tree, and whatever the command writes lands here. The guest has
# no display and no network; a command that needs a display starts its own
# (xvfb-run). The command's output (stdout and stderr
# together) is printed when it ends and its exit status is returned; 124
# when it ran out of time, 125 when the emulator could not be set up or
# the guest did not report a status.
#
# What it downloads (the kernel package) and builds (the initramfs) is
# kept in $TOVANA_VM_CACHE (default build-win32/vm) and reused.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
cache=${TOVANA_VM_CACHE:-$root/build-win32/vm}
timeout_s=1200
mode=run

die() { echo "run-32bit: $*" >&2; exit 125; }

while [[ $# -gt 0 ]]; do
    case $1 in
        --timeout) timeout_s=$2; shift 2 ;;
        --prepare) mode=prepare; shift ;;
        --probe) mode=probe; shift ;;
        --) shift; break ;;
        -*) die "unknown option $1" ;;
        *) break ;;
    esac
done
[[ $mode != run || $# -gt 0 ]] || die "no command given"
[[ $timeout_s =~ ^[0-9]+$ ]] || die "--timeout wants seconds"

# --- Can this machine run 32-bit x86 code itself? ---------------------------
# A 93-byte 32-bit Linux program that only exits. Written under the cache,
# not /tmp, where running programs may be forbidden.
can_run_32bit() {
    mkdir -p "$cache" || return 1
    local probe="$cache/probe32.$$"
    printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08'\
'\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00'\
'\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'\
'\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe" && chmod +x "$probe" || return 1
    local status=1
    "$probe" 2>/dev/null && status=0
    rm -f "$probe"
    return $status
}

if [[ $mode == probe ]]; then
    can_run_32bit
    exit
fi
if [[ $mode == run ]] && can_run_32bit; then
    timeout -k 10 "$timeout_s" "$@"
    exit
fi

# --- The emulator: packages, kernel, initramfs -----------------------------
# One setup at a time: several runs may share the cache.
mkdir -p "$cache" || die "cannot make $cache"
exec 9>"$cache/setup.lock"
flock -w 900 9 || die "another run has been setting up the emulator for 15 minutes"
"$here/ensure-packages.sh" qemu-system-x86 busybox-static >&2 ||
    die "the emulator's packages are missing (see above)"
[[ -x /bin/busybox ]] && /bin/busybox --list | grep -x cpio >/dev/null || die "/bin/busybox has no cpio"

# Debian's current kernel package for this release; the kernel is taken
# out of the package, never installed here.
kernel_package() {
    apt-cache depends linux-image-amd64 2>/dev/null |
        sed -n 's/^ *Depends: \(linux-image-[0-9][^ ]*-amd64\)$/\1/p' | head -1
}
prepare_kernel() {
    local existing
    existing=$(ls -d "$cache"/kernel-*/boot 2>/dev/null | sort -V | tail -1)
    if [[ -n $existing ]]; then
        kernel_dir=$(dirname "$existing")
        return 0
    fi
    local package
    package=$(kernel_package)
    [[ -n $package ]] || { apt-get update -qq >&2 && package=$(kernel_package); }
    [[ -n $package ]] || { echo "run-32bit: no linux-image-*-amd64 package known to apt" >&2; return 1; }
    echo "run-32bit: downloading $package" >&2
    local download="$cache/download"
    rm -rf "$download" && mkdir -p "$download" || return 1
    # apt-get download as root warns that its sandbox user cannot write here; harmless.
    (cd "$download" && timeout 300 apt-get download "$package" >/dev/null 2>&1) ||
        { echo "run-32bit: could not download $package" >&2; return 1; }
    kernel_dir="$cache/kernel-${package#linux-image-}"
    rm -rf "$kernel_dir.part" &&
        dpkg-deb -x "$download"/"$package"_*.deb "$kernel_dir.part" &&
        mv "$kernel_dir.part" "$kernel_dir" && rm -rf "$download"
}
prepare_kernel || die "no kernel for the emulator"
vmlinuz=$(ls "$kernel_dir"/boot/vmlinuz-* 2>/dev/null | head -1)
modules=$(ls -d "$kernel_dir"/lib/modules/*/kernel 2>/dev/null | head -1)
[[ -f $vmlinuz && -d $modules ]] || die "no kernel or modules in $kernel_dir"

# The modules the guest needs for 9p over virtio, in load order.
guest_modules=(drivers/virtio/virtio_ring drivers/virtio/virtio drivers/virtio/virtio_pci_legacy_dev
               drivers/virtio/virtio_pci_modern_dev drivers/virtio/virtio_pci fs/netfs/netfs
               fs/fscache/fscache net/9p/9pnet net/9p/9pnet_virtio fs/9p/9p)

initrd="$kernel_dir/initrd-run32.gz"
init_version=4
if [[ ! -f $initrd || $(cat "$initrd.version" 2>/dev/null) != "$init_version" ]]; then
    staging="$kernel_dir/initrd.staging"
    rm -rf "$staging" && mkdir -p "$staging"/{bin,mnt,proc,sys,dev,modules} || die "cannot write $staging"
    cp /bin/busybox "$staging/bin/" || die "cannot copy busybox"
    for module in "${guest_modules[@]}"; do
        cp "$modules/$module.ko" "$staging/modules/" || die "the kernel package has no $module.ko"
    done
    # The guest's init: mount the host's root, chroot into it, run the job
    # named on the kernel command line, report its status, power off.
    cat >"$staging/init" <<'EOF'
#!/bin/busybox sh
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
for m in virtio_ring virtio virtio_pci_legacy_dev virtio_pci_modern_dev virtio_pci netfs fscache 9pnet 9pnet_virtio 9p; do
    insmod /modules/$m.ko || echo "guest: cannot load $m"
done
job=
for word in $(cat /proc/cmdline); do
    case $word in run32.job=*) job=${word#run32.job=} ;; esac
done
if mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000,cache=loose hostroot /mnt && [ -n "$job" ]; then
    mount -t proc proc /mnt/proc
    mount -t sysfs sys /mnt/sys
    mount -t devtmpfs dev /mnt/dev
    mkdir -p /mnt/dev/pts /mnt/dev/shm
    mount -t devpts devpts /mnt/dev/pts
    mount -t tmpfs shm /mnt/dev/shm
    # The guest's sockets (X, Wine's server) cannot live on the shared
    # filesystem, so /tmp is a tmpfs of its own; everything the host keeps
    # in /tmp (a checkout, a build, the job folder) is bound back into it.
    mkdir -p /hosttmp
    mount -o bind /mnt/tmp /hosttmp
    mount -t tmpfs tmp /mnt/tmp
    bound=
    for entry in /hosttmp/* /hosttmp/.[!.]*; do
        [ -e "$entry" ] || continue
        name=${entry##*/}
        case $name in .X11-unix|.ICE-unix|.XIM-unix|.font-unix|.X*-lock|.wine-*) continue ;; esac
        if [ -d "$entry" ]; then mkdir "/mnt/tmp/$name"; else touch "/mnt/tmp/$name"; fi
        mount -o bind "$entry" "/mnt/tmp/$name" && bound="/mnt/tmp/$name $bound"
    done
    mount -t tmpfs run /mnt/run
    echo "guest: running $job after $(cut -d' ' -f1 /proc/uptime) s"
    chroot /mnt /bin/bash "$job/job.sh" >"/mnt$job/output" 2>&1
    echo $? >"/mnt$job/status"
    echo "guest: done after $(cut -d' ' -f1 /proc/uptime) s"
    # What the command left running (a lingering wineserver saves the
    # registry when asked to end), then whatever is still there.
    kill -TERM -1 2>/dev/null; sleep 2; kill -KILL -1 2>/dev/null; sleep 1
    for mounted in $bound; do umount "$mounted"; done
    umount /mnt/run /mnt/tmp /hosttmp /mnt/dev/shm /mnt/dev/pts /mnt/dev /mnt/sys /mnt/proc
    sync
    umount /mnt
else
    echo "guest: cannot mount the host's root filesystem or no job given"
fi
poweroff -f
EOF
    chmod +x "$staging/init"
    (cd "$staging" && find . | /bin/busybox cpio -o -H newc 2>/dev/null | gzip -1) >"$initrd.part" &&
        mv "$initrd.part" "$initrd" && echo "$init_version" >"$initrd.version" || die "cannot build the initramfs"
    rm -rf "$staging"
fi
[[ $mode == prepare ]] && exit 0
flock -u 9

# --- The job ---------------------------------------------------------------
job=$(mktemp -d "$cache/job.XXXXXX") || die "cannot make a job folder in $cache"
[[ -n ${TOVANA_VM_KEEP:-} ]] || trap 'rm -rf "$job"' EXIT
[[ $job != *[[:space:]]* ]] || die "the cache path must not contain spaces: $cache"
{
    echo "# The command, its folder and its environment, as given on the host."
    export -p | grep -vE '^declare -x (PWD|OLDPWD|SHLVL|_|DISPLAY|XAUTHORITY|TMPDIR)='
    printf 'cd %q || exit 125\n' "$PWD"
    printf 'exec timeout -k 10 %q' "$timeout_s"
    printf ' %q' "$@"
    echo
} >"$job/job.sh"

cpus=$(nproc)
[[ $cpus -gt 4 ]] && cpus=4
started=$SECONDS
# The command's own limit is set in the guest; booting and powering off
# get a minute and a half more before the emulator itself is stopped.
# No SMAP for the emulated CPU: with it, this qemu faults a 32-bit program's
# IRET (Wine returns from its exception handling that way) as a kernel
# access to user memory, and the kernel kills the program.
timeout -k 10 $((timeout_s + 90)) qemu-system-x86_64 \
    -M pc -cpu max,-smap -smp "$cpus" -m 4G -accel tcg,thread=multi \
    -nographic -no-reboot -net none -serial "file:$job/console" -monitor none \
    -kernel "$vmlinuz" -initrd "$initrd" \
    -append "console=ttyS0 quiet panic=-1 run32.job=$job" \
    -virtfs "local,path=/,mount_tag=hostroot,security_model=none,multidevs=remap,id=hostroot" \
    </dev/null >"$job/qemu.log" 2>&1
qemu_status=$?
[[ -f $job/output ]] && cat "$job/output"
if [[ -f $job/status ]]; then
    status=$(<"$job/status")
    echo "run-32bit: emulated run took $((SECONDS - started)) s, exit status $status" >&2
    exit "$status"
fi
echo "run-32bit: the guest reported no status (emulator exit $qemu_status after $((SECONDS - started)) s)" >&2
tail -20 "$job/console" "$job/qemu.log" >&2 2>/dev/null
[[ $qemu_status -eq 124 ]] && exit 124
exit 125
