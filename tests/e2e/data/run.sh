#!/usr/bin/env bash
# Data through real bridges. The installed manager adds a bridge through its dialog and starts
# it; the stand-in setup tool makes the COM port a real pseudo-terminal pair under Wine, the
# stand-in hub carries the bytes to an echo server on 127.0.0.1, and a serial program of the
# tests' own writes a pattern to the COM port and reads it back. The server is then stopped and
# started again, and the bridge must carry data again within 12 s. Then ten bridges at once,
# each to its own server, each with its own pattern; last, the pairs are lost as in a reboot,
# and the hub makes them again when the bridges start. Then the RX delay forms packets: bytes
# written closer together than the delay go on as one packet, bytes further apart one by one.
# A bridge switched off is left out; a connection of another client's to a bridge's server is not
# taken for the hub's; the speed, stop bits and flow control the program sets on its COM port
# reach the device through ser2net, and the hub's port control against servers of the suite's
# own that refuse binary data or acknowledge nothing; last, the device follows the program
# after a restart of the bridges, and a pair made anew while the hub runs is opened again.
# Usage: run.sh <build dir>
set -euo pipefail
source "$(dirname "$0")/../lib.sh"

e2e_setup "$1" "$(cd "$1" && pwd)/e2e/data"
install_program "$BUILD_DIR/bin"
CLIENT=$BUILD_DIR/tests/serial_client.exe
DRIVER=$INSTALL_DIR/driver
HUB_LOG=$DRIVER/hub4com.log
SETUP_LOG=$DRIVER/setupc.log
DOSDEVICES=$WINEPREFIX/dosdevices

# ---- echo servers on 127.0.0.1, each one socat that forks per connection ----

declare -A SERVER_PID
start_echo() {
    socat TCP-LISTEN:"$1",bind=127.0.0.1,reuseaddr,fork PIPE </dev/null >/dev/null 2>&1 &
    SERVER_PID[$1]=$!
    wait_until 5 listening "$1"
}
# Ends the server and the connections it serves.
stop_echo() {
    local pid=${SERVER_PID[$1]:-}
    [ -n "$pid" ] || return 0
    kill $(pgrep -P "$pid") "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    unset "SERVER_PID[$1]"
}

# The pairs end once the state file no longer lists them; the servers with the script.
cleanup() {
    local port
    for port in "${!SERVER_PID[@]}"; do stop_echo "$port"; done  # and the devices and ser2net
    rm -f "$DRIVER/setupc.state"
    wait_until 5 no_keepers || true
}
no_keepers() { ! compgen -G "$DOSDEVICES/.pair*.pid" >/dev/null; }
keeper_alive() { local pid; read -r pid <"$1" 2>/dev/null && [ -n "$(tr -d '\0' <"/proc/$pid/cmdline" 2>/dev/null)" ]; }
no_live_keepers() {
    local file
    for file in "$DOSDEVICES"/.pair*.pid; do if keeper_alive "$file"; then return 1; fi; done
    return 0
}
all_kept() {
    local n
    for n in $(seq 1 10); do keeper_alive "$DOSDEVICES/.pair$n.pid" && [ -c "$DOSDEVICES/cnca$n" ] || return 1; done
}
trap 'status=$?; cleanup; e2e_teardown || status=1; exit $status' EXIT

# ---- helpers of this suite ----

