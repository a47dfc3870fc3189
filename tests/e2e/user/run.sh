#!/usr/bin/env bash
# Uses the installed program as a person would: keyboard and mouse through the X server, and
# only what the screen, the registry, the process list and the tools' logs show.
# Usage: run.sh <build dir>. Screenshots go to <build dir>/e2e/user/; with DOCS_DIR set, the
# ones shown in the README are copied there too.
set -euo pipefail
source "$(dirname "$0")/../lib.sh"

e2e_setup "$1" "$(cd "$1" && pwd)/e2e/user"
install_program "$BUILD_DIR/bin"
SHOTS=$E2E_OUT
SETUP_LOG="$INSTALL_DIR/driver/setupc.log"
HUB_LOG="$INSTALL_DIR/driver/hub4com.log"

# The argument strings the hub must get for the bridges entered below: COM12 sorts before COM5,
# so the bridge in slot 2 takes hub ports 0 and 1.
TWO_BRIDGES=' --reconnect=10000 --no-default-fc-route=All:All --create-filter=pinmap:--dtr=connect'\
' --add-filters=0,2:pinmap --create-filter=pin2con,pc2:"--connect=dcd --delay-disconnect=250"'\
' --add-filters=0:pc2 --bi-route=0:1 --use-driver=serial --ito=10 --baud=9600 \\.\CNCA2'\
' --use-driver=tcp 127.0.0.1:9761 --bi-route=2:3 --use-driver=serial --ito=20 --baud=115200'\
' \\.\CNCA1 --use-driver=tcp 127.0.0.1:4001'
ONE_BRIDGE=' --reconnect=10000 --no-default-fc-route=All:All --create-filter=pinmap:--dtr=connect'\
' --add-filters=0:pinmap --bi-route=0:1 --use-driver=serial --ito=20 --baud=115200 \\.\CNCA1'\
' --use-driver=tcp 127.0.0.1:4101'

# ---- helpers of this suite ----

main_state() { control_state "$MAIN_CAPTION" "$1"; }

# The stored fields of a slot, in a fixed order.
stored_bridge() {
    local v out=""
    for v in Index COM Baud Emulate Connect IP Port Delay TXDelay RXDelay Name; do
        out+="$v=$(reg_value "Bridges\\$1" "$v") "
    done
    echo "${out% }"
}

second_start() { timeout 20 wine "$INSTALL_DIR/PontisManager.exe" "$@" >/dev/null 2>&1 </dev/null; }
log_has() { grep -qF -- "$2" "$1" 2>/dev/null; }
logged() { log_has "$(conn_log)" "$(printf "$1")"; }
logged_times() { [ "$(grep -cF -- "$(printf "$1")" "$(conn_log)" 2>/dev/null)" == "$2" ]; }
# The hub's log line with the two-bridge arguments names the hub by this path.
hub_started_from() { grep -F -- "$TWO_BRIDGES" "$HUB_LOG" | grep -qF -- "$1"; }
# switch <arguments...>: the exit code, then the output, as a script sees them (a held pipe times out).
switch() {
    local out rc=0
    out=$(timeout 30 wine "$INSTALL_DIR/PontisManager.exe" "$@" 2>/dev/null </dev/null) || rc=$?
    printf '%s\n%s' "$rc" "${out//$'\r'/}"
}
set_value() { wine reg add "$PROGRAM_KEY\\$1" /v "$2" /d "$3" /f >/dev/null 2>&1 </dev/null; }
box_says() { probe "$1" | awk -F'\t' '$1 == "control" { print $7 }' | grep -qxF -- "$2"; }

# Opens the dialog with a key and waits for it.
open_dialog() {
    keys "$1"
    wait_window "$2" >/dev/null
}

# Confirms the dialog with Alt+O (Enter would cancel: Cancel is the default button).
confirm_dialog() {
    keys alt+o
    wait_until 15 window_gone "$1"
}

# Answers an open message box with Enter and waits until it is gone.
dismiss_box() {
    keys Return
    wait_until 10 window_gone "$1"
}

