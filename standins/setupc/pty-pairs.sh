#!/bin/bash
# The Unix side of the setup tool's port pairs under Wine. Pair <n> is two pseudo-terminals
# relayed by pty-relay (beside this script), their ends linked in the prefix's dosdevices folder
# as cnca<n> (the hub's) and cncb<n>; the pair's port name (com3) is a link to cncb<n>, so
# "\\.\CNCA<n>" and "COM3" open as the two ends of a null-modem cable, and the speed, stop bits
# and flow control the application sets on COM3 are what the hub reads on CNCA<n>. One keeper
# process per pair holds the relay (starting it again should it die) and takes the pair away
# when told to, or once the state file that made it no longer lists it.
#
#   pty-pairs.sh <dosdevices> <state file> <status file> make|relink|restore|end <n> [<port name>]
#     make     makes pair n with its port link; refused when the pair is alive or the port
#              name is a link or device that is not this pair's
#     relink   points another port name at pair n instead of the old one
#     restore  makes pair n again when its keeper is gone (after a reboot), else relinks
#     end      ends pair n: its keeper, then whatever links of it are left
#   The answer, "0" or "1 <reason>", goes to the status file in one step (the caller may not be
#   able to wait for this process); the exit code says the same.
#
#   pty-pairs.sh keep <dosdevices> <state file> <n>      the keeper itself, started by make
#
# Links are touched only when they are this pair's: cnca<n> and cncb<n> are the tool's own
# names, and a port link is the pair's when it points at cncb<n>.
set -u
# Started from Windows, the environment may lack the usual Unix search path.
export PATH="/usr/local/bin:/usr/bin:/bin${PATH:+:$PATH}"

WAIT_STEPS=250   # 5 s in steps of 20 ms
GRACE=10         # seconds a new keeper waits for its pair to be listed

KEEPER_STATE=""  # the state file of the keeper keeper_of found last

keeper_pid_file() { echo "$DD/.pair$1.pid"; }