dialog_open() { wait_window "$1" >/dev/null; }
log_has() { grep -qF -- "$2" "$1" 2>/dev/null; }
# A bridge's line of -status, a field of it (sent=, received=, ...), and its state word.
status_line() {
    local out
    out=$(wine "$INSTALL_DIR/PontisManager.exe" -status 2>/dev/null </dev/null) || true  # its code says the whole set's state
    tr -d '\r' <<<"$out" | awk -F'\t' -v c="$1" '$1 == c'
}
field_of() { tr '\t' '\n' <<<"$1" | sed -n "s/^$2=//p"; }
status_is() { [ "$(status_line COM5 | cut -f3)" == "$1" ]; }
status_bar() { probe "$MAIN_CAPTION" | awk -F'\t' '$1 == "control" && $2 == "msctls_statusbar32" { print $7 }'; }
bar_has() { status_bar | grep -qF -- "$1"; }
client() { wine "$CLIENT" "$@" 2>/dev/null </dev/null | tr -d '\r'; }
connected_count() { grep -c "<-> 127.0.0.1:$1: connected" "$HUB_LOG" 2>/dev/null || true; }
connected_more_than() { [ "$(connected_count "$1")" -gt "$2" ]; }
set_rx_delay() { wine reg add "$PROGRAM_KEY\\Bridges\\$1" /v RXDelay /d "$2" /f >/dev/null 2>&1 </dev/null; }
is_pair_link() { [ "$(readlink "$DOSDEVICES/$1")" == "$2" ] && [ -c "$DOSDEVICES/$1" ]; }

# Stores bridges 2 to 10 as the manager would, one registry import: COM6 to COM14, each to
# its own server port, connecting on DSR or always by turns.
store_bridges() {
    local file=$E2E_OUT/bridges.reg n
    {
        printf 'REGEDIT4\n'
        for n in $(seq 2 10); do
            printf '\n[HKEY_CURRENT_USER\\Software\\Quillon\\Pontis Manager\\Bridges\\%s]\n' "$n"
            printf '"Index"="%s"\n"COM"="COM%s"\n"Baud"="115200"\n"Emulate"="1"\n"Connect"="%s"\n' \
                "$n" $((n + 4)) $((n % 2 ? 0 : 4))
            printf '"IP"="127.0.0.1"\n"Port"="%s"\n"Delay"="500"\n"TXDelay"="10"\n"RXDelay"="0"\n"Name"="Echo %s"\n' \
                $((BASE + n - 1)) "$n"
        done
    } >"$file"
    wine reg import "$file" >/dev/null 2>&1 </dev/null
}

BASE=$(first_free_port)
PORT=$BASE

# ---- 1 ----
step "1. A bridge to an echo server, added through the dialog and started"
check "the echo server listens on 127.0.0.1:$PORT" start_echo "$PORT"
check "the main window opens" start_manager
keys alt+a
check "Alt+A opens \"New bridge\"" dialog_open "New bridge"
fill "New bridge" Name "Echo one"
choose "New bridge" "COM Port" 4 && choose "New bridge" Baudrate 4   # COM5, 9600
fill "New bridge" "Server IP" 127.0.0.1 && fill "New bridge" "Server Port" "$PORT"
keys alt+o
check "the dialog closes" wait_until 15 window_gone "New bridge"
check "the setup tool made pair 1 for COM5" wait_until 15 log_has "$SETUP_LOG" \
    "[0] install 1 HiddenMode=yes PortName=COM5,EmuBR=yes,AddRTTO=0,AddRITO=10"
check "COM5 is linked to the pair's B end" is_pair_link com5 cncb1
check "CNCA1 is a terminal" test -c "$DOSDEVICES/cnca1"
check_eq "the icon shows the bridge stopped" 0 "$(image_of COM5)"
keys alt+s
check "the hub connects to the server" wait_until 15 connected_more_than "$PORT" 0
check "the icon turns connected" wait_until 5 image_is COM5 2
check_eq "a pattern written to COM5 comes back whole" "ok 4096" "$(client echo COM5 1 4096)"
check_eq "and a larger one" "ok 262144" "$(client echo COM5 2 262144)"
check_eq "the unreadable DSR signal is noted once" 1 "$(grep -c 'modem signals cannot be read (.*): dsr taken as on' "$HUB_LOG")"
check_eq "so is the DTR line a pseudo-terminal lacks" 1 "$(grep -c 'DTR cannot be set (.*); left as it is' "$HUB_LOG")"
end_step