# ---- 1 ----
step "1. First start: empty list, Start enabled, Edit and Delete unavailable"
check "the main window opens" start_manager
check_eq "the list is empty" 0 "$(row_count "$MAIN_CAPTION")"
check_eq "&Start bridges is enabled" enabled "$(main_state '&Start bridges')"
check_eq "&Add is enabled" enabled "$(main_state '&Add')"
check_eq "&Edit is unavailable" disabled "$(main_state '&Edit')"
check_eq "&Delete is unavailable" disabled "$(main_state '&Delete')"
check "no setup-tool run" test ! -s "$SETUP_LOG"
shot "$SHOTS/01-first-start.png" "$MAIN_CAPTION"
end_step

# ---- 2 ----
step "2. Add two bridges through the dialog"
check "Alt+A opens \"New bridge\"" open_dialog alt+a "New bridge"
D="New bridge"
fill "$D" Name "Line five"
choose "$D" "COM Port" 4 && choose "$D" Baudrate 8      # COM5, 115200
fill "$D" "RX Delay" 20 && fill "$D" "TX Delay" 30
fill "$D" "Server IP" 127.0.0.1 && fill "$D" "Server Port" 4001
choose "$D" "Connect on" 4                              # Always
shot "$SHOTS/02-dialog-first-bridge.png" "New bridge"
check "OK closes the dialog" confirm_dialog "New bridge"
check "the first bridge is listed" wait_until 15 row_count_is "$MAIN_CAPTION" 1

check "Alt+A opens \"New bridge\"" open_dialog alt+a "New bridge"
fill "$D" Name "Lab twelve"
choose "$D" "COM Port" 11 && choose "$D" Baudrate 4     # COM12, 9600
fill "$D" "RX Delay" 10 && fill "$D" "TX Delay" 10 && fill "$D" "Server Port" 9761
# "Always" left the disconnect delay disabled: the signal first, then the delay.
choose "$D" "Connect on" 2 && fill "$D" "Disconnect delay" 250    # DCD Signal
check "a click clears Strict baudrate emulation" click_control "New bridge" "Strict baudrate emulation"
shot "$SHOTS/02-dialog-second-bridge.png" "New bridge"
check "OK closes the dialog" confirm_dialog "New bridge"
check "the second bridge is listed" wait_until 15 row_count_is "$MAIN_CAPTION" 2
check_eq "rows in text order (COM12 before COM5)" \
    "$(printf 'COM12\t127.0.0.1\t9761\tLab twelve\nCOM5\t127.0.0.1\t4001\tLine five')" "$(list_rows "$MAIN_CAPTION")"
check_eq "two setup-tool runs" 2 "$(lines_in "$SETUP_LOG")"
check "install line of COM5" log_has "$SETUP_LOG" "install 1 HiddenMode=yes PortName=COM5,EmuBR=yes,AddRTTO=0,AddRITO=30"
check "install line of COM12" log_has "$SETUP_LOG" "install 2 HiddenMode=yes PortName=COM12,EmuBR=no,AddRTTO=0,AddRITO=10"
check_eq "registry: slot 1" \
    "Index=1 COM=COM5 Baud=115200 Emulate=1 Connect=4 IP=127.0.0.1 Port=4001 Delay=500 TXDelay=30 RXDelay=20 Name=Line five" \
    "$(stored_bridge 1)"
check_eq "registry: slot 2" \
    "Index=2 COM=COM12 Baud=9600 Emulate=0 Connect=2 IP=127.0.0.1 Port=9761 Delay=250 TXDelay=10 RXDelay=10 Name=Lab twelve" \
    "$(stored_bridge 2)"
shot "$SHOTS/02-two-bridges.png" "$MAIN_CAPTION"
end_step

# ---- 3 ----
step "3. A bad port and a blank in the server address are refused"
check "Alt+A opens \"New bridge\"" open_dialog alt+a "New bridge"
fill "$D" Name "Bad port" && fill "$D" "Server Port" 70000
keys alt+o
check "an error box opens" window_opens "Pontis Manager"
check "it names the port" box_says "Pontis Manager" "'70000' is not a valid server port (1 to 65535)"
shot "$SHOTS/03-bad-port.png"
check "the box closes" dismiss_box "Pontis Manager"
check "the dialog stays open" window_shown "New bridge"
keys Escape
check "Escape cancels it" wait_until 10 window_gone "New bridge"