# Prints the pid of pair n's keeper when one runs.
keeper_of() {
    local file pid
    file=$(keeper_pid_file "$1")
    [ -f "$file" ] || return 1
    read -r pid <"$file" 2>/dev/null || return 1
    [[ $pid =~ ^[0-9]+$ ]] || return 1
    local args=()
    mapfile -d '' -t args <"/proc/$pid/cmdline" 2>/dev/null || return 1
    # bash <this script> keep <dosdevices> <state> <n>: from any folder, for any state file
    [ ${#args[@]} -eq 6 ] && [ "${args[1]##*/}" == "${SELF##*/}" ] && [ "${args[2]}" == keep ] &&
        [ "${args[3]}" == "$DD" ] && [ "${args[5]}" == "$1" ] || return 1
    KEEPER_STATE=${args[4]}
    echo "$pid"
}

keeper_gone() { ! keeper_of "$1" >/dev/null; }
is_pair_link() { [ -L "$1" ] && [ "$(readlink "$1")" == "cncb$2" ]; }
exists() { [ -e "$1" ] || [ -L "$1" ]; }
listed() { grep -q "^$1 " "$STATE" 2>/dev/null; }

# Removes the port links that point at pair n, but for the one named keep.
unlink_ports() {
    local link
    for link in "$DD"/com*; do
        if is_pair_link "$link" "$1" && [ "$link" != "$DD/${2:-}" ]; then rm -f "$link"; fi
    done
}

pair_ready() { [ -c "$DD/cnca$1" ] && [ -c "$DD/cncb$1" ]; }

wait_for() {
    local i
    for ((i = 0; i < WAIT_STEPS; i++)); do
        if "$@"; then return 0; fi
        sleep 0.02
    done
    return 1
}

# Fails unless the port name is free or already pair n's.
check_port_free() {
    if exists "$DD/$2" && ! is_pair_link "$DD/$2" "$1"; then fail "$2 exists in $DD and is not pair $1's"; fi
}

link_port() {
    local link="$DD/$2"
    is_pair_link "$link" "$1" || ln -s "cncb$1" "$link" || fail "cannot link $link"
}

# Removes what a dead keeper left: the ends and the port links of pair n.
remove_leftovers() {
    local link
    for link in "$DD/cnca$1" "$DD/cncb$1"; do if [ -L "$link" ]; then rm -f "$link"; fi; done
    unlink_ports "$1"
    rm -f "$(keeper_pid_file "$1")"
}

make_pair() {
    local n=$1 name=$2
    [ -f "$RELAY" ] || fail "${RELAY##*/} is not beside ${SELF##*/}"
    # A copy made from Windows is not executable: Wine marks only .exe and .com files so.
    [ -x "$RELAY" ] || chmod +x "$RELAY" || fail "cannot make $RELAY executable"
    if keeper_of "$n" >/dev/null; then
        # A keeper whose state file no longer lists its pair is about to end by itself.
        if grep -q "^$n " "$KEEPER_STATE" 2>/dev/null; then fail "pair $n exists"; fi
        end_pair "$n"
    fi
    check_port_free "$n" "$name"
    remove_leftovers "$n"
    setsid bash "$SELF" keep "$DD" "$STATE" "$n" </dev/null >/dev/null 2>&1 &
    if ! wait_for pair_ready "$n"; then
        end_pair "$n"
        fail "no pair $n was made"
    fi
    link_port "$n" "$name"
}

relink_pair() {
    local n=$1 name=$2
    check_port_free "$n" "$name"
    link_port "$n" "$name"
    unlink_ports "$n" "$name"
}

end_pair() {
    local pid
    if pid=$(keeper_of "$1"); then
        kill -TERM "$pid" 2>/dev/null
        # Not kill -0: an ended keeper may stay a zombie for a while where init reaps slowly.
        wait_for keeper_gone "$1" || fail "pair $1's keeper $pid does not end"
    fi
    remove_leftovers "$1"
}

# Starts the relay and, once its ends are there, a holder for each: a session of its own whose
# controlling terminal the end becomes. Otherwise the first Wine process to open an end (the
# wineserver, a session leader without a terminal) would take it for its own and be sent a
# hangup signal when the pair ends.
start_pair() {
    local n=$1 end
    rm -f "$DD/cnca$n" "$DD/cncb$n"  # a dead relay's links point at nothing, or at another's terminal
    "$RELAY" "$DD/cnca$n" "$DD/cncb$n" &
    RELAY_PID=$!
    HOLDERS=()
    wait_for pair_ready "$n" || return 1
    for end in "$DD/cnca$n" "$DD/cncb$n"; do
        setsid bash -c 'exec 3<>"$1" && exec sleep infinity' hold "$end" &
        HOLDERS+=($!)
    done
}

stop_pair() {
    if [ -n "$RELAY_PID" ]; then
        kill -TERM "$RELAY_PID" "${HOLDERS[@]}" 2>/dev/null
        wait "$RELAY_PID" "${HOLDERS[@]}" 2>/dev/null
    fi
    RELAY_PID=""
}

keep() {
    local n=$1 stop="" start=$SECONDS seen="" fd
    RELAY_PID=""
    for fd in /proc/$$/fd/*; do  # nothing of the Wine process that started us stays open
        fd=${fd##*/}
        if [ "$fd" -gt 2 ]; then eval "exec $fd>&-" 2>/dev/null; fi
    done
    echo $$ >"$(keeper_pid_file "$n").new" && mv -f "$(keeper_pid_file "$n").new" "$(keeper_pid_file "$n")"
    trap 'stop=1' TERM INT
    trap : HUP  # a hangup of an end; caught rather than ignored, so the holders keep the default
    while [ -z "$stop" ] && [ -d "$DD" ]; do
        if listed "$n"; then
            seen=1
        elif [ -n "$seen" ] || ((SECONDS - start > GRACE)); then
            break
        fi
        if [ -z "$RELAY_PID" ] || ! kill -0 "$RELAY_PID" 2>/dev/null; then
            stop_pair
            start_pair "$n"
        fi
        # Wakes at a second, or at once when the relay (or a holder) ends: a pair whose relay died
        # is made anew without delay, and the hub, which watches the links, finds its end gone.
        sleep 1 &
        wait -n
    done
    stop_pair
    remove_leftovers "$n"
}

answer() {
    if [ -n "${STATUS:-}" ]; then printf '%s\n' "$1" >"$STATUS.new" && mv -f "$STATUS.new" "$STATUS"; fi
}
fail() { answer "1 $*"; exit 1; }

SELF=$(readlink -f "$0")
RELAY=${SELF%/*}/pty-relay
if [ "${1:-}" == keep ]; then
    [ $# -eq 4 ] || exit 2
    DD=$2 STATE=$3
    keep "$4"
    exit 0
fi

[ $# -ge 5 ] || { echo "usage: $0 <dosdevices> <state file> <status file> <verb> <n> [<port name>]" >&2; exit 2; }
DD=$1 STATE=$2 STATUS=$3 VERB=$4 N=$5 NAME=${6:-}
[[ $N =~ ^[1-9][0-9]*$ ]] || fail "not a pair number: $N"
if [ "$VERB" != end ] && ! [[ $NAME =~ ^com[1-9][0-9]*$ ]]; then fail "not a port name: $NAME"; fi
[ -d "$DD" ] || fail "no folder $DD"

case $VERB in
make) make_pair "$N" "$NAME" ;;
relink) relink_pair "$N" "$NAME" ;;
restore) if keeper_of "$N" >/dev/null; then relink_pair "$N" "$NAME"; else make_pair "$N" "$NAME"; fi ;;
end) end_pair "$N" ;;
*) fail "unknown verb $VERB" ;;
esac
answer 0