# ---- 2 ----
step "2. The server stops and starts again: the bridge reconnects within 12 s"
before=$(connected_count "$PORT")
stop_echo "$PORT"
stopped=$(now_ms)
check "the hub notices the loss" wait_until 5 grep -q "<-> 127.0.0.1:$PORT: connection lost" "$HUB_LOG"
check "the icon turns waiting" wait_until 5 image_is COM5 1
sleep 1  # the server stays down a moment, as a real one would
check "the server listens again" start_echo "$PORT"
check "the bridge is connected again within 12 s of the stop" \
    wait_until $((12 - ($(now_ms) - stopped) / 1000)) connected_more_than "$PORT" "$before"
echo "   reconnected $(( $(now_ms) - stopped )) ms after the server stopped"
check "the icon turns connected again" wait_until 5 image_is COM5 2
check_eq "data flows again" "ok 8192" "$(client echo COM5 3 8192)"
end_step

# ---- 3 ----
step "3. Ten bridges at once, each to its own server, each with its own data"
keys alt+o                                  # St&op bridges
check "the hub is stopped" wait_until 10 hub_stopped
check "the manager closes" close_manager
for n in $(seq 2 10); do
    p=$((BASE + n - 1))
    check "echo server $n listens on $p" start_echo "$p"
    check "pair $n is made for COM$((n + 4))" \
        wine "$DRIVER/setupc.exe" install "$n" HiddenMode=yes "PortName=COM$((n + 4)),EmuBR=yes,AddRTTO=0,AddRITO=10"
done
check "bridges 2 to 10 are stored" store_bridges
check "the manager starts with ten bridges" start_manager
check_eq "ten rows" 10 "$(row_count "$MAIN_CAPTION")"
declare -A before
for n in $(seq 1 10); do before[$n]=$(connected_count $((BASE + n - 1))); done
keys alt+s
for n in $(seq 1 10); do
    check "bridge $n connects" wait_until 15 connected_more_than $((BASE + n - 1)) "${before[$n]}"
done
results=$(mktemp -d)
clients=()
# 16 KB at a time: on bridges 2 to 10, which have no packet forming, the packets are a stream's,
# which the port's reader hands to its sender.
for n in $(seq 1 10); do
    client echo "COM$((n + 4))" $((100 + n)) 65536 16384 >"$results/$n" &
    clients+=($!)
done
wait "${clients[@]}" || true
for n in $(seq 1 10); do
    check_eq "COM$((n + 4)) gets its own 64 KiB back" "ok 65536" "$(cat "$results/$n")"
done
rm -rf "$results"
check "COM14's server stops" stop_echo $((BASE + 9))
check "its icon turns waiting" wait_until 10 image_is COM14 1
check_eq "the others stay connected" 2 "$(image_of COM13)"
shot "$E2E_OUT/link-state.png" "$MAIN_CAPTION"
check "COM14's server listens again" start_echo $((BASE + 9))
end_step

# ---- 4 ----
step "4. After a reboot the hub makes the pairs again before it serves them"
keys alt+o
check "the hub is stopped" wait_until 10 hub_stopped
for file in "$DOSDEVICES"/.pair*.pid; do  # as a reboot leaves them: links, but nobody behind them
    read -r keeper <"$file"
    kill -KILL "$keeper" $(pgrep -P "$keeper") 2>/dev/null || true
done
check "no pair is kept any more" wait_until 5 no_live_keepers
check "the links are left behind" test -L "$DOSDEVICES/cnca1" -a -L "$DOSDEVICES/com14"
for n in $(seq 1 10); do before[$n]=$(connected_count $((BASE + n - 1))); done
keys alt+s
for n in 1 10; do
    check "bridge $n connects" wait_until 20 connected_more_than $((BASE + n - 1)) "${before[$n]}"
