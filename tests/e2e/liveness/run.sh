#!/usr/bin/env bash
# Dead links. In a network namespace of its own (everything runs inside it: the display, the
# Wine server, the servers and the program), two bridges are started with -start -tray: COM5 to
# server A on 127.0.0.2 and COM6 to server B on 127.0.0.1; COM7 goes to server C on 127.0.0.3,
# which drops every echo from the start. Then every packet from A is dropped, as when a device
# server loses its power, and let through again: first with the stand-in hub's keep-alive and no
# echoes, then without keep-alive right after a start, when only the manager's restart makes the
# link anew, and once more within a minute of that restart. Last, echoes are refused to the
# program (it runs without CAP_NET_RAW, and ping sockets are closed to every group).
# Usage: run.sh <build dir>
set -euo pipefail
if [ -z "${PONTIS_IN_NETNS:-}" ]; then
    [ "$(id -u)" -eq 0 ] || { echo "FAIL  the suite makes a network namespace and needs root"; exit 1; }
    command -v capsh >/dev/null || { echo "FAIL  the suite drops CAP_NET_RAW with capsh (libcap2-bin)"; exit 1; }
    # Without CAP_NET_RAW, as a user: echoes go through ping sockets, which ping_group_range allows.
    PONTIS_IN_NETNS=1 exec unshare --net capsh --drop=cap_net_raw -- "$0" "$@" ||
        { echo "FAIL  no network namespace could be made (unshare --net)"; exit 1; }
fi
ip link set lo up
sysctl -q -w net.ipv4.ping_group_range="0 2147483647" ||
    { echo "FAIL  ping sockets cannot be allowed in the namespace (net.ipv4.ping_group_range)"; exit 1; }
source "$(dirname "$0")/../lib.sh"

e2e_setup "$1" "$(cd "$1" && pwd)/e2e/liveness"
install_program "$BUILD_DIR/bin"
DRIVER=$INSTALL_DIR/driver

# ---- servers that accept again and again and count their connections ----

declare -A SERVER_PID
start_server() {  # <name> <address> <port>
    : >"$E2E_OUT/$1.count"
    socat TCP-LISTEN:"$3",bind="$2",reuseaddr,fork SYSTEM:"echo x >>'$E2E_OUT/$1.count'; cat" </dev/null >/dev/null 2>&1 &
    SERVER_PID[$1]=$!
    wait_until 5 bash -c ": >/dev/tcp/$2/$3" 2>/dev/null
}
count() { lines_in "$E2E_OUT/$1.count"; }
count_above() { [ "$(count "$1")" -gt "$2" ]; }

drop_from() { nft add rule inet pontis input ip saddr "$1" "${@:2}" drop; }
let_through() { nft flush chain inet pontis input; drop_from 127.0.0.3 ip protocol icmp; }

cleanup() {
    local name
    for name in "${!SERVER_PID[@]}"; do kill $(pgrep -P "${SERVER_PID[$name]}") "${SERVER_PID[$name]}" 2>/dev/null || true; done
    nft delete table inet pontis 2>/dev/null || true
    rm -f "$DRIVER/setupc.state"
}
trap 'status=$?; cleanup; e2e_teardown || status=1; exit $status' EXIT

manager() { wine "$INSTALL_DIR/PontisManager.exe" "$@" 2>/dev/null </dev/null | tr -d '\r'; }
status_of() { manager -status | awk -F'\t' -v com="$1" '$1 == com { print $3 }'; }
status_is() { local s; s=$(status_of "$1"); for want in "${@:2}"; do [ "$s" == "$want" ] && return 0; done; return 1; }
status_code() { wine "$INSTALL_DIR/PontisManager.exe" -status >/dev/null 2>&1 </dev/null; echo $?; }
status_code_is() { [ "$(status_code)" == "$1" ]; }
log_lines() { local f; f=$(conn_log); [ -n "$f" ] && tr -d '\r' <"$f" | tail -n +"$((${1:-0} + 1))"; }
log_count() { log_lines | grep -c . || true; }
log_has() { log_lines "$1" | grep -qE -- "$2"; }
note() { wine "$BUILD_DIR/tests/window_probe.exe" --tray 2>/dev/null </dev/null | sed -n 's/^note\t//p'; }
note_has() { note | grep -qF -- "$1"; }
ms_since() { echo $(( $(now_ms) - $1 )); }

