# Shared by scripts/test, scripts/run and the other scripts: install what is missing, build,
# and set up Wine and a virtual display. Source it from the repository's root.

PACKAGES=(cmake googletest mingw-w64 g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth xdotool
          imagemagick fonts-wine socat ser2net python3 zip procps nftables iproute2 libcap2-bin)
BUILD_DIR=${BUILD_DIR:-$PWD/build}

# Wine without its preloader (as Debian ships it) now and then fails to start a program: address
# randomisation put something where Windows keeps its shared user data ("failed to map the
# shared user data"). Runs the calling script again with randomisation off for everything it
# starts; give it the script's path and arguments.
without_address_randomisation() {
    [ -z "${PONTIS_NO_ASLR:-}" ] || return 0
    command -v setarch >/dev/null || return 0
    export PONTIS_NO_ASLR=1
    exec setarch "$(uname -m)" -R "$@"
}

ensure_packages() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# build [target...]: configures once, then builds the targets named, or everything. The toolchain
# file counts only when the build folder is made; given again, CMake calls it unused.
build() {
    local toolchain=()
    [ -f "$BUILD_DIR/CMakeCache.txt" ] || toolchain=(-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake)
    cmake -S . -B "$BUILD_DIR" "${toolchain[@]}" >/dev/null
    local targets=()
    [ $# -eq 0 ] || targets=(--target "$@")
    cmake --build "$BUILD_DIR" -j "$(nproc)" "${targets[@]}" -- --no-print-directory
}

# Wine in a prefix of its own; the server stays up for the whole run.
wine_env() {
    export WINEPREFIX=${WINEPREFIX:-$BUILD_DIR/wineprefix}
    # Wine's own error lines stay on: a program that cannot even start says why.
    export WINEDEBUG=-all,err+all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export WINEARCH=win64
}

# Starts an X server when there is no display; sets XVFB_PID when it did.
XVFB_PID=""
ensure_display() {
    [ -n "${DISPLAY:-}" ] && xdotool getdisplaygeometry >/dev/null 2>&1 && return 0
    local fifo
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    # A session of its own: a Ctrl+C meant for the script that started it does not end it.
    setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    XVFB_PID=$!
    local n
    read -r n <"$fifo"
    rm -f "$fifo"
    export DISPLAY=":$n"
}

# Creates the prefix once; starts the server and cures Wine's three slowdowns: helper processes
# holding our output open, the desktop process restarting between windows, and the ~2 s wait
# on each hide without a window manager.
start_wine() {
    local made=""
    if [ ! -f "$WINEPREFIX/system.reg" ]; then made=1; fi
    make_prefix || return 1
    wineserver -p >/dev/null 2>&1 </dev/null
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null
    # On a new prefix the value takes hold only after the server starts afresh: in that first
    # session, once the notification area's window was there, every window that hid waited ~2 s.
    # The tests' prefix asks for that ("start_wine restart"); the end-to-end suites were made in
    # the first session of theirs, and keep it.
    if [ -n "$made" ] && [ "${1:-}" == restart ]; then
        wineserver -k >/dev/null 2>&1 </dev/null || true
        wineserver -p >/dev/null 2>&1 </dev/null
        # The first program of a session boots it (services, drivers), and those helpers keep
        # that program's standard error open while the server lives: were it ctest's listing of
        # a test executable, the listing would never end. So a first program here, output nowhere.
        wine reg query 'HKCU\Software\Wine\X11 Driver' /v Managed >/dev/null 2>&1 </dev/null
    fi
}

# Creates the prefix when it is missing, with Wine's own fonts (Marlett draws the caption
# buttons) where this Wine build looks for them.
make_prefix() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        # wineboot's exit status says little on a new prefix; the prefix's files tell.
        wineboot -i >/dev/null 2>&1 </dev/null || true
        wineserver -w >/dev/null 2>&1 </dev/null || true  # until the new registry is on disk
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            echo "Could not create the Wine prefix $WINEPREFIX" >&2
            return 1
        fi
    fi
    local fonts="$WINEPREFIX/drive_c/windows/Fonts"
    [ -f "$fonts/marlett.ttf" ] || cp -n /usr/share/wine/fonts/*.ttf "$fonts/" 2>/dev/null || true
}

# prefix_pids [name]: the live processes of this prefix (Windows ones, and Unix ones the tools
# started), or only those whose process name is this (/proc keeps 15 characters of it).
prefix_pids() {
    local file pid comm
    local all=(/proc/[0-9]*/environ)  # listed here: grep would find its own
    for file in $(grep -lsxzF -- "WINEPREFIX=$WINEPREFIX" "${all[@]}"); do
        pid=${file#/proc/}
        pid=${pid%/environ}
        if [ -n "${1:-}" ]; then
            read -r comm 2>/dev/null <"/proc/$pid/comm" || continue
            if [ "$comm" != "${1:0:15}" ]; then continue; fi
        fi
        echo "$pid"
    done
}

KEEPALIVE_PID=""
keep_desktop_alive() {
    wine "$BUILD_DIR/tests/keepalive.exe" >/dev/null 2>&1 </dev/null &
    KEEPALIVE_PID=$!
}

stop_all() {
    if [ -n "$KEEPALIVE_PID" ]; then kill "$KEEPALIVE_PID" 2>/dev/null || true; fi
    if [ -n "${WINEPREFIX:-}" ]; then wineserver -k >/dev/null 2>&1 || true; fi
    if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; fi
    wait 2>/dev/null || true
}
