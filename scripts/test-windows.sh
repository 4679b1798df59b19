#!/usr/bin/env bash
# The Windows build of the core and quorlin-cli, tested under Wine against the simulated unit:
#
#  1. installs what is missing (MinGW-w64's -posix compilers, Wine, GoogleTest's sources);
#  2. builds quorlin-sim and quorlin-cli for Linux (LINUX_BUILD, default build/) and
#     cross-builds quorlin-cli.exe and quorlin_windows_tests.exe into build-windows/;
#  3. makes a private Wine prefix with one persistent wineserver, and serves two simulated units
#     on pseudo-terminals: one as COM5 for the Windows programs, one for the Linux tool;
#  4. runs the Windows tests, then the same command lines through both tools, one after the
#     other against their own unit, and compares standard output, messages and exit status.
#
# Wine asks a serial port for its modem lines on every event wait; a pseudo-terminal refuses, and
# WaitCommEvent would end at once. A small preloaded library (tests/windows/support) reports the
# lines of a pseudo-terminal as up.
#   scripts/test-windows.sh            (exit status 0: everything matched)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
linux_build="${LINUX_BUILD:-$here/build}"
win_build="${WINDOWS_BUILD:-$here/build-windows}"
started=$(date +%s)
stamp() { echo "== windows: $1 ($(( $(date +%s) - started )) s)"; }