done
check "every pair is kept again" wait_until 5 all_kept
check_eq "the hub logged no failure with the pairs" 0 "$(grep -c 'port pairs:' "$HUB_LOG" || true)"
check_eq "COM5 carries data" "ok 4096" "$(client echo COM5 7 4096)"
check_eq "COM14 carries data" "ok 4096" "$(client echo COM14 8 4096)"
end_step

# ---- 5 ----
step "5. The RX delay forms packets: a packet goes on once no byte has come for the delay"
DELAY=200
keys alt+o
check "the hub is stopped" wait_until 10 hub_stopped
check "the manager closes" close_manager
check "bridge 1 gets an RX delay of $DELAY ms" set_rx_delay 1 "$DELAY"
check "the manager starts" start_manager
connected_before=$(connected_count "$PORT")
keys alt+s
check "bridge 1 connects" wait_until 15 connected_more_than "$PORT" "$connected_before"
check "the hub reads COM5 with that delay" log_has "$HUB_LOG" 'serial \\.\CNCA1 baud 9600 ito '"$DELAY,"
# Bytes written to COM5 one at a time, the gap apart: how many of them the echo has brought back
# before the last one is written. 16 bytes 20 ms apart take longer than the delay, yet stay one
# packet; 600 ms apart, each goes on alone.
for row in "20 16 0" "600 3 2"; do
    read -r gap count held <<<"$row"
    out=$(client gaps COM5 "$gap" "$count")
    check_eq "$count bytes $gap ms apart: back before the last is written" "$held" "${out%% *}"
    check "the last packet comes back no sooner than $DELAY ms after the last byte ($out)" \
        [ "${out##* }" -ge "$DELAY" ]
done
end_step

# ---- 6 ----
step "6. A bridge switched off: left out of the hub's line, a hollow grey dot"
keys alt+o
check "the hub is stopped" wait_until 10 hub_stopped
check "the manager closes" close_manager
check "COM12 is switched off" wine reg add "$PROGRAM_KEY\\Bridges\\8" /v Enabled /d 0 /f
check "COM14's server stops" stop_echo $((BASE + 9))
check "the manager starts" start_manager
keys alt+s
check "COM14 waits" wait_until 15 image_is COM14 1
check "COM13 connects" wait_until 15 image_is COM13 2
check_eq "COM12 shows the hollow grey dot" 4 "$(image_of COM12)"
check "the hub's line leaves pair 8 out" bash -c "tail -n 1 <(grep -a 'hub4com.exe\"' '$HUB_LOG') | grep -vq 'CNCA8 '"
shot "$E2E_OUT/link-state.png" "$MAIN_CAPTION"
[ -z "${DOCS_DIR:-}" ] || cp "$E2E_OUT/link-state.png" "$DOCS_DIR/link-state.png"
end_step

# ---- 7 ----
step "7. The server holds a client of ours and refuses the hub: the bridge waits"
P=$((BASE + 9))
keys alt+o
check "the hub is stopped" wait_until 10 hub_stopped
accepts() { ss -Hltn "sport = :$P" | grep -q .; }
socat TCP-LISTEN:"$P",bind=127.0.0.1,reuseaddr PIPE </dev/null >/dev/null 2>&1 &  # one client, then no more
SERVER_PID[$P]=$!
check "COM14's server listens for one client" wait_until 5 accepts
socat -u TCP:127.0.0.1:"$P" /dev/null </dev/null >/dev/null 2>&1 &
OTHER=$!
check "our client is connected, and the server listens no more" wait_until 5 bash -c "! ss -Hltn 'sport = :$P' | grep -q ."
refusals=$(grep -c "<-> 127.0.0.1:$P: cannot connect" "$HUB_LOG" || true)
lines=$(lines_in "$(conn_log)")
keys alt+s
check "the hub cannot connect to it" wait_until 15 bash -c "[ \$(grep -c '<-> 127.0.0.1:$P: cannot connect' '$HUB_LOG') -gt $refusals ]"
check "COM13 connects" wait_until 15 image_is COM13 2
sleep 2  # a look or two after the hub's refusal
check_eq "COM14 waits, though a connection to its server stands" 1 "$(image_of COM14)"
check_eq "-status calls it waiting" waiting \
    "$(wine "$INSTALL_DIR/PontisManager.exe" -status 2>/dev/null </dev/null | tr -d '\r' | awk -F'\t' '$1 == "COM14" { print $3 }')"
