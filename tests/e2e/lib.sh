# shellcheck shell=bash
# Shared by the end-to-end suites and the benchmarks: drive the real program as a person does,
# in a world of its own (a virtual display, a fresh Wine prefix, and a copy of build/bin in a
# folder whose path holds a blank), so it never meets the unit tests' prefix or display.
# Source it, then call e2e_setup.

E2E_REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=../../scripts/lib.sh
source "$E2E_REPO/scripts/lib.sh"

MAIN_CAPTION="Pontis Manager - Quillon Ltd"
PROGRAM_KEY='HKCU\Software\Quillon\Pontis Manager'

# e2e_setup <build dir> <work folder>: empties the work folder and starts the display, the
# prefix and the Wine server there. Everything ends when the script exits.
e2e_setup() {
    BUILD_DIR=$(cd "$1" && pwd)
    E2E_OUT=$2
    export WINEPREFIX=$E2E_OUT/prefix
    # A run that was killed (a time-out ends it with no teardown) may have left processes of
    # this prefix behind, a hub among them: they would pass for this run's.
    end_prefix_processes
    rm -rf "$E2E_OUT"
    mkdir -p "$E2E_OUT"
    PROBE=$BUILD_DIR/tests/window_probe.exe
    wine_env
    trap 'status=$?; e2e_teardown || status=1; exit $status' EXIT
    trap 'exit 130' INT TERM
    unset DISPLAY  # a display of our own, whatever the caller has
    ensure_display
    start_wine
    keep_desktop_alive
}

# install_program <folder>: copies an installed program (build/bin, or an unpacked package) to
# a folder whose path holds a blank.
install_program() {
    INSTALL_DIR="$E2E_OUT/Pontis Manager"
    cp -r "$1" "$INSTALL_DIR"
    rm -f "$INSTALL_DIR/driver/"*.state "$INSTALL_DIR/driver/"*.log  # a scripts/run's in build/bin
}

# Ends everything the run started, however it went; fails when a hub of the prefix outlives it,
# as it would carry on into the next run.
MANAGER_JOB=""
e2e_teardown() {
    if [ -n "$MANAGER_JOB" ]; then kill "$MANAGER_JOB" 2>/dev/null || true; fi
    stop_all
    end_prefix_processes
    wait_until 5 hub_stopped || { echo "FAIL  a hub outlived the run: $(hub_pids)"; return 1; }
}

# What outlived the Wine server is asked to end, by pid (this script's own short-lived helpers
# carry the prefix too, and are gone by then).
end_prefix_processes() {
    local pid
    for pid in $(prefix_pids); do kill "$pid" 2>/dev/null || true; done
}

# ---- time and waiting ----

now_ms() {
    local us=${EPOCHREALTIME/./}
    echo $((us / 1000))
}

# wait_until <seconds> <command...>: polls the command until it succeeds; fails after the time.
wait_until() {
    local limit=$(($(now_ms) + $1 * 1000))
    shift
    until "$@"; do
        if [ "$(now_ms)" -ge "$limit" ]; then return 1; fi
        sleep 0.02
    done
}

# ---- windows ----

# The X window of the visible top-level window with this exact caption; nothing if none.
window_id() {
    local pattern
    pattern=$(printf '%s' "$1" | sed 's/[][\.*^$()+?{}|/]/\\&/g')
    xdotool search --onlyvisible --name "^${pattern}\$" 2>/dev/null | head -n 1 || true
}
window_shown() { [ -n "$(window_id "$1")" ]; }
window_gone() { [ -z "$(window_id "$1")" ]; }

# wait_window <caption> [seconds]: prints the window's id once it is shown. The bounds are
# generous: on a machine busy with other test runs a window can take many seconds.
wait_window() {
    if wait_until "${2:-30}" window_shown "$1"; then window_id "$1"; else return 1; fi
}

window_opens() { wait_until "${2:-10}" window_shown "$1"; }

# What the program shows in a window (see window_probe.cpp for the lines).
probe() { wine "$PROBE" "$1" 2>/dev/null </dev/null; }
menu_shown() { probe --menu | grep -q '^menu'; }