store_bridges() {  # COM5 -> A, COM6 -> B, COM7 -> C; connected always, as the pairs have no signals
    local file=$E2E_OUT/bridges.reg n com ip port
    printf 'REGEDIT4\n' >"$file"
    for n in 1 2 3; do
        com=COM$((n + 4)); ip=127.0.0.$((n == 1 ? 2 : n == 2 ? 1 : 3)); port=$((BASE + n))
        printf '\n[HKEY_CURRENT_USER\\Software\\Quillon\\Pontis Manager\\Bridges\\%s]\n' "$n" >>"$file"
        printf '"Index"="%s"\n"COM"="%s"\n"Baud"="115200"\n"Emulate"="1"\n"Connect"="4"\n' "$n" "$com" >>"$file"
        printf '"IP"="%s"\n"Port"="%s"\n"Delay"="500"\n"TXDelay"="10"\n"RXDelay"="0"\n"Name"=""\n' "$ip" "$port" >>"$file"
        wine "$DRIVER/setupc.exe" install "$n" HiddenMode=yes "PortName=$com,EmuBR=yes,AddRTTO=0,AddRITO=10" \
            </dev/null >/dev/null 2>&1 || { echo "   setupc install $n failed"; return 1; }
    done
    wine reg import "$file" >/dev/null 2>&1 </dev/null
}

# A drop and its end: the time to "not answering" or "waiting", and back to "connected".
dead_and_back() {  # <hub kind> <seconds> <state>
    local from lines first
    lines=$(log_count)
    from=$(now_ms)
    drop_from 127.0.0.2
    check "within $2 s -status calls COM5 $3" wait_until "$2" status_is COM5 "$3"
    echo "   ($1) -status: $(status_of COM5) after $(ms_since "$from") ms"
    check_eq "and ends with 1" 1 "$(status_code)"
    check "the log has COM5 $3" wait_until 5 log_has "$lines" $'\tCOM5\t.*\t'"$3"$'\t$'
    # A waiting link is told once it waited 5 s in the window's own looks, a second apart.
    check "a \"Link lost\" note names COM5" wait_until 10 note_has "Link lost: COM5"
    echo "   ($1) note after $(ms_since "$from") ms: $(note)"
    check_eq "COM6 is connected" connected "$(status_of COM6)"
    first=$(count A)
    lines=$(log_count)
    from=$(now_ms)
    let_through
    check "within 25 s COM5 is connected" wait_until 25 status_is COM5 connected
    echo "   ($1) connected $(ms_since "$from") ms after the rule went"
    check_eq "-status ends with 0 once all are connected" 0 "$(wait_until 10 status_code_is 0; status_code)"
    check "the log has COM5 connected, and how long it was not" \
        wait_until 5 log_has "$lines" $'\tCOM5\t.*\tconnected\t\tafter [0-9]+ s$'
    check "A counted a new connection" wait_until 40 count_above A "$first"  # a restart may wait for its minute
}

BASE=$(first_free_port 5)
nft add table inet pontis
nft add chain inet pontis input '{ type filter hook input priority 0; }'
let_through

step "0. Three servers, three bridges, started with -start -tray: all connected"
check "A listens on 127.0.0.2" start_server A 127.0.0.2 $((BASE + 1))
check "B listens on 127.0.0.1" start_server B 127.0.0.1 $((BASE + 2))
check "C listens on 127.0.0.3" start_server C 127.0.0.3 $((BASE + 3))
check "the bridges are stored, their pairs made" store_bridges
wine reg add "$PROGRAM_KEY" /v CheckServers /d 0 /f >/dev/null 2>&1 </dev/null
wine "$INSTALL_DIR/PontisManager.exe" -start -tray >/dev/null 2>&1 </dev/null &
MANAGER_JOB=$!
check "every bridge is connected" wait_until 20 status_code_is 0
end_step