# The start's first look saw every bridge waiting for an instant; only COM14 still waits 5 s on.
waiting_since() { tail -n +$((lines + 1)) "$(conn_log)" | awk -F'\t' '$4 == "waiting" { print $2 }' | paste -sd' ' -; }
only_com14_waits() { [ "$(waiting_since)" == COM14 ]; }
check "the start logs COM14 waiting, and no other" wait_until 10 only_com14_waits
kill "$OTHER" 2>/dev/null || true
end_step

# ---- 8 ----
step "8. Port control against ser2net: the program's settings reach the device, and its data crosses intact"
# Two devices, each a pseudo-terminal whose other end echoes, served by ser2net: one with
# RFC 2217, one raw. COM5's bridge goes to the first with port control on, then to the second
# with it off.
device() { stty -a -F "$E2E_OUT/$1" | grep -o 'speed [0-9]* baud\|-\?cstopb\|-\?crtscts' | paste -sd' ' -; }
for dev in dev1 dev2; do
    socat PTY,link="$E2E_OUT/$dev",rawer PIPE </dev/null >/dev/null 2>&1 &
    SERVER_PID[$dev]=$!
done
PC=$((BASE + 20)) RAW=$((BASE + 21))
# The README's configuration, its ports and devices made this run's.
sed -n '/^<!-- ser2net.yaml -->$/,/^<!-- end of ser2net.yaml -->$/p' "$E2E_REPO/README.md" | sed '/^<!--\|^```/d' |
    sed "s|,4001$|,$PC|; s|,4002$|,$RAW|; s|/dev/ttyUSB0,|$E2E_OUT/dev1,|; s|/dev/ttyUSB1,|$E2E_OUT/dev2,|" >"$E2E_OUT/ser2net.yaml"
check_eq "the README's ser2net configuration has an RFC 2217 port and a raw port, each with its device" \
    "telnet(rfc2217),tcp,$PC $E2E_OUT/dev1 tcp,$RAW $E2E_OUT/dev2" \
    "$(sed -n 's/^ *accepter: //p; s/^ *connector: serialdev,\([^,]*\),.*/\1/p' "$E2E_OUT/ser2net.yaml" | paste -sd' ' -)"
