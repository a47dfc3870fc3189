#!/usr/bin/env bash
# Makes the release package from the built tree, checks what it holds and what its executables
# import, and starts the program from the unpacked folder in a fresh prefix.
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

summary
