#!/usr/bin/env bash
# Makes the release package from the built tree, checks what it holds and what its executables
# import, and starts the program from the unpacked folder in a fresh prefix; then scripts/run in a
# prefix named by WINEPREFIX, with a serial program there across the window's exit, and its stop.
# Usage: run.sh <build dir>.
set -euo pipefail
source "$(dirname "$0")/../lib.sh"

# What Windows itself provides (sockets too, for a hub that carries data); anything else would
# have to ship beside the executables.
SYSTEM_DLLS="ADVAPI32.dll COMCTL32.dll GDI32.dll IPHLPAPI.dll KERNEL32.dll msvcrt.dll SHELL32.dll USER32.dll WS2_32.dll"

imported_dlls() { x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\tDLL Name: //p' | sort -u; }

# Every import is a system DLL (compared without letter case, as Windows does).
imports_only_system() {
    local dll
    for dll in $(imported_dlls "$1"); do
        if ! grep -qiw -- "$dll" <<<"$SYSTEM_DLLS"; then
            echo "         $(basename "$1") imports $dll"
            return 1
        fi
    done
}

# A stand-in started with no arguments refuses them in its own words: it loaded and ran.
runs_and_speaks() {
    local said
    said=$(wine "$1" 2>&1 </dev/null || true)
    grep -q "^$2:" <<<"$said"
}

e2e_setup "$1" "$(cd "$1" && pwd)/e2e/package"

step "1. scripts/package makes the zip"
zip=$(SKIP_BUILD=1 BUILD_DIR="$BUILD_DIR" "$E2E_REPO/scripts/package" | tail -n 1)
check "it names the zip it made" test -f "$zip"
name=$(basename "$zip" .zip)
check_eq "named after the project's version" \
    "PontisManager-$(sed -n 's/^project(PontisManager VERSION \([0-9.]*\).*/\1/p' "$E2E_REPO/CMakeLists.txt")" "$name"
check_eq "it holds the program, the two stand-ins, the pairs' script and relay, and the read-me" \
    "$(printf '%s\n' "$name/" "$name/PontisManager.exe" "$name/README.txt" "$name/driver/" \
        "$name/driver/hub4com.exe" "$name/driver/pty-pairs.sh" "$name/driver/pty-relay" "$name/driver/setupc.exe")" \
    "$(cmake -E tar tf "$zip" | sort)"
mkdir -p "$E2E_OUT/unpacked"
check "it unpacks" bash -c "cd '$E2E_OUT/unpacked' && cmake -E tar xf '$zip'"
check "the read-me says where the real tools go" \
    grep -q "real hub (hub4com.exe) into driver in place of the stand-ins" "$E2E_OUT/unpacked/$name/README.txt"
end_step

step "2. The executables import system DLLs only"
for exe in PontisManager.exe driver/setupc.exe driver/hub4com.exe; do
    check "$exe: $(imported_dlls "$E2E_OUT/unpacked/$name/$exe" | paste -sd' ' -)" \
        imports_only_system "$E2E_OUT/unpacked/$name/$exe"
done
end_step

step "3. The program and the stand-ins run from the unpacked folder"
install_program "$E2E_OUT/unpacked/$name"
check "no DLL beside the executables" test -z "$(find "$INSTALL_DIR" -iname '*.dll')"
check "the main window opens" start_manager
check_eq "with an empty list" 0 "$(row_count "$MAIN_CAPTION")"
check "File / Exit closes it" close_manager
check "setupc.exe runs" runs_and_speaks "$INSTALL_DIR/driver/setupc.exe" setupc
check "hub4com.exe runs" runs_and_speaks "$INSTALL_DIR/driver/hub4com.exe" hub4com
check "setupc.exe makes a pair that opens as COM5" wine "$INSTALL_DIR/driver/setupc.exe" install 1 HiddenMode=yes \
    "PortName=COM5,EmuBR=yes,AddRTTO=0,AddRITO=10"
check "the port is there" test -c "$WINEPREFIX/dosdevices/com5"
end_step

step "4. scripts/run in a prefix of one's own: the bridges outlive the window; scripts/run stop ends all it started"
ECHO=$(first_free_port 1)
socat TCP-LISTEN:"$ECHO",bind=127.0.0.1,reuseaddr,fork PIPE </dev/null >/dev/null 2>&1 &
echo_pid=$!
SUITE_PREFIX=$WINEPREFIX RUN_BUILD=$E2E_OUT/run-build
export WINEPREFIX=$(realpath -m "$E2E_OUT/my prefix")
run_stop() { BUILD_DIR=$RUN_BUILD "$E2E_REPO/scripts/run" stop >"$E2E_OUT/stop.txt" 2>&1; }
trap 'status=$?; run_stop; WINEPREFIX=$SUITE_PREFIX; e2e_teardown || status=1; exit $status' EXIT
mkdir -p "$RUN_BUILD" && cp -r "$BUILD_DIR/bin" "$RUN_BUILD/"  # its tools' state and logs stay out of build/bin
rm -f "$RUN_BUILD/bin/driver/"*.state "$RUN_BUILD/bin/driver/"*.log
SKIP_BUILD=1 BUILD_DIR=$RUN_BUILD "$E2E_REPO/scripts/run" >"$E2E_OUT/run.txt" 2>&1 &
run_job=$!
check "the main window opens" window_opens "$MAIN_CAPTION" 90
check "it names the prefix, and how to run one's own program there" \
    grep -qxF "  WINEPREFIX=$(printf %q "$WINEPREFIX") wine yourprogram.exe" "$E2E_OUT/run.txt"
for v in COM=COM5 IP=127.0.0.1 Port=$ECHO Connect=4; do
    wine reg add "$PROGRAM_KEY\\Bridges\\1" /v "${v%%=*}" /d "${v#*=}" /f >/dev/null 2>&1 </dev/null || true
done
check "pair 1 is made for COM5" wine "$RUN_BUILD/bin/driver/setupc.exe" install 1 HiddenMode=yes PortName=COM5,EmuBR=yes,AddRTTO=0,AddRITO=10
check "a click on &Start bridges" click_control "$MAIN_CAPTION" "&Start bridges"
check "starts the hub" wait_until 10 hub_running
hub=$(hub_pids)
# A byte every 400 ms, 15 of them, each back before the next: across the window's exit.
wine "$BUILD_DIR/tests/serial_client.exe" gaps COM5 400 15 >"$E2E_OUT/client.txt" 2>/dev/null </dev/null &
client=$!
sleep 1
check "File / Exit closes the window" close_manager
check "scripts/run ends, saying the bridges keep running" wait_until 15 grep -q '^The bridges keep running' "$E2E_OUT/run.txt"
wait "$run_job" || true
check "the serial program still runs" kill -0 "$client" 2>/dev/null
wait "$client" || true
check "every byte it wrote came back in time" grep -q '^14 ' "$E2E_OUT/client.txt"
check_eq "the same hub runs" "$hub" "$(hub_pids)"
check_eq "the pair carries data afterwards" "ok 4096" \
    "$(wine "$BUILD_DIR/tests/serial_client.exe" echo COM5 1 4096 2>/dev/null </dev/null | tr -d '\r')"
kill "$echo_pid" 2>/dev/null || true
check "scripts/run stop" run_stop
no_process_left() { [ -z "$(prefix_pids)" ]; }
check "no process of the prefix is left" wait_until 5 no_process_left
export WINEPREFIX=$SUITE_PREFIX
trap 'status=$?; e2e_teardown || status=1; exit $status' EXIT
end_step

summary