step "1-2. Every packet from A dropped, then let through, with the hub's keep-alive and no echoes"
sleep 6  # keep-alive counts from the connection's last packet
dead_and_back "keep-alive, no echoes" 30 waiting
end_step

# The echoes on, in a new copy whose own restarts start hubs without keep-alive; A answers it.
kill $(prefix_pids PontisManager.exe) && wine reg add "$PROGRAM_KEY" /v CheckServers /d 1 /f >/dev/null 2>&1 </dev/null
PONTIS_HUB_KEEPALIVE=0 wine "$INSTALL_DIR/PontisManager.exe" -tray >/dev/null 2>&1 </dev/null &
MANAGER_JOB=$!
sleep 6

step "3. The same right after a start, with a hub without keep-alive: the manager's restart makes the link anew"
manager -stop >/dev/null
PONTIS_HUB_KEEPALIVE=0 manager -start >/dev/null
check "every bridge is connected" wait_until 20 status_code_is 0
lines=$(log_count)
dead_and_back "no keep-alive, right after a start" 20 "not answering"
check "the log has restarted" wait_until 10 log_has "$lines" $'\t-\t-\trestarted$'
check "COM6 is connected again within 2 s of the restart" wait_until 2 status_is COM6 connected
check "and every bridge" wait_until 10 status_code_is 0
end_step

restarted_at() { date -d "$(log_lines | grep -P '\t-\t-\trestarted$' | tail -n 1 | cut -f1)" +%s; }
step "4. A cut 20 s after that restart, let through within its minute: made anew when the minute ends"
first=$(restarted_at)
until [ "$(date +%s)" -ge $((first + 20)) ]; do sleep 0.2; done
lines=$(log_count)
dead_and_back "within a minute of a restart" 20 "not answering"
check "the log has restarted" wait_until 5 log_has "$lines" $'\t-\t-\trestarted$'
echo "   restarted $(($(restarted_at) - first - 60)) s after the minute ended"
check "not before" test $(($(restarted_at) - first)) -ge 60
end_step

step "5. C drops every echo from the start: its bridge stays connected for 60 s"
lines=$(log_count)
stay_connected() {
    local until=$(($(now_ms) + 60000))
    while [ "$(now_ms)" -lt "$until" ]; do status_is COM7 connected || return 1; sleep 5; done
}
check "COM7 is connected all along" stay_connected
no_com7_since() { ! log_lines "$1" | grep -q $'\tCOM7\t'; }
check "the log has no new COM7 line" no_com7_since "$lines"
end_step

step "6. Echoes refused: said once, nothing judged, and said again when they go"
lines=$(log_count)
sysctl -q -w net.ipv4.ping_group_range="1 0"
check "the log says so, with the system's reason" wait_until 15 log_has "$lines" $'\t-\t-\tservers unchecked\t.+$'
check "a note says so" wait_until 5 note_has "Servers cannot be checked: "
echo "   $(log_lines "$lines" | grep 'servers unchecked' | cut -f4-); note: $(note)"
stay_all_connected() {
    local until=$(($(now_ms) + 20000))
    while [ "$(now_ms)" -lt "$until" ]; do status_code_is 0 || return 1; sleep 2; done
}
check "-status calls every bridge connected for 20 s" stay_all_connected
check_eq "the log said it once" 1 "$(log_lines "$lines" | grep -c $'\tservers unchecked\t')"
sysctl -q -w net.ipv4.ping_group_range="0 2147483647"
check "within a minute and a bit the log says the servers are checked again" \
    wait_until 70 log_has "$lines" $'\t-\t-\tservers checked$'
end_step

manager -stop >/dev/null || true
summary