check "Alt+A opens \"New bridge\"" open_dialog alt+a "New bridge"
fill "$D" Name "Blank" && fill "$D" "Server IP" "127.0.0 .1" && fill "$D" "Server Port" 4002
keys alt+o
check "an error box opens" window_opens "Pontis Manager"
check "it names the address" box_says "Pontis Manager" "'127.0.0 .1' is not a valid server address."
shot "$SHOTS/03-blank-address.png"
check "the box closes" dismiss_box "Pontis Manager"
check "the dialog stays open" window_shown "New bridge"
keys Escape
check "Escape cancels it" wait_until 10 window_gone "New bridge"
check_eq "still two rows" "COM12 COM5" "$(row_captions "$MAIN_CAPTION")"
check_eq "no setup-tool run" 2 "$(lines_in "$SETUP_LOG")"
check "no third slot stored" reg_key_absent 'Bridges\3'
check "no hub" hub_stopped
end_step

# ---- 4 ----
step "4. Start: the hub runs with the bridges; add, edit and delete unavailable"
check "a click selects COM5" click_row "$MAIN_CAPTION" COM5
check_eq "&Edit is available with a row selected" enabled "$(main_state '&Edit')"
check "a click on &Start bridges" click_control "$MAIN_CAPTION" "&Start bridges"
check "the hub runs" wait_until 10 hub_running
check_eq "one hub" 1 "$(hub_pids | wc -l)"
check "\"command\" holds the argument string" wait_until 5 reg_value_is "" command "$TWO_BRIDGES"
check "hub4com.log holds the argument string" wait_until 5 log_has "$HUB_LOG" "$TWO_BRIDGES"
check "the hub was started from the folder with the blank" hub_started_from "Pontis Manager\\driver\\hub4com.exe"
check_eq "&Start bridges is disabled" disabled "$(main_state '&Start bridges')"
check_eq "&Add is unavailable" disabled "$(main_state '&Add')"
check_eq "&Edit is unavailable" disabled "$(main_state '&Edit')"
check_eq "&Delete is unavailable" disabled "$(main_state '&Delete')"
shot "$SHOTS/04-running.png" "$MAIN_CAPTION"
end_step

# ---- 5 ----
step "5. Restart while the hub runs, then stop"
hub=$(hub_pids)
check "File / Exit closes the program" close_manager
check_eq "the hub still runs" "$hub" "$(hub_pids)"
check "the main window opens again" start_manager
check_eq "the bridges are listed" "COM12 COM5" "$(row_captions "$MAIN_CAPTION")"
stored=$(wine reg query "$PROGRAM_KEY" /s 2>/dev/null </dev/null)
check "a second start ends with 0" second_start -mdebug
check_eq "one main window" 1 "$(xdotool search --onlyvisible --name "^$MAIN_CAPTION\$" | wc -l)"
check_eq "the registry is unchanged" "$stored" "$(wine reg query "$PROGRAM_KEY" /s 2>/dev/null </dev/null)"
check_eq "no setup-tool run" 2 "$(lines_in "$SETUP_LOG")"
check_eq "&Start bridges is disabled" disabled "$(main_state '&Start bridges')"
check_eq "&Add is unavailable" disabled "$(main_state '&Add')"
shot "$SHOTS/05-restarted-running.png" "$MAIN_CAPTION"
keys alt+o
check "St&op bridges (Alt+O) ends the hub" wait_until 10 hub_stopped
check "&Start bridges is enabled" wait_until 5 control_is "$MAIN_CAPTION" '&Start bridges' enabled
check_eq "&Add is available" enabled "$(main_state '&Add')"
shot "$SHOTS/05-stopped.png" "$MAIN_CAPTION"
end_step

