#!/usr/bin/env bash
# The Windows stage: cross-builds the plug-in and the Windows tests, checks
# the plug-in's exports, imports and resources, runs the tests under Wine
# in a fresh prefix (the plug-in dialog on a virtual display, driven by
# window messages), and compares the effects' output of the Windows build
# with the Linux build's. Exits non-zero on any failure; the last line
# sums up.
#
# The editor loads the 32-bit plug-in. Its tests run under 32-bit Wine,
# and so do the 64-bit Windows build's under 64-bit Wine. Where this
# machine cannot execute 32-bit x86 code (some virtual machines lack the
# 32-bit mode), the 32-bit Wine runs in a virtual machine under emulation
# (scripts/run-32bit.sh, several minutes); where that cannot be set up
# either, the 32-bit tests are skipped and the 32-bit plug-in is checked
# by inspection only.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc)
started=$SECONDS
passed=0
failed=0
skipped=()

step() { echo "== $*"; }
ok() { passed=$((passed + 1)); echo "ok   $*"; }
fail() { failed=$((failed + 1)); echo "FAIL $*"; }
finish() {
    [[ ${#skipped[@]} -gt 0 ]] && echo "skipped: ${skipped[*]}"
    echo "the windows stage took $((SECONDS - started)) s"
    # The closing line in the form CI reads: "N passed, N failed, N skipped".
    echo "windows: $passed passed, $failed failed, ${#skipped[@]} skipped"
    [[ $failed -eq 0 ]] && exit 0 || exit 1
}

# --- Can this machine run 32-bit x86 code? ------------------------------------
# A 93-byte 32-bit Linux program that only exits: some virtual machines have
# no 32-bit mode, and there 32-bit Wine cannot start either.
mkdir -p build-win32
probe="$root/build-win32/probe32"  # not in /tmp, where running programs may be forbidden
printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08'\
'\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00'\
'\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'\
'\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
chmod +x "$probe"
can_run_32bit=false
"$probe" 2>/dev/null && can_run_32bit=true
rm -f "$probe"

# --- Packages -------------------------------------------------------------
source scripts/packages.sh
packages=("${TOVANA_BUILD_PACKAGES[@]}" python3
          g++-mingw-w64-i686-posix binutils-mingw-w64-i686
          g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
          wine wine64 fonts-wine xvfb xauth)
if $can_run_32bit; then
    packages+=(wine32:i386)
    if [[ $(id -u) -eq 0 ]] && ! dpkg --print-foreign-architectures | grep -x i386 >/dev/null; then
        dpkg --add-architecture i386
    fi
fi
if ! scripts/ensure-packages.sh "${packages[@]}"; then
    $can_run_32bit && echo "(first, as root: dpkg --add-architecture i386 && apt-get update)" >&2
    fail "packages"
    finish
fi

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=d;mshtml=d"   # no Mono or Gecko installer prompts
wine64=$(command -v wine64 || echo /usr/lib/wine/wine64)

wine32_loader=/usr/lib/wine/wine
arch_of() { [[ $1 == "$wine32_loader" ]] && echo win32 || echo win64; }

# True once the 32-bit Wine is to run in the emulator (see below).
wine32_emulated=false
emulated() { [[ $1 == "$wine32_loader" ]] && $wine32_emulated; }
# Runs COMMAND where WINE's programs can execute: here, or in the emulator.
where_wine_runs() {  # where_wine_runs WINE COMMAND...
    if emulated "$1"; then
        shift
        "$root/scripts/run-32bit.sh" --timeout 1200 -- "$@"
    else
        shift
        "$@"
    fi
}

# Runs a Windows program under Wine on a virtual display of its own (the
# plug-in's dialog needs one): run_wine WINE PREFIX DIR PROGRAM ARGS...
run_wine() {
    local wine=$1 prefix=$2 dir=$3
    shift 3
    (cd "$dir" && WINEARCH=$(arch_of "$wine") WINEPREFIX="$prefix" \
                  where_wine_runs "$wine" xvfb-run -a timeout 600 "$wine" "$@")
}

fresh_prefix() {
    local wine=$1 prefix=$2
    rm -rf "$prefix"
    if emulated "$wine"; then  # one emulator run, which ends once the prefix is written
        WINEARCH=win32 WINEPREFIX="$prefix" "$root/scripts/run-32bit.sh" --timeout 900 -- \
            sh -c '"$0" wineboot -i >/dev/null 2>&1; wineserver -w' "$wine"
        return
    fi
    WINEARCH=$(arch_of "$wine") WINEPREFIX="$prefix" timeout 300 "$wine" wineboot -i >/dev/null 2>&1
    WINEPREFIX="$prefix" timeout 60 wineserver -w 2>/dev/null || true
}

# Builds one cross build: build_windows DIR TOOLCHAIN [TARGET...]
build_windows() {
    local dir=$1 toolchain=$2
    shift 2
    local targets=()
    [[ $# -gt 0 ]] && targets=(--target "$@")
    mkdir -p "$dir"
    cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE="cmake/$toolchain" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
          -DTOVANA_BUILD_TESTS=ON -DTOVANA_BUILD_BENCH=OFF >"$dir/configure.log" 2>&1 &&
        cmake --build "$dir" -j"$jobs" "${targets[@]}" >"$dir/build.log" 2>&1
}

# The gtest programs of one build under Wine.
run_tests() {
    local wine=$1 build=$2 label=$3
    local prefix="$root/$build/wineprefix"
    local tests=(plugin_host_test platform_win32_test) test
    for test in "${tests[@]}"; do rm -f "$build/$test.status"; done
    if emulated "$wine"; then
        # One emulator run for the prefix and both programs: each run pays
        # for booting and for a cold start of Wine, a minute or more.
        rm -rf "$prefix"
        (cd "$build" && WINEARCH=win32 WINEPREFIX="$prefix" "$root/scripts/run-32bit.sh" --timeout 1800 -- \
            bash -c 'wine=$1; shift
                     "$wine" wineboot -i >/dev/null 2>&1; wineserver -w
                     echo "in the emulator: the prefix took $SECONDS s"
                     for test; do
                         started=$SECONDS
                         (cd bin && xvfb-run -a timeout 600 "$wine" "./$test.exe") >"$test.log" 2>&1
                         echo $? >"$test.status"
                         echo "in the emulator: $test took $((SECONDS - started)) s"
                     done' - "$wine" "${tests[@]}")
    else
        fresh_prefix "$wine" "$prefix"
        for test in "${tests[@]}"; do
            run_wine "$wine" "$prefix" "$build/bin" "./$test.exe" >"$build/$test.log" 2>&1
            echo $? >"$build/$test.status"
        done
    fi
    for test in "${tests[@]}"; do
        if [[ $(cat "$build/$test.status" 2>/dev/null) == 0 ]]; then
            ok "$label $test ($(grep -E '^\[  PASSED  \]' "$build/$test.log" | sed 's/\[  PASSED  \] //'))"
        else
            fail "$label $test (log: $build/$test.log)"
            grep -E '^\[  FAILED  \]|Failure|error' "$build/$test.log" | head -20
        fi
    done
}

# --- The 32-bit plug-in -----------------------------------------------------
if $can_run_32bit && ! timeout 60 "$wine32_loader" --version >/dev/null 2>&1; then
    fail "32-bit Wine does not start"
    can_run_32bit=false
fi
# Everything is built for 32-bit even where it cannot run: the tests'
# own 32-bit code (their __stdcall callbacks) is checked by the compiler.
step "Cross build, 32-bit (build-win32)"
if build_windows build-win32 mingw-w64-i686.cmake; then
    ok "32-bit build (plug-in, tests and calling-convention checks)"
    step "Inspection of build-win32/bin/ZentrixTvn.xfm"
    if python3 tests/win32/inspect_plugin.py i686-w64-mingw32-objdump build-win32/bin/ZentrixTvn.xfm; then
        ok "exports, imports and resources"
    else
        fail "exports, imports and resources"
    fi
else
    fail "32-bit build (log: build-win32/build.log)"
    tail -30 build-win32/build.log build-win32/configure.log
fi

if [[ -f build-win32/bin/ZentrixTvn.xfm ]] && ! $can_run_32bit; then
    step "Emulator for the 32-bit tests (this machine cannot execute 32-bit x86 code)"
    # The guest runs this machine's own 32-bit Wine.
    if [[ $(id -u) -eq 0 ]] && ! dpkg --print-foreign-architectures | grep -x i386 >/dev/null; then
        dpkg --add-architecture i386
    fi
    if scripts/ensure-packages.sh wine32:i386 && scripts/run-32bit.sh --prepare; then
        wine32_emulated=true
    else
        echo "The emulator cannot be set up here (see above); the 64-bit build's tests stand in."
    fi
fi
if [[ -f build-win32/bin/ZentrixTvn.xfm ]]; then
    if $can_run_32bit || $wine32_emulated; then
        step "32-bit tests under Wine$($wine32_emulated && echo ", in the emulator")"
        run_tests "$wine32_loader" build-win32 "32-bit"
    else
        echo "This machine cannot execute 32-bit x86 code; the 64-bit build's tests stand in."
        skipped+=("32-bit tests under Wine")
    fi
fi

# --- The 64-bit build under 64-bit Wine -------------------------------------
step "Cross build, 64-bit (build-win64)"
if build_windows build-win64 mingw-w64-x86_64.cmake; then
    ok "64-bit build"
    step "64-bit tests under Wine"
    run_tests "$wine64" build-win64 "64-bit"
else
    fail "64-bit build (log: build-win64/build.log)"
    tail -30 build-win64/build.log build-win64/configure.log
fi

# --- Same bytes on Linux and Windows ------------------------------------------
step "Same audio, settings and seed through the Linux and the Windows build"
# The Linux build of scripts/test.sh, configured here if it is not yet.
reference=${TOVANA_LINUX_BUILD:-build}
[[ $reference == /* ]] || reference="$root/$reference"
mkdir -p build-win64
if { [[ -f "$reference/CMakeCache.txt" ]] ||
     cmake -S . -B "$reference" -DCMAKE_BUILD_TYPE=RelWithDebInfo >build-win64/linux-reference.log 2>&1; } &&
   cmake --build "$reference" -j"$jobs" --target render_presets >>build-win64/linux-reference.log 2>&1; then
    rm -rf build-win64/linux-out && mkdir -p build-win64/linux-out
    (cd build-win64/linux-out && "$reference/bin/render_presets" render >/dev/null) || fail "Linux render"
    compare() {  # compare WINE BUILD LABEL
        local out="$2/render-out"
        rm -rf "$out" && mkdir -p "$out"
        if run_wine "$1" "$root/$2/wineprefix" "$out" "$root/$2/bin/render_presets.exe" render >/dev/null 2>&1 &&
           "$reference/bin/render_presets" compare build-win64/linux-out "$out"; then
            ok "$3 Windows build gives the Linux build's samples"
        else
            fail "$3 Windows build differs from the Linux build"
        fi
    }
    [[ -f build-win64/bin/render_presets.exe ]] && compare "$wine64" build-win64 "64-bit"
    { $can_run_32bit || $wine32_emulated; } && [[ -f build-win32/bin/render_presets.exe ]] &&
        compare "$wine32_loader" build-win32 "32-bit"
else
    fail "Linux reference build (log: build-win64/linux-reference.log)"
    tail -30 build-win64/linux-reference.log
fi

# --- tovana.exe beside the Linux tovana -----------------------------------------
same_samples() {  # same_samples A.wav B.wav: the samples compared as render_presets compares them
    python3 - "$1" "$2" <<'PY'
import array, sys, wave
def read(path):
    with wave.open(path) as w:
        return w.getnchannels(), w.getframerate(), array.array('h', w.readframes(w.getnframes()))
a, b = read(sys.argv[1]), read(sys.argv[2])
name = sys.argv[1].rsplit('/', 1)[-1]
if a[:2] != b[:2] or len(a[2]) != len(b[2]) or not a[2]:
    print("FAIL %-24s format or length differ" % name)
    sys.exit(1)
differing = [abs(x - y) for x, y in zip(a[2], b[2]) if x != y]
largest = max(differing, default=0)
ok = largest <= 1 and len(differing) * 1000 <= len(a[2])  # at most one in a thousand, by one
print("%s %-24s %d of %d samples differ, largest difference %d"
      % ("ok  " if ok else "FAIL", name, len(differing), len(a[2]), largest))
sys.exit(0 if ok else 1)
PY
}
step "tovana.exe, the command-line host, against the Linux tovana"
# The same commands on the same files, each side starting from an empty
# store (a file of its own on Linux, the plug-in's registry key deleted
# under Wine): the same samples must come out and the same settings stay.
# tovana.exe plays the apply options on the real dialog under Xvfb.
tovana_check() {  # tovana_check WINE BUILD LABEL
    local wine=$1 build=$2 label=$3
    local work="$root/$2/tovana-check" prefix="$root/$2/wineprefix" exe="$root/$2/bin/tovana.exe"
    rm -rf "$work" && mkdir -p "$work/linux" "$work/windows"
    cp data/voice_mono.wav data/voice_stereo.wav "$work/"
    [[ -d $prefix ]] || fresh_prefix "$wine" "$prefix"
    WINEARCH=$(arch_of "$wine") WINEPREFIX="$prefix" timeout 60 "$wine" reg delete \
        'HKCU\Software\Kestrum\Zentrix CoolEdit Plugin Tovana' /f >/dev/null 2>&1
    # Wine's session started here has no display; the next program must start a new one.
    WINEPREFIX="$prefix" timeout 60 wineserver -w 2>/dev/null || true
    lin() { (cd "$work" && TOVANA_REGISTRY="$work/linux.reg" "$reference/bin/tovana" "$@"); }
    win() { run_wine "$wine" "$prefix" "$work" "$exe" "$@"; }
    same_audio() { same_samples "$work/linux/$1" "$work/windows/$1"; }
    local log="$work/tovana.log"
    if [[ $(win --version 2>>"$log" | tr -d '\r') == "$(lin --version)" ]]; then
        ok "$label tovana.exe --version"
    else
        fail "$label tovana.exe --version"
    fi
    if win info 2>>"$log" | tr -d '\r' | grep -v '^plug-in:' >"$work/windows/info.txt" &&
       lin info | grep -v '^plug-in:' >"$work/linux/info.txt" && diff "$work/linux/info.txt" "$work/windows/info.txt"; then
        ok "$label tovana.exe info"
    else
        fail "$label tovana.exe info"
    fi
    apply_case() {  # apply_case OUTPUT ARGS...: the same apply on both sides, then the samples compared
        local name=$1
        shift
        lin apply -q --seed 11 "$@" "linux/$name" 2>>"$log" &&
            win apply -q --seed 11 "$@" "windows/$name" >>"$log" 2>&1 && same_audio "$name"
    }
    local all=true
    # The defaults from an empty store: a squelch at -90 dB, where digital
    # silence sits on the switch point.
    apply_case alienator.wav --effect alienator voice_mono.wav || all=false
    apply_case communicator.wav --effect communicator --preset "Shuttle Comm" voice_mono.wav || all=false
    apply_case deepenator.wav --effect deepenator --preset "Dark Lord" --set "Pitch Scale Left=-3" \
        --wet 80 --dry 20 voice_stereo.wav || all=false
    # The noise is random: the seed reaches the plug-in.
    apply_case cylonator.wav --effect cylonator --set "Freq=37" --set "Noise Left Enabled=1" voice_stereo.wav ||
        all=false
    $all && ok "$label tovana.exe apply gives the Linux tovana's samples" ||
        fail "$label tovana.exe apply differs from the Linux tovana (log: $log)"
    # What the applies stored, as each side shows it (the first line names the store).
    if win settings 2>>"$log" | tr -d '\r' | tail -n +2 >"$work/windows/settings.txt" &&
       lin settings | tail -n +2 >"$work/linux/settings.txt" &&
       grep -q '^active effect: Cylonator' "$work/windows/settings.txt" &&
       diff "$work/linux/settings.txt" "$work/windows/settings.txt"; then
        ok "$label tovana.exe settings shows what the applies stored"
    else
        fail "$label tovana.exe settings"
    fi
    local status=0
    win apply --wet 150 voice_mono.wav windows/bad.wav >"$work/bad.txt" 2>&1 || status=$?
    if [[ $status -eq 1 ]] && grep -q '^tovana: .*wet' "$work/bad.txt" && [[ ! -e $work/windows/bad.wav ]]; then
        ok "$label tovana.exe refuses a bad argument with status 1 and a message"
    else
        fail "$label tovana.exe bad argument (status $status: $(head -1 "$work/bad.txt"))"
    fi
    # A batch runs each file in a worker process of its own.
    if lin apply -q --seed 5 --effect cylonator --preset Sylon -o linux/batch voice_mono.wav voice_stereo.wav 2>>"$log" &&
       win apply -q --seed 5 --effect cylonator --preset Sylon -j 2 -o windows/batch voice_mono.wav voice_stereo.wav \
           >>"$log" 2>&1 &&
       same_audio batch/voice_mono.wav && same_audio batch/voice_stereo.wav; then
        ok "$label tovana.exe batch in worker processes"
    else
        fail "$label tovana.exe batch (log: $log)"
    fi
    # The output may replace the input, which Windows allows only once the input is closed.
    cp "$work/voice_mono.wav" "$work/linux/in-place.wav" && cp "$work/voice_mono.wav" "$work/windows/in-place.wav"
    if lin apply -q --seed 11 --effect communicator --preset "Bad Cell Phone" linux/in-place.wav linux/in-place.wav \
           2>>"$log" &&
       win apply -q --seed 11 --effect communicator --preset "Bad Cell Phone" windows/in-place.wav windows/in-place.wav \
           >>"$log" 2>&1 &&
       ! cmp -s "$work/voice_mono.wav" "$work/windows/in-place.wav" && same_audio in-place.wav; then
        ok "$label tovana.exe apply with the input as output"
    else
        fail "$label tovana.exe apply with the input as output (log: $log)"
    fi
    # The picture's rows go into stored deflate blocks there: any PNG reader takes them.
    if win apply -q --seed 3 --spectrogram windows/picture.png voice_mono.wav windows/picture.wav >>"$log" 2>&1 &&
       python3 - "$work/windows/picture.png" <<'PY'
import struct, sys, zlib
data = open(sys.argv[1], 'rb').read()
assert data[:8] == b'\x89PNG\r\n\x1a\n'
at, packed = 8, b''
while at < len(data):
    length, kind = struct.unpack('>I4s', data[at:at + 8])
    body = data[at + 8:at + 8 + length]
    assert struct.unpack('>I', data[at + 8 + length:at + 12 + length])[0] == zlib.crc32(kind + body), kind
    if kind == b'IHDR':
        width, height = struct.unpack('>II', body[:8])
    if kind == b'IDAT':
        packed += body
    at += 12 + length
assert len(zlib.decompress(packed)) == height * (width * 3 + 1)
PY
    then
        ok "$label tovana.exe --spectrogram writes a PNG"
    else
        fail "$label tovana.exe --spectrogram"
    fi
    # A damaged store: the plug-in's message box is read and answered, and the run fails.
    WINEARCH=$(arch_of "$wine") WINEPREFIX="$prefix" timeout 60 "$wine" reg delete \
        'HKCU\Software\Kestrum\Zentrix CoolEdit Plugin Tovana\Init\Last Alienator Settings' /v Squelch /f \
        >/dev/null 2>&1
    WINEPREFIX="$prefix" timeout 60 wineserver -w 2>/dev/null || true
    status=0
    win apply -q --effect communicator voice_mono.wav windows/damaged.wav >"$work/damaged.txt" 2>&1 || status=$?
    if [[ $status -eq 2 ]] && [[ ! -e $work/windows/damaged.wav ]] &&
       grep -q '^tovana: message from the plug-in: \[Zentrix CoolEdit Plugin Tovana: Registry Read Error\]' \
           "$work/damaged.txt"; then
        ok "$label tovana.exe shows the plug-in's message box and fails"
    else
        fail "$label tovana.exe with a damaged store (status $status: $(head -1 "$work/damaged.txt"))"
    fi
}
# In the emulator every boot costs a minute or more: one boot runs two
# applies of the 32-bit tovana.exe, with the dialog played and the noise
# seeded, and their samples are compared with the Linux tovana's.
tovana_check_emulated() {  # tovana_check_emulated BUILD LABEL
    local build=$1 label=$2
    local work="$root/$build/tovana-check" prefix="$root/$build/wineprefix"
    rm -rf "$work" && mkdir -p "$work/linux" "$work/windows"
    cp data/voice_mono.wav data/voice_stereo.wav "$work/"
    local cases=(
        "deepenator.wav --effect deepenator --preset Dark\ Lord --set Pitch\ Scale\ Left=-3 --wet 80 --dry 20 voice_stereo.wav"
        "cylonator.wav --effect cylonator --set Freq=37 --set Noise\ Left\ Enabled=1 voice_mono.wav")
    local all=true entry args
    for entry in "${cases[@]}"; do
        eval "args=($entry)"
        (cd "$work" && TOVANA_REGISTRY="$work/linux.reg" "$reference/bin/tovana" apply -q --seed 11 \
             "${args[@]:1}" "linux/${args[0]}") || all=false
    done
    (cd "$work" && WINEARCH=win32 WINEPREFIX="$prefix" "$root/scripts/run-32bit.sh" --timeout 900 -- \
        bash -c 'wine=$1 exe=$2; shift 2
                 "$wine" reg delete "HKCU\Software\Kestrum\Zentrix CoolEdit Plugin Tovana" /f >/dev/null 2>&1
                 wineserver -w
                 for entry; do
                     eval "args=($entry)"
                     xvfb-run -a timeout 600 "$wine" "$exe" apply -q --seed 11 "${args[@]:1}" "windows/${args[0]}"
                 done' - "$wine32_loader" "$root/$build/bin/tovana.exe" "${cases[@]}") >"$work/tovana.log" 2>&1
    for entry in "${cases[@]}"; do
        eval "args=($entry)"
        same_samples "$work/linux/${args[0]}" "$work/windows/${args[0]}" || all=false
    done
    $all && ok "$label tovana.exe apply gives the Linux tovana's samples (in the emulator)" ||
        fail "$label tovana.exe apply differs from the Linux tovana (log: $work/tovana.log)"
}
# Like the plug-in, tovana.exe needs nothing but the system's own DLLs.
tovana_imports() {  # tovana_imports OBJDUMP BUILD LABEL
    local exe="$2/bin/tovana.exe" others
    [[ -f $exe ]] || { fail "$3 tovana.exe was not built"; return; }
    others=$("$1" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '[:upper:]' '[:lower:]' |
             grep -vxE '(advapi32|comctl32|gdi32|kernel32|msvcrt|shell32|shlwapi|user32)\.dll' | tr '\n' ' ')
    if [[ -z $others ]]; then
        ok "$3 tovana.exe imports system DLLs only"
    else
        fail "$3 tovana.exe imports $others"
    fi
}
tovana_imports i686-w64-mingw32-objdump build-win32 "32-bit"
tovana_imports x86_64-w64-mingw32-objdump build-win64 "64-bit"
if cmake --build "$reference" -j"$jobs" --target tovana >>build-win64/linux-reference.log 2>&1; then
    [[ -f build-win64/bin/tovana.exe ]] && tovana_check "$wine64" build-win64 "64-bit"
    if [[ -f build-win32/bin/tovana.exe ]]; then
        if $can_run_32bit; then
            tovana_check "$wine32_loader" build-win32 "32-bit"
        elif $wine32_emulated; then
            tovana_check_emulated build-win32 "32-bit"
        fi
    fi
else
    fail "Linux tovana (log: build-win64/linux-reference.log)"
fi

finish