# control_field <caption> <control text> <field>: one field of a control's line
# (3 state, 4 visibility, 5 x, 6 y).
control_field() {
    probe "$1" | awk -F'\t' -v text="$2" -v f="$3" '$1 == "control" && $7 == text { print $f; exit }'
}
control_state() { control_field "$1" "$2" 3; }
# control_is <caption> <control text> <enabled|disabled>
control_is() { [ "$(control_state "$1" "$2")" == "$3" ]; }

# labelled_text <caption> <label>: the text of the control created after the label.
labelled_text() {
    probe "$1" | awk -F'\t' -v label="$2" '$1 == "control" { if (next_one) { print $7; exit } if ($7 == label) next_one = 1 }'
}

# The rows of the window's list, one line each, columns separated by tabs.
list_rows() {
    probe "$1" | awk -F'\t' '$1 == "row" { out = $6; for (i = 7; i <= NF; i++) out = out "\t" $i; print out }'
}
has_row() { list_rows "$1" | grep -qxF -- "$2"; }
row_count() { list_rows "$1" | grep -c . || true; }
row_captions() { list_rows "$1" | cut -f1 | paste -sd' ' -; }
row_count_is() { [ "$(row_count "$1")" -eq "$2" ]; }
rows_are() { [ "$(row_captions "$1")" == "$2" ]; }
# The image of a row in the main window (0 stopped, 1 waiting, 2 connected, 3 not answering, 4
# off, 5 cannot be read), found by its caption.
image_of() {
    local i
    i=$(list_rows "$MAIN_CAPTION" | cut -f1 | grep -nxF -- "$1" | cut -d: -f1)
    [ -n "$i" ] && probe "$MAIN_CAPTION" | awk -F'\t' -v r="$((i - 1))" '$1 == "image" && $2 == r { print $3 }'
}
image_is() { [ "$(image_of "$1")" == "$2" ]; }

# ---- input ----

# A click on the centre of a control, found by its text, or of a row, found by its caption.
click_control() {
    local x y
    read -r x y < <(probe "$1" | awk -F'\t' -v text="$2" '$1 == "control" && $7 == text { print $5, $6; exit }')
    [ -n "${y:-}" ] || return 1
    xdotool mousemove --sync "$x" "$y" click 1
}
click_row() {
    local x y
    read -r x y < <(probe "$1" | awk -F'\t' -v text="$2" '$1 == "row" && $6 == text { print $4, $5; exit }')
    [ -n "${y:-}" ] || return 1
    xdotool mousemove --sync "$x" "$y" click 1
}

# click_field <caption> <label>: a click on the field the label names (the control made after it).
click_field() {
    local x y
    read -r x y < <(probe "$1" | awk -F'\t' -v label="$2" '$1 == "control" { if (next_one) { print $5, $6; exit } if ($7 == label) next_one = 1 }')
    [ -n "${y:-}" ] || return 1
    xdotool mousemove --sync "$x" "$y" click 1
}
# fill <caption> <label> <text>: types the text into the labelled edit, over what it held.
fill() { click_field "$1" "$2" && keys End shift+Home && type_text "$3"; }
# choose <caption> <label> <n>: picks item n (from 0) of the labelled drop-down list. The first
# click opens the list and the second closes it again, the focus left on the list.
choose() {
    local i
    click_field "$1" "$2" && click_field "$1" "$2" && keys Home || return 1
    for ((i = 0; i < $3; i++)); do keys Down; done
}

keys() { xdotool key --delay 40 "$@"; }
type_text() { xdotool type --delay 30 -- "$1"; }

# ---- what the program leaves behind ----

# reg_value <subkey or ""> <value>: the text of a value under the program's key.
reg_value() {
    local key=$PROGRAM_KEY
    if [ -n "$1" ]; then key="$key\\$1"; fi
    wine reg query "$key" /v "$2" 2>/dev/null </dev/null | tr -d '\r' |
        sed -n "s/^    $2    REG_SZ    //p"
}
reg_value_is() { [ "$(reg_value "$1" "$2")" == "$3" ]; }
reg_has_key() { wine reg query "$PROGRAM_KEY\\$1" >/dev/null 2>&1 </dev/null; }
reg_key_absent() { ! reg_has_key "$1"; }

# The hub processes of this prefix (other suites may run hubs of their own meanwhile).
hub_pids() { prefix_pids hub4com.exe; }
hub_running() { [ -n "$(hub_pids)" ]; }
hub_stopped() { ! hub_running; }

