#!/usr/bin/env bash
# The Windows build of the core and quorlin-cli, tested under Wine against the simulated unit:
#
#  1. installs what is missing (MinGW-w64's -posix compilers, Wine, GoogleTest's sources);
#  2. builds quorlin-sim and quorlin-cli for Linux (LINUX_BUILD, default build/) and
#     cross-builds quorlin-cli.exe and the Windows tests into build-windows/;
#  3. makes a private Wine prefix with one persistent wineserver, and serves simulated units on
#     pseudo-terminals: COM7 for the Windows tests, COM5 for quorlin-cli.exe, one for the Linux
#     tool;
#  4. runs the Windows tests, then the same command lines through both tools, one after the
#     other against their own unit, and compares standard output, messages and exit status.
#
# Wine asks a serial port for its modem lines on every event wait; a pseudo-terminal refuses, and
# WaitCommEvent would end at once. A small preloaded library (tests/windows/support) reports the
# lines of a pseudo-terminal as up.
#
# QUORLIN_BUSY_CORES=1 keeps every core busy while the Windows tests and the cases run: one
# CPU-burning process per core, started after the builds and always ended (also when the script
# fails or is interrupted), so that faults that only show on a loaded machine show here.
#   scripts/test-windows.sh            (exit status 0: everything matched)
#   QUORLIN_BUSY_CORES=1 scripts/test-windows.sh
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
# Absolute: the tools run from folders of their own.
linux_build="$(realpath -m "${LINUX_BUILD:-$here/build}")"
win_build="$(realpath -m "${WINDOWS_BUILD:-$here/build-windows}")"
started=$(date +%s)
stamp() { echo "== windows: $1 ($(( $(date +%s) - started )) s)"; }

# --- 1. packages -----------------------------------------------------------------------------
# shellcheck source=lib/install-missing.sh
source "$here/scripts/lib/install-missing.sh"
install_missing g++-mingw-w64-x86-64-posix wine64 wine googletest

# --- 2. builds -------------------------------------------------------------------------------
stamp "Linux quorlin-sim and quorlin-cli"
BUILD_TARGETS="quorlin-sim quorlin-cli" scripts/setup.sh "$linux_build" >/dev/null
stamp "cross build"
cmake -S "$here" -B "$win_build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchains/mingw-w64-x86_64.cmake" \
    -DQUORLIN_QT=OFF -DQUORLIN_GUI=OFF -DQUORLIN_BENCH=OFF -DQUORLIN_WERROR=ON \
    ${QUORLIN_CMAKE_LAUNCHER:+-DCMAKE_CXX_COMPILER_LAUNCHER=$QUORLIN_CMAKE_LAUNCHER} >/dev/null
cmake --build "$win_build" -j "$(nproc)" --target quorlin-cli quorlin_windows_tests \
    quorlin_windows_portable_tests
shim="$win_build/libptymodemlines.so"
gcc -shared -fPIC -O2 -Wall -Wextra -Werror -o "$shim" tests/windows/support/PtyModemLines.c -ldl