# ---- 6 ----
step "6. Edit the server, then the TX delay; delete a bridge"
check "a click selects COM5" click_row "$MAIN_CAPTION" COM5
check "Alt+E opens \"Edit bridge\"" open_dialog alt+e "Edit bridge"
check_eq "the dialog shows the bridge's port" 4001 "$(labelled_text "Edit bridge" "Server Port")"
fill "Edit bridge" "Server Port" 4101
shot "$SHOTS/06-edit-server.png" "Edit bridge"
check "OK closes the dialog" confirm_dialog "Edit bridge"
check "the row shows the new port" wait_until 5 has_row "$MAIN_CAPTION" "$(printf 'COM5\t127.0.0.1\t4101\tLine five')"
check_eq "registry: the new port" 4101 "$(reg_value 'Bridges\1' Port)"
check_eq "no setup-tool run" 2 "$(lines_in "$SETUP_LOG")"

check "a click selects COM5" click_row "$MAIN_CAPTION" COM5
check "Enter in the list opens \"Edit bridge\"" open_dialog Return "Edit bridge"
fill "Edit bridge" "TX Delay" 45
check "OK closes the dialog" confirm_dialog "Edit bridge"
check "the change line" wait_until 15 log_has "$SETUP_LOG" "change CNCB1 PortName=COM5,EmuBR=yes,AddRTTO=0,AddRITO=45"
check "registry: the new TX delay" wait_until 5 reg_value_is 'Bridges\1' TXDelay 45
check_eq "one setup-tool run" 3 "$(lines_in "$SETUP_LOG")"

check "a click selects COM12" click_row "$MAIN_CAPTION" COM12
check "the Delete key opens \"Please confirm\"" open_dialog Delete "Please confirm"
check "the box asks" box_says "Please confirm" "Are you sure you want to delete this bridge?"
shot "$SHOTS/06-confirm-delete.png"
check "a click on Yes" click_control "Please confirm" "&Yes"
check "the row is gone" wait_until 15 rows_are "$MAIN_CAPTION" COM5
check_eq "one setup-tool run" 4 "$(lines_in "$SETUP_LOG")"
check "it is the remove line" log_has "$SETUP_LOG" "remove 2"
check "registry: slot 2 is gone" reg_key_absent 'Bridges\2'
check_eq "registry: slot 1 stays" "COM5" "$(reg_value 'Bridges\1' COM)"
shot "$SHOTS/06-after-delete.png" "$MAIN_CAPTION"

whole=$(stored_bridge 1)
check "a click selects COM5" click_row "$MAIN_CAPTION" COM5
check "Alt+E opens \"Edit bridge\"" open_dialog alt+e "Edit bridge"
delete_key() { wine reg delete "$PROGRAM_KEY\\$1" /f >/dev/null 2>&1 </dev/null; }
check "meanwhile another program deletes its key" delete_key 'Bridges\1'
check "OK closes the dialog" confirm_dialog "Edit bridge"
stored_whole() { [ "$(stored_bridge 1)" == "$whole" ]; }
check "registry: the whole bridge stored again" wait_until 5 stored_whole
check_eq "its row stays" "COM5" "$(row_captions "$MAIN_CAPTION")"
end_step

# ---- 7 ----
step "7. With -mdebug the argument string is shown before the hub starts"
check "File / Exit closes the program" close_manager
check "the main window opens with -mdebug" start_manager -mdebug
check "a click on &Start bridges" click_control "$MAIN_CAPTION" "&Start bridges"
check "a box opens" window_opens "Pontis Manager"
check "it shows the argument string" box_says "Pontis Manager" "$ONE_BRIDGE"
check "no hub while it is open" hub_stopped
sleep 1  # hold the box open a moment: the hub must still not start
check "still no hub a second later" hub_stopped
shot "$SHOTS/07-debug-box.png"
check "Enter closes the box" dismiss_box "Pontis Manager"
check "then the hub runs" wait_until 10 hub_running
check "\"command\" holds the new string" wait_until 5 reg_value_is "" command "$ONE_BRIDGE"
shot "$SHOTS/07-debug-running.png"
check "a click on St&op bridges" click_control "$MAIN_CAPTION" "St&op bridges"
check "the hub is gone" wait_until 10 hub_stopped
keys alt+f
check "Alt+F opens the File menu" wait_until 5 menu_shown
# The menu is a window of its own, so the shot is the screen's.
read -r x y w h < <(probe "$MAIN_CAPTION" | awk -F'\t' '$1 == "window" { print $2, $3, $4, $5 }')
settled_shot "$SHOTS/07-file-menu.png" -crop "${w}x${h}+${x}+${y}"
keys Escape Escape
check "File / Exit closes the program" close_manager
end_step