# --- 1. packages -----------------------------------------------------------------------------
packages=(g++-mingw-w64-x86-64-posix wine64 wine googletest)
missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    stamp "installing ${missing[*]}"
    sudo_cmd=""
    [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
    # Other builds on the machine may hold the dpkg lock: wait for it, and try again.
    for attempt in 1 2 3 4 5; do
        if $sudo_cmd apt-get -o DPkg::Lock::Timeout=120 update -qq &&
           DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get -o DPkg::Lock::Timeout=300 install \
               -y -qq --no-install-recommends "${missing[@]}" >/dev/null; then
            break
        fi
        [ "$attempt" -eq 5 ] && { echo "apt-get failed" >&2; exit 1; }
        sleep 10
    done
fi

# --- 2. builds -------------------------------------------------------------------------------
stamp "Linux quorlin-sim and quorlin-cli"
BUILD_TARGETS="quorlin-sim quorlin-cli" scripts/setup.sh "$linux_build" >/dev/null
stamp "cross build"
cmake -S "$here" -B "$win_build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchains/mingw-w64-x86_64.cmake" \
    -DQUORLIN_QT=OFF -DQUORLIN_GUI=OFF -DQUORLIN_BENCH=OFF -DQUORLIN_WERROR=ON \
    ${QUORLIN_CMAKE_LAUNCHER:+-DCMAKE_CXX_COMPILER_LAUNCHER=$QUORLIN_CMAKE_LAUNCHER} >/dev/null
cmake --build "$win_build" -j "$(nproc)" --target quorlin-cli quorlin_windows_tests
shim="$win_build/libptymodemlines.so"
gcc -shared -fPIC -O2 -Wall -Wextra -Werror -o "$shim" tests/windows/support/PtyModemLines.c -ldl

# --- 3. Wine and the simulated units ---------------------------------------------------------
work="$(mktemp -d /tmp/quorlin-windows.XXXXXX)"
export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
# No Mono or Gecko: nothing here needs them, and Wine would offer to install them. No ALSA
# driver either: the machine has no sound devices, and it only fills the log with complaints.
export WINEDLLOVERRIDES="mscoree,mshtml,winealsa.drv="
sim_pids=()
cleanup() {
    for pid in "${sim_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
stamp "Wine prefix"
mkdir -p "$WINEPREFIX"
# One server for the whole run (ended by cleanup); wineboot returns once the prefix is made.
# Its state dump when it is ended goes to a log of its own.
wineserver -p 2>"$win_build/wineserver.log"
wineboot --init >/dev/null 2>&1

sim_path=""
sim() {  # sim OUTPUT_FILE [args...]: starts quorlin-sim; its terminal's path in $sim_path
    local out="$1"
    shift
    "$linux_build/sim/quorlin-sim" "$@" >"$out" 2>"$out.err" &
    sim_pids+=("$!")
    for _ in $(seq 1 100); do
        if [ -s "$out" ]; then sim_path="$(head -1 "$out")"; return 0; fi
        sleep 0.1
    done
    echo "quorlin-sim did not start" >&2
    exit 1
}
win() { LD_PRELOAD="$shim" wine "$@"; }

# --- 4. the Windows tests --------------------------------------------------------------------
stamp "Windows tests"
sim "$work/sim-tests" --link "$WINEPREFIX/dosdevices/com7"
QUORLIN_TEST_COM=COM7 win "$win_build/tests/windows/quorlin_windows_tests.exe" --gtest_brief=1

# --- 5. quorlin-cli.exe against quorlin-cli --------------------------------------------------
stamp "quorlin-cli.exe against the Linux tool"
sim "$work/sim-linux"
linux_port="$sim_path"
sim "$work/sim-windows" --link "$WINEPREFIX/dosdevices/com5"
mkdir -p "$work/linux" "$work/windows"
failures=0
cases=0

# Runs one command line through both tools, each in its own folder against its own unit, and
# compares exit status, standard output and messages. Port names are written PORT, Windows line
# ends and path separators as on Linux.
normalise() { sed -e 's/\r$//' -e "s#$linux_port#PORT#g" -e 's#COM5#PORT#g' -e 's#\\#/#g'; }
same() {  # same ARGS...
    cases=$((cases + 1))
    local lo le ls wo we ws
    (cd "$work/linux" && "$linux_build/cli/quorlin-cli" --serial "$linux_port" "$@" \
        >"$work/l.out" 2>"$work/l.err") && ls=0 || ls=$?
    (cd "$work/windows" && win "$win_build/cli/quorlin-cli.exe" --serial COM5 "$@" \
        >"$work/w.out" 2>"$work/w.err") && ws=0 || ws=$?
    lo="$(normalise <"$work/l.out")"; le="$(normalise <"$work/l.err")"
    wo="$(normalise <"$work/w.out")"; we="$(normalise <"$work/w.err")"
    if [ "$ls" != "$ws" ] || [ "$lo" != "$wo" ] || [ "$le" != "$we" ]; then
        failures=$((failures + 1))
        echo "DIFFERS: quorlin-cli $* (exit $ls on Linux, $ws on Windows)"
        diff <(echo "$lo"; echo "--- messages"; echo "$le") \
             <(echo "$wo"; echo "--- messages"; echo "$we") | head -20 || true
    else
        echo "same: quorlin-cli $* (exit $ls)"
    fi
}
same_files() {  # same_files NAME: the files each tool wrote under NAME are the same
    cases=$((cases + 1))
    if diff -r "$work/linux/$1" "$work/windows/$1" >/dev/null; then
        echo "same files: $1"
    else
        failures=$((failures + 1))
        echo "DIFFERS: the files in $1"
        diff -r "$work/linux/$1" "$work/windows/$1" | head -10 || true
    fi
}

same banks
same programs 10
same info 0 0
same find Hall
mkdir -p "$work/linux/fetched" "$work/windows/fetched"
same fetch 0 1 fetched/program.sig
same_files fetched
mkdir -p "$work/linux/bank10" "$work/windows/bank10"
same backup 10 bank10
same_files bank10
same load 10 fetched/program.sig
same programs 10
same delete 10 0
same programs 10
same name-bank 12 Windows
same banks
# Error paths: refusals by the unit, by the files, by the command line.
same programs 77
same info 10 126
same load 10 no-such-file.sig
same backup 10 no-such-folder/below
same delete 77 0
same bogus
same programs 100

# The whole-unit commands need the desktop build; a port that does not exist.
cases=$((cases + 1))
status=0
(cd "$work/windows" && win "$win_build/cli/quorlin-cli.exe" --serial COM5 backup-unit whole \
    >"$work/w.out" 2>"$work/w.err") || status=$?
if [ "$status" = 2 ] && grep -q "needs the desktop build" "$work/w.err" && [ ! -e "$work/windows/whole" ]; then
    echo "refused as it should: backup-unit (exit 2)"
else
    failures=$((failures + 1)); echo "WRONG: backup-unit on Windows (exit $status)"; cat "$work/w.err"
fi
cases=$((cases + 1))
status=0
win "$win_build/cli/quorlin-cli.exe" --serial COM9 banks >"$work/w.out" 2>"$work/w.err" || status=$?
# The system's text inside the message as on Linux: no line break of its own, one full stop.
if [ "$status" = 1 ] && tr -d '\r' <"$work/w.err" | grep -q "^Error opening serial port COM9 - .*[^.]\.$"; then
    echo "refused as it should: a port that does not exist (exit 1): $(tr -d '\r' <"$work/w.err")"
else
    failures=$((failures + 1)); echo "WRONG: COM9 (exit $status)"; cat "$work/w.err"
fi

stamp "done: $((cases - failures)) of $cases cases the same"
[ "$failures" -eq 0 ]