# --- 3. Wine and the simulated units ---------------------------------------------------------
work="$(mktemp -d /tmp/quorlin-windows.XXXXXX)"
export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
# No Mono or Gecko: nothing here needs them, and Wine would offer to install them. No ALSA
# driver either: the machine has no sound devices, and it only fills the log with complaints.
export WINEDLLOVERRIDES="mscoree,mshtml,winealsa.drv="
# The Linux tool's settings and program library stay in the run's folder too.
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
sim_pids=()
burner_pids=()
stop_burners() {
    local pid
    for pid in "${burner_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${burner_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    burner_pids=()
}
cleanup() {
    stop_burners
    for pid in "${sim_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
# An interrupted run ends through the same cleanup (the EXIT trap), burners and units included.
trap 'exit 130' INT
trap 'exit 143' TERM
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
stamp "Wine prefix"
mkdir -p "$WINEPREFIX"
# One server at a time for the whole run (ended by cleanup); wineboot returns once the prefix is
# made. Its state dump when it is ended goes to a log of its own.
wineserver -p 2>"$win_build/wineserver.log"
wineboot --init >/dev/null 2>&1
# The units' ports, given to Wine as its own configuration of COM ports: Wine makes them system
# devices when it starts (as a Windows machine has its ports before any program runs), so the
# system's device names know them too (the port list, the connection check).
sim "$work/sim-tests"
wine reg add 'HKLM\Software\Wine\Ports' /v COM7 /d "$sim_path" /f >/dev/null 2>&1
sim "$work/sim-windows"
wine reg add 'HKLM\Software\Wine\Ports' /v COM5 /d "$sim_path" /f >/dev/null 2>&1
sim "$work/sim-linux"
linux_port="$sim_path"
wineserver -k
wineserver -w
wineserver -p 2>>"$win_build/wineserver.log"
win() { LD_PRELOAD="$shim" wine "$@"; }

# --- 4. the Windows tests --------------------------------------------------------------------
if [ "${QUORLIN_BUSY_CORES:-0}" = 1 ]; then
    for _ in $(seq 1 "$(nproc)"); do
        sh -c 'while :; do :; done' &
        burner_pids+=("$!")
    done
    stamp "every core busy: ${#burner_pids[@]} burners (${burner_pids[*]})"
fi
stamp "Windows tests"
QUORLIN_TEST_COM=COM7 win "$win_build/tests/windows/quorlin_windows_tests.exe" --gtest_brief=1
win "$win_build/tests/windows/quorlin_windows_portable_tests.exe" --gtest_brief=1

# --- 5. quorlin-cli.exe against quorlin-cli --------------------------------------------------
stamp "quorlin-cli.exe against the Linux tool"
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
same name-bank 13 Empty
same banks
same delete-bank 13
same banks
# Error paths: refusals by the unit, by the files, by the command line.
same programs 77
same info 10 126
same load 10 no-such-file.sig
same backup 10 no-such-folder/below
same delete 77 0
same delete-bank 12
same bogus
same programs 100

# Every frame of a run, as --trace writes it, without the times.
same --trace trace.txt programs 10
cases=$((cases + 1))
if [ -s "$work/linux/trace.txt" ] &&
   diff <(cut -f2- "$work/linux/trace.txt") <(tr -d '\r' <"$work/windows/trace.txt" | cut -f2-) >/dev/null; then
    echo "same frames: --trace ($(wc -l <"$work/linux/trace.txt") lines)"
else
    failures=$((failures + 1))
    echo "DIFFERS: the frames of --trace"
    diff <(cut -f2- "$work/linux/trace.txt") <(tr -d '\r' <"$work/windows/trace.txt" | cut -f2-) | head -10 || true
fi

# The connection check: the same lines, where Linux says "terminal device" Windows says "serial
# port"; the round-trip time is left out.
same_doctor() {  # same_doctor LINUX_PORT WINDOWS_PORT
    cases=$((cases + 1))
    local ls=0 ws=0 lo wo
    (cd "$work/linux" && "$linux_build/cli/quorlin-cli" --serial "$1" doctor \
        >"$work/l.out" 2>&1) || ls=$?
    (cd "$work/windows" && win "$win_build/cli/quorlin-cli.exe" --serial "$2" doctor \
        >"$work/w.out" 2>&1) || ws=$?
    lo="$(normalise <"$work/l.out" | sed -e 's/terminal device/serial port/' -e 's/in [0-9]* ms/in N ms/')"
    wo="$(normalise <"$work/w.out" | sed -e 's/in [0-9]* ms/in N ms/')"
    if [ "$ls" = "$ws" ] && [ "$lo" = "$wo" ]; then
        echo "same: quorlin-cli doctor (exit $ls)"
    else
        failures=$((failures + 1))
        echo "DIFFERS: quorlin-cli doctor (exit $ls on Linux, $ws on Windows)"
        diff <(echo "$lo") <(echo "$wo") | head -20 || true
    fi
}
same_doctor "$linux_port" COM5

# Windows' own answers: a COM name the system does not know, the demo unit, the commands that
# need the desktop build, MIDI without devices, and the log file of --verbose.
expect() {  # expect NAME STATUS PATTERN ARGS...: exit STATUS and PATTERN in the output
    local name="$1" want="$2" pattern="$3" status=0
    shift 3
    cases=$((cases + 1))
    (cd "$work/windows" && win "$win_build/cli/quorlin-cli.exe" "$@" >"$work/w.out" 2>&1) ||
        status=$?
    if [ "$status" = "$want" ] && tr -d '\r' <"$work/w.out" | grep -q -- "$pattern"; then
        echo "as it should: $name (exit $status): $(tr -d '\r' <"$work/w.out" | grep -m1 -- "$pattern")"
    else
        failures=$((failures + 1)); echo "WRONG: $name (exit $status)"; cat "$work/w.out"
    fi
}
expect "doctor on a port that does not exist" 1 "^FAIL port COM9 - no such port (this computer has .*COM5" \
    --serial COM9 doctor
expect "the demo unit" 0 "^10 Mine$" --demo banks
expect "backup-unit" 2 "backup-unit needs the desktop build" --serial COM5 backup-unit whole
[ ! -e "$work/windows/whole" ] || { failures=$((failures + 1)); echo "WRONG: backup-unit wrote"; }
expect "library" 2 "library needs the desktop build" library search Hall
expect "import" 2 "import needs the desktop build" import fetched
expect "MIDI without devices" 1 "^MIDI input device 0 does not exist. This computer has no MIDI input devices.$" \
    --midi-in 0 --midi-out 0 banks
expect "doctor over MIDI without devices" 1 "^FAIL MIDI output 0 - no such device; this computer has no MIDI outputs$" \
    --midi-in 0 --midi-out 0 doctor
expect "--verbose" 0 "^quorlin-cli: logging to .*/Brisca/Quorlin/log/quorlin-cli.log$" \
    --serial COM5 --verbose banks
log="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/Brisca/Quorlin/log/quorlin-cli.log"
cases=$((cases + 1))
if grep -q "REPLY" "$log" 2>/dev/null; then
    echo "as it should: the log file has the frames ($(wc -l <"$log") lines)"
else
    failures=$((failures + 1)); echo "WRONG: no frames in $log"; ls -R "$WINEPREFIX/drive_c/users" | head
fi

# A port that does not exist.
cases=$((cases + 1))
status=0
win "$win_build/cli/quorlin-cli.exe" --serial COM9 banks >"$work/w.out" 2>"$work/w.err" || status=$?
# The system's text inside the message as on Linux: no line break of its own, one full stop.
if [ "$status" = 1 ] && tr -d '\r' <"$work/w.err" | grep -q "^Error opening serial port COM9 - .*[^.]\.$"; then
    echo "refused as it should: a port that does not exist (exit 1): $(tr -d '\r' <"$work/w.err")"
else
    failures=$((failures + 1)); echo "WRONG: COM9 (exit $status)"; cat "$work/w.err"
fi

stop_burners
stamp "done: $((cases - failures)) of $cases cases the same"
[ "$failures" -eq 0 ]