# ---- 8 ----
step "8. From a script: -start starts the bridges without a window, -status reports them, -stop ends them"
ECHO=$(first_free_port 2)  # and nothing listens on the next port
socat TCP-LISTEN:"$ECHO",bind=127.0.0.1,reuseaddr,fork PIPE </dev/null >/dev/null 2>&1 &
echo_pid=$!
check "an echo server listens on $ECHO" wait_until 5 listening "$ECHO"
set_value 'Bridges\1' Port "$ECHO"
for v in Index=2 COM=COM7 IP=127.0.0.1 Port=$((ECHO + 1)); do set_value 'Bridges\2' "${v%%=*}" "${v#*=}"; done
check "pair 2 is made for COM7" wine "$INSTALL_DIR/driver/setupc.exe" install 2 HiddenMode=yes PortName=COM7,EmuBR=yes,AddRTTO=0,AddRITO=10
check_eq "-START starts them" "$(printf '0\nBridges started')" "$(switch -START)"
check "no window opened" window_gone "$MAIN_CAPTION"
command=$(reg_value "" command)
check "the hub got \"command\" from the folder with the blank" \
    log_has "$HUB_LOG" "Pontis Manager\\driver\\hub4com.exe\"$command"
check "the hub connects to the echo server" wait_until 15 log_has "$HUB_LOG" "<-> 127.0.0.1:$ECHO: connected"
check_eq "-status: one connected, one waiting, with what each carried, exit code 1" \
    "$(printf '1\nCOM5\t127.0.0.1:%s\tconnected\tsent=0\treceived=0\tidle=-\nCOM7\t127.0.0.1:%s\twaiting\tsent=0\treceived=0\tidle=-' \
        "$ECHO" $((ECHO + 1)))" "$(switch -status)"
check_eq "/stop -mdebug stops them" "$(printf '0\nBridges stopped')" "$(switch /stop -mdebug)"
check "the hub is gone" wait_until 10 hub_stopped
end_step

# ---- 8b ----
step "8b. A slot that cannot be read is listed and left out; the window follows the registry; Delete removes it"
for v in Index=3 COM=COM9 Port=abc; do set_value 'Bridges\3' "${v%%=*}" "${v#*=}"; done
check "pair 3 is made for COM9" wine "$INSTALL_DIR/driver/setupc.exe" install 3 HiddenMode=yes PortName=COM9,EmuBR=yes,AddRTTO=0,AddRITO=10
check "the main window opens" start_manager
check_eq "slot 3 is listed" "COM5 COM7 COM9" "$(row_captions "$MAIN_CAPTION")"
check_eq "with the warning sign" 7 "$(image_of COM9)"
tip_shown() { wine "$PROBE" --tips 2>/dev/null </dev/null | grep -qxF -- "$(printf 'tip\t%s' "$1")"; }
read -r x y < <(probe "$MAIN_CAPTION" | awk -F'\t' '$1 == "row" && $6 == "COM9" { print $4, $5; exit }')
check "the mouse rests on its row" xdotool mousemove --sync "$x" "$y"
check "its tip says why" wait_until 5 tip_shown "Port 'abc' cannot be read"
shot "$SHOTS/08b-unreadable.png" "$MAIN_CAPTION"
check_eq "-start starts the others and says so" \
    "$(printf "0\nBridge slot 3 was left out: Port 'abc' cannot be read\nBridges started")" "$(switch -start)"