ser2net -n -c "$E2E_OUT/ser2net.yaml" -P "$E2E_OUT/ser2net.pid" </dev/null >"$E2E_OUT/ser2net.log" 2>&1 &
SERVER_PID[ser2net]=$!
check "ser2net serves both devices" wait_until 5 bash -c "(: >/dev/tcp/127.0.0.1/$PC && : >/dev/tcp/127.0.0.1/$RAW) 2>/dev/null"
keys alt+o
check "the hub is stopped" wait_until 10 hub_stopped
for value in "Port $PC" "RFC2217 1" "Connect 4" "RXDelay 0"; do wine reg add "$PROGRAM_KEY\\Bridges\\1" /v ${value% *} /d ${value#* } /f >/dev/null 2>&1 </dev/null; done
keys alt+s
check "COM5 connects to the RFC 2217 port" wait_until 15 image_is COM5 2
check "the hub's line has COM5's port-control chain" \
    bash -c "tail -n 1 <(grep -a 'hub4com.exe\"' '$HUB_LOG') | grep -q 'telnet:\"--comport=client\"'"
for settings in "57600 2 1:speed 57600 baud cstopb crtscts" "19200 1 0:speed 19200 baud -cstopb -crtscts"; do
    set_at=$(client set COM5 ${settings%%:*})
    [[ $set_at =~ ^[0-9]+$ ]] || set_at=$(now_ms)
    until [ "$(device dev1)" == "${settings#*:}" ] || [ $(($(now_ms) - set_at)) -gt 1000 ]; do :; done
    seen=$(now_ms)
    check_eq "COM5 set to ${settings%%:*}: the device shows it" "${settings#*:}" "$(device dev1)"
    check "within 1 s ($((seen - set_at)) ms after SetCommState returned)" [ $((seen - set_at)) -le 1000 ]
done
check_eq "1 MiB of every byte value, runs of 0xFF among them, crosses both ways intact" \
    "ok 1048576" "$(client echo COM5 7 1048576 16384)"
line=$(status_line COM5)
check_eq "-status counts the serial bytes sent and received, an escaped 0xFF once" "1048576 1048576" \
    "$(field_of "$line" sent) $(field_of "$line" received)"
check_eq "... the settings ser2net acknowledged (the serial client's), and its signature" "115200,8,N,1,none ser2net" \
    "$(field_of "$line" settings) $(field_of "$line" server)"
idle=$(field_of "$line" idle) && sleep 2
check "... and idle counts up while nothing moves" [ "$(field_of "$(status_line COM5)" idle)" -ge $((idle + 2)) ]
click_row "$MAIN_CAPTION" COM5
check "the status bar says the same of the selected row" \
    wait_until 3 bar_has "127.0.0.1:$PC, RFC 2217 (ser2net), 115200 8N1; sent 1.0 MB, received 1.0 MB; last data"
keys alt+o
check "the hub is stopped" wait_until 10 hub_stopped
for value in "Port $RAW" "RFC2217 0"; do wine reg add "$PROGRAM_KEY\\Bridges\\1" /v ${value% *} /d ${value#* } /f >/dev/null 2>&1 </dev/null; done
keys alt+s
check "COM5 connects to the raw port" wait_until 15 image_is COM5 2
check_eq "with port control off, the raw port carries the same data" "ok 1048576" "$(client echo COM5 7 1048576 16384)"
line=$(status_line COM5)
check_eq "-status counts it, with no settings for a raw bridge" "1048576 1048576 -" \
    "$(field_of "$line" sent) $(field_of "$line" received) $(field_of "$line" settings | grep . || echo -)"
# Port control that does not match the server: each way is mismatched, and nothing restarts.
mismatch() {  # <port> <RFC2217>: COM5 started to it
    keys alt+o && wait_until 10 hub_stopped || return 1
    for value in "Port $1" "RFC2217 $2"; do wine reg add "$PROGRAM_KEY\\Bridges\\1" /v ${value% *} /d ${value#* } /f >/dev/null 2>&1 </dev/null; done
    keys alt+s
}
mismatch "$PC" 0
check "a raw bridge to the RFC 2217 port is mismatched" wait_until 10 status_is mismatched
check "its row says so" wait_until 3 image_is COM5 6
mismatch "$RAW" 1
client echo COM5 13 65536 1024 >/dev/null  # the data flows, and no telnet comes back
check "a bridge with port control to the raw port is mismatched" wait_until 10 status_is mismatched
wine reg add "$PROGRAM_KEY\\Bridges\\1" /v RFC2217 /d 0 /f >/dev/null 2>&1 </dev/null  # raw to the raw port, as it was
end_step

# ---- 9 ----
step "9. The dialog's Test says what the server it names speaks"
keys alt+o
check "the hub is stopped" wait_until 10 hub_stopped
check "a click selects COM5" click_row "$MAIN_CAPTION" COM5
keys alt+e
check "Alt+E opens \"Edit bridge\"" dialog_open "Edit bridge"
test_line() { labelled_text "Edit bridge" "&Test"; }
line_is() { [ "$(test_line)" == "$1" ]; }
server_says() {  # <what the line says> <server field> <text>
    fill "Edit bridge" "$2" "$3" && click_control "Edit bridge" "&Test" && wait_until 8 line_is "$1" ||
        { echo "   the line: $(test_line)"; return 1; }
}
check "the raw port: raw TCP" server_says "127.0.0.1:$RAW: Connected; raw TCP (no telnet negotiation in 1 s)" "Server Port" "$RAW"
check "the RFC 2217 port, Port control off: says to turn it on" \
    server_says "127.0.0.1:$PC: This server speaks RFC 2217: turn Port control on to set its port" "Server Port" "$PC"
check "a click turns Port control on" click_control "Edit bridge" "Port control (&RFC 2217)"
check "and clears the line, which told of the box off" line_is ""
check "the RFC 2217 port: it speaks RFC 2217, and signs" \
    server_says "127.0.0.1:$PC: Connected; speaks RFC 2217 (ser2net)" "Server Port" "$PC"
# An RFC 2217 server of the suite's own that keeps silent until the client offers port control.
SILENT=$((BASE + 23))
cat >"$E2E_OUT/silent-rfc2217.sh" <<'SERVER'
#!/bin/sh
[ "$(dd bs=3 count=1 2>/dev/null | od -An -tx1 | tr -d ' \n')" = fffb2c ] || exit 0
printf '\377\375\054'
dd bs=6 count=1 >/dev/null 2>&1
printf '\377\372\054\144quiet\033[2J\377\360'
cat >/dev/null
SERVER
socat TCP-LISTEN:"$SILENT",bind=127.0.0.1,reuseaddr,fork EXEC:"sh $E2E_OUT/silent-rfc2217.sh" </dev/null >/dev/null 2>&1 &
SERVER_PID[$SILENT]=$!
check "a silent RFC 2217 server listens" wait_until 5 listening "$SILENT"
check "Port control on: offered port control, it speaks RFC 2217, its signature printable" \
    server_says "127.0.0.1:$SILENT: Connected; speaks RFC 2217 (quiet?[2J)" "Server Port" "$SILENT"
check "a click turns Port control off" click_control "Edit bridge" "Port control (&RFC 2217)"
check "Port control off: it is sent nothing and stays raw" \
    server_says "127.0.0.1:$SILENT: Connected; raw TCP (no telnet negotiation in 1 s)" "Server Port" "$SILENT"
check "a click turns Port control on again" click_control "Edit bridge" "Port control (&RFC 2217)"
check "the raw port, Port control on: says to turn it off" \
    server_says "127.0.0.1:$RAW: This server speaks raw TCP: turn Port control off" "Server Port" "$RAW"
check "a closed port: refused" server_says "127.0.0.1:$((BASE + 22)): Connection refused" "Server Port" $((BASE + 22))
check "an unknown name: not found" server_says "nosuchhost.invalid:$((BASE + 22)): Name not found" "Server IP" nosuchhost.invalid
keys Escape
check "Escape closes the dialog, the bridge unchanged" wait_until 10 window_gone "Edit bridge"
check_eq "its stored port" "$RAW" "$(reg_value 'Bridges\1' Port)"
end_step

# ---- 10 ----
step "10. Port control against servers of the suite's own: one refuses binary data, one acknowledges nothing"
NVT=$((BASE + 24)) MUTE=$((BASE + 25))
for row in "$NVT nvt" "$MUTE mute"; do
    python3 "$(dirname "$0")/telnet_server.py" $row </dev/null >/dev/null 2>&1 &
    SERVER_PID[${row#* }]=$!
    check "the ${row#* } server listens" wait_until 5 listening "${row% *}"
done
to_server() {  # COM5's bridge, with port control, to 127.0.0.1:<port>: started and connected
    local before value
    for value in "Port $1" "RFC2217 1"; do wine reg add "$PROGRAM_KEY\\Bridges\\1" /v ${value% *} /d ${value#* } /f >/dev/null 2>&1 </dev/null; done
    before=$(connected_count "$1")
    keys alt+s
    wait_until 15 connected_more_than "$1" "$before"
}
check "COM5 connects to the server that refuses binary data" to_server "$NVT"
check_eq "64 KiB of every byte value crosses both ways intact" "ok 65536" "$(client echo COM5 9 65536 16384)"
check_eq "the hub says once that line ends go as NVT's" 1 "$(grep -c "$NVT: the server refuses binary data" "$HUB_LOG")"
keys alt+o
check "the hub is stopped" wait_until 10 hub_stopped
check "COM5 connects to the server that acknowledges nothing" to_server "$MUTE"
connected=$(now_ms)
check "within 5 s the hub calls port control refused" \
    wait_until 5 log_has "$HUB_LOG" "$MUTE: port control refused: the server did not acknowledge baud rate"
check "-status says so" wait_until 2 status_is "port control refused"
echo "   refused $(( $(now_ms) - connected )) ms after the connection"
check_eq "and never says the server's port set" 0 "$(grep -c "$MUTE: server's port set" "$HUB_LOG")"
end_step

# ---- 11 ----
step "11. Port control: the device follows the program at every start; a pair made anew is opened again"
program_set() { [ "$(device dev1)" == "speed 57600 baud cstopb crtscts" ]; }
for value in "Port $PC" "RFC2217 1"; do wine reg add "$PROGRAM_KEY\\Bridges\\1" /v ${value% *} /d ${value#* } /f >/dev/null 2>&1 </dev/null; done
wine "$CLIENT" set COM5 57600 2 1 60 >/dev/null 2>&1 </dev/null &  # the program holds COM5 at 57600 8N2 RTS/CTS
HOLDER=$! && sleep 2 && wine "$INSTALL_DIR/PontisManager.exe" -stop >/dev/null 2>&1 </dev/null
stty -F "$E2E_OUT/dev1" 9600 -cstopb -crtscts && wine "$INSTALL_DIR/PontisManager.exe" -start >/dev/null 2>&1 </dev/null
check "-status calls COM5 connected after -stop, -start" wait_until 15 status_is connected
at=$(now_ms) && check "the device shows the program's settings within 1 s" wait_until 1 program_set
echo "   $(($(now_ms) - at)) ms after -status said connected" && kill "$HOLDER" && wait "$HOLDER" || true
check_eq "no port was lost before" 0 "$(grep -c 'port lost' "$HUB_LOG" || true)"
client echo COM5 11 16777216 16384 >/dev/null & STREAM=$! && sleep 1
hub=$(prefix_pids hub4com.exe) && ticks() { awk '{ print $14 + $15 }' "/proc/$hub/stat"; } && before=$(ticks) killed=$(now_ms)
kill -KILL "$(pgrep -P "$(cat "$DOSDEVICES/.pair1.pid")" -x pty-relay)"
check "the hub logs COM5's port lost within 3 s" wait_until 3 log_has "$HUB_LOG" "port lost (COM5)" && echo "   $(($(now_ms) - killed)) ms"
check "and then back" wait_until 10 log_has "$HUB_LOG" "port back (COM5)" && echo "   $(($(now_ms) - killed)) ms" && wait "$STREAM" || true
until [ $(($(now_ms) - killed)) -ge 10000 ]; do sleep 0.1; done; used=$(($(ticks) - before)) hz=$(getconf CLK_TCK)
check "the hub's CPU over the 10 s after the kill within 1 % of a core ($used of $((10 * hz)) ticks)" [ "$used" -le $((hz / 10)) ]
check "COM5 is connected again" wait_until 10 status_is connected
check_eq "64 KiB echoed after it cross intact" "ok 65536" "$(client echo COM5 12 65536 16384)"
end_step

summary