listening() { (: >"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

# first_free_port [count]: the first of ten (or count) ports in a row that nothing listens on.
first_free_port() {
    local base count=${1:-10}
    for ((base = 20000 + $$ % 20000; base < 60000; base += count)); do
        local p ok=1
        for ((p = base; p < base + count; p++)); do if listening "$p"; then ok=""; break; fi; done
        if [ -n "$ok" ]; then echo "$base"; return 0; fi
    done
    return 1
}

# The connection log of the prefix's user; nothing before its first line.
conn_log() { find "$WINEPREFIX/drive_c/users" -path '*/AppData/Local/Pontis Manager/connections.log' 2>/dev/null | head -n 1; }

lines_in() { if [ -f "$1" ]; then grep -c . "$1" || true; else echo 0; fi; }

# ---- the program ----

# start_manager [arguments]: starts the installed program and waits for its main window.
start_manager() {
    wine "$INSTALL_DIR/PontisManager.exe" "$@" >/dev/null 2>&1 </dev/null &
    MANAGER_JOB=$!
    wait_window "$MAIN_CAPTION" 60 >/dev/null  # the first start in a new prefix is the slowest
}

# Closes it with File / Exit from the keyboard (Exit is the menu's last entry: Up wraps to it)
# and waits until its process has ended. A click on the caption first gives it the keyboard (a
# tool's window may have taken it).
close_manager() {
    local left top width
    read -r left top width < <(probe "$MAIN_CAPTION" | awk -F'\t' '$1 == "window" { print $2, $3, $4 }')
    [ -n "${width:-}" ] || return 1
    xdotool mousemove --sync $((left + width / 2)) $((top + 8)) click 1
    keys alt+f Up Return
    wait_until 15 window_gone "$MAIN_CAPTION" || return 1
    wait "$MANAGER_JOB" 2>/dev/null || true
    MANAGER_JOB=""
}

# shot <file> [caption]: a screenshot of one window, or of the whole screen. A missing window
# is said, not fatal: the checks judge the step.
shot() {
    local target=root
    if [ -n "${2:-}" ]; then target=$(window_id "$2"); fi
    if [ -z "$target" ] || ! import -window "$target" "$1" 2>/dev/null; then
        echo "   (no screenshot $(basename "$1"))"
    fi
}

# settled_shot <file> [import options]: the screen, taken again until two shots in a row are the
# same (the drawing has finished), 5 s at most.
settled_shot() {
    LAST_SHOT=""
    wait_until 5 shot_unchanged "$@" || true
}
shot_unchanged() {
    local sum
    import -window root "${@:2}" "$1" 2>/dev/null && sum=$(identify -format '%#' "$1" 2>/dev/null) || return 1
    [ "$sum" == "$LAST_SHOT" ] && return 0
    LAST_SHOT=$sum
    return 1
}

# ---- verdicts ----
# A suite is a row of steps; each step makes checks. Every check and every step prints a line,
# and the suite ends with the count of steps that passed and failed.

STEPS_PASSED=0
STEPS_FAILED=0
STEP_TITLE=""
STEP_FAILURES=0

step() {
    STEP_TITLE=$1
    STEP_FAILURES=0
    echo "== $STEP_TITLE"
}

# check <description> <command...>: the check passes when the command succeeds.
check() {
    local what=$1
    shift
    if "$@"; then
        echo "   ok    $what"
    else
        echo "   FAIL  $what"
        STEP_FAILURES=$((STEP_FAILURES + 1))
    fi
}

# check_eq <description> <expected> <actual>
check_eq() {
    if [ "$2" == "$3" ]; then
        echo "   ok    $1"
    else
        echo "   FAIL  $1"
        echo "         expected: $2"
        echo "         actual:   $3"
        STEP_FAILURES=$((STEP_FAILURES + 1))
    fi
}

end_step() {
    if [ "$STEP_FAILURES" -eq 0 ]; then
        echo "PASS  $STEP_TITLE"
        STEPS_PASSED=$((STEPS_PASSED + 1))
    else
        echo "FAIL  $STEP_TITLE ($STEP_FAILURES failed checks)"
        STEPS_FAILED=$((STEPS_FAILED + 1))
    fi
}

# Prints the count; fails when a step failed.
summary() {
    echo "$STEPS_PASSED passed, $STEPS_FAILED failed"
    [ "$STEPS_FAILED" -eq 0 ]
}