check "the log has its line" wait_until 5 logged "\t-\t-\tleft out\tslot 3: Port 'abc' cannot be read"
check "the window runs them" wait_until 5 control_is "$MAIN_CAPTION" '&Start bridges' disabled
check "COM5 connects" wait_until 15 image_is COM5 2
set_value 'Bridges\1' Port $((ECHO + 1))  # as a deployment script would, then its start
check_eq "a script's -start takes the new port" "$(printf "0\nBridge slot 3 was left out: Port 'abc' cannot be read\nBridges started")" "$(switch -start)"
check "the window's row follows" wait_until 5 has_row "$MAIN_CAPTION" "$(printf 'COM5\t127.0.0.1\t%s\tLine five' $((ECHO + 1)))"
check "and waits on the new server" wait_until 10 image_is COM5 1
set_value 'Bridges\1' Port "$ECHO"
check_eq "-stop" "$(printf '0\nBridges stopped')" "$(switch -stop)"
check "the window shows them stopped" wait_until 5 control_is "$MAIN_CAPTION" '&Start bridges' enabled
check "a click selects COM9" click_row "$MAIN_CAPTION" COM9
check "the Delete key opens \"Please confirm\"" open_dialog Delete "Please confirm"
check "a click on Yes" click_control "Please confirm" "&Yes"
check "the row is gone" wait_until 15 rows_are "$MAIN_CAPTION" "COM5 COM7"
check "its pair is removed" wait_until 5 log_has "$SETUP_LOG" "remove 3"
check "registry: slot 3 is gone" reg_key_absent 'Bridges\3'
check "File / Exit closes the program" close_manager
kill $(pgrep -P "$echo_pid") "$echo_pid" 2>/dev/null || true
end_step

# ---- 9 ----
step "9. -start -tray: only an icon; the log and the notes follow the link; the icon's menu"
tray() { wine "$PROBE" --tray 2>/dev/null </dev/null; }
icon_count() { tray | grep -c '^icon' || true; }
icons_are() { [ "$(icon_count)" -eq "$1" ]; }
note_is() { [ "$(tray | sed -n 's/^note\t//p')" == "$1" ]; }
note_has() { tray | sed -n 's/^note\t//p' | grep -qF -- "$1"; }
click_icon() {
    local x y
    read -r x y < <(tray | awk -F'\t' '$1 == "icon" { print $2, $3; exit }')
    [ -n "${y:-}" ] || return 1
    xdotool mousemove --sync "$x" "$y" click "$1"
}
open_icon_menu() { click_icon 3 && wait_until 5 menu_shown; }
not_listening() { ! listening "$1"; }
echo_server() {
    wait_until 5 not_listening "$ECHO" || true  # the last one gone: a kill only asks it to end
    socat TCP-LISTEN:"$ECHO",bind=127.0.0.1,reuseaddr,fork PIPE </dev/null >/dev/null 2>&1 &
    echo_pid=$!
    wait_until 5 listening "$ECHO"
}
check "the echo server listens again" echo_server
connects=$(grep -cF -- "$(printf "\tCOM5\t127.0.0.1:$ECHO\tconnected")" "$(conn_log)" || true)
wine "$INSTALL_DIR/PontisManager.exe" -start -tray >/dev/null 2>&1 </dev/null &
MANAGER_JOB=$!
check "one icon shows" wait_until 20 icons_are 1
check "the hub runs" wait_until 10 hub_running
sleep 1  # a moment for a window that must not come
check "no window shows" window_gone "$MAIN_CAPTION"
check "the log says started" wait_until 10 logged '\t-\t-\tstarted'
check "the log says connected" wait_until 15 logged_times "\\tCOM5\\t127.0.0.1:$ECHO\\tconnected" $((connects + 1))
waits=$(grep -cF -- "$(printf "\tCOM5\t127.0.0.1:$ECHO\twaiting")" "$(conn_log)" || true)  # the start's first look may have one
kill $(pgrep -P "$echo_pid") "$echo_pid" 2>/dev/null || true
check "the log says waiting within 7 s" wait_until 7 logged_times "\\tCOM5\\t127.0.0.1:$ECHO\\twaiting" $((waits + 1))
check "a \"Link lost\" note that names the bridge" wait_until 10 note_is "Link lost: Line five (COM5) lost 127.0.0.1:$ECHO"
check "the echo server listens again" echo_server
check "the log says connected again" wait_until 25 logged_times "\\tCOM5\\t127.0.0.1:$ECHO\\tconnected" $((connects + 2))
check "a \"Link restored\" note with the outage" wait_until 5 note_has "Link restored: Line five (COM5) is back after "
# A watchdog's scheduled task runs -start again and again (here 10 s apart, not a minute): the
# running bridges are left alone.
hub=$(hub_pids) links=$(switch -status) lines=$(wc -l <"$(conn_log)")
for n in 1 2 3; do
    sleep 10
    check_eq "-start $n leaves them running" "$(printf '0\nBridges are already running')" "$(switch -start)"
done
check_eq "the hub is the same process" "$hub" "$(hub_pids)"
check_eq "-status says what it said" "$links" "$(switch -status)"
check_eq "the log has no new line" "$lines" "$(wc -l <"$(conn_log)")"
check "a right click opens the icon's menu" open_icon_menu
settled_shot "$SHOTS/09-icon-menu.png" -crop 220x120+0+0
keys Escape
check "a click on the icon shows the window" wait_until 1 click_icon 1
check "the window shows" window_opens "$MAIN_CAPTION"
keys alt+F4
check "closing it hides it" wait_until 10 window_gone "$MAIN_CAPTION"
check_eq "the icon stays" 1 "$(icon_count)"
hub=$(hub_pids)
check "the icon's menu opens again" open_icon_menu
keys Up Return
check "Exit ends the program" wait_until 15 icons_are 0
wait "$MANAGER_JOB" 2>/dev/null || true
MANAGER_JOB=""
check_eq "the hub still runs" "$hub" "$(hub_pids)"
check_eq "-stop stops it" "$(printf '0\nBridges stopped')" "$(switch -stop)"
check "the log says stopped" wait_until 5 logged '\t-\t-\tstopped'
kill $(pgrep -P "$echo_pid") "$echo_pid" 2>/dev/null || true
end_step

# ---- 10 ----
# Wine draws a note only on a desktop with a taskbar (a virtual desktop); its own tray alone
# takes the note without showing it.
step "10. On a desktop with a taskbar, a dropped link's note shows beside the icon"
check "the echo server listens again" echo_server
connects=$(grep -cF -- "$(printf "\tCOM5\t127.0.0.1:$ECHO\tconnected")" "$(conn_log)" || true)
wine explorer /desktop=pontis,1024x768 "$INSTALL_DIR/PontisManager.exe" -start -tray >/dev/null 2>&1 </dev/null &
MANAGER_JOB=$!
check "the log says connected" wait_until 20 logged_times "\\tCOM5\\t127.0.0.1:$ECHO\\tconnected" $((connects + 1))
waits=$(grep -cF -- "$(printf "\tCOM5\t127.0.0.1:$ECHO\twaiting")" "$(conn_log)" || true)
kill $(pgrep -P "$echo_pid") "$echo_pid" 2>/dev/null || true
check "the log says waiting" wait_until 7 logged_times "\\tCOM5\\t127.0.0.1:$ECHO\\twaiting" $((waits + 1))
# The screen's corner by the icon, taken until it holds more than the desktop, the taskbar and
# the icon: the note's text.
note_drawn() {
    import -window root -crop 400x140+624+628 "$SHOTS/10-link-lost-note.png" 2>/dev/null &&
        [ "$(convert "$SHOTS/10-link-lost-note.png" -format '%k' info: 2>/dev/null || echo 0)" -gt 20 ]
}
check "the note shows on the screen" wait_until 20 note_drawn
settled_shot "$SHOTS/10-link-lost-note.png" -crop 400x140+624+628
check_eq "-stop stops the bridges" "$(printf '0\nBridges stopped')" "$(switch -stop)"
end_step

if [ -n "${DOCS_DIR:-}" ]; then
    cp "$SHOTS/02-two-bridges.png" "$DOCS_DIR/main-window.png"
    cp "$SHOTS/02-dialog-first-bridge.png" "$DOCS_DIR/bridge-dialog.png"
    cp "$SHOTS/07-file-menu.png" "$DOCS_DIR/file-menu.png"
    cp "$SHOTS/09-icon-menu.png" "$DOCS_DIR/icon-menu.png"
    cp "$SHOTS/10-link-lost-note.png" "$DOCS_DIR/link-lost-note.png"
fi
summary
