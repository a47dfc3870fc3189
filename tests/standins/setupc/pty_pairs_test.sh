#!/bin/bash
# The Unix side of the setup tool's port pairs, run on its own in a folder that stands in for a
# prefix's dosdevices: real pairs, real links, real keepers. Needs bash and stty only.
# Usage: pty_pairs_test.sh <pty-pairs.sh, with pty-relay beside it> <work folder>
set -u
SCRIPT=$(readlink -f "$1")
WORK=$2
DD=$WORK/dosdevices
STATE=$WORK/setupc.state
STATUS=$WORK/answer
FAILED=0

cleanup() {
    local f pid
    for f in "$DD"/.pair*.pid; do
        [ -f "$f" ] && read -r pid <"$f" && kill -TERM "$pid" 2>/dev/null && wait_gone "$pid"
    done
    rm -rf "$WORK"
}
trap cleanup EXIT
rm -rf "$WORK"
mkdir -p "$DD"
ln -s /dev/null "$DD/com1"  # a port the pairs did not make
: >"$DD/com2"

pairs() { bash "$SCRIPT" "$DD" "$STATE" "$STATUS" "$@"; }
list() { printf '%s PortName=X\r\n' "$@" >"$STATE.new" && mv "$STATE.new" "$STATE"; }
keeper() { cat "$DD/.pair$1.pid" 2>/dev/null; }
alive() { [ -n "$1" ] && [ "$(tr -d '\0' <"/proc/$1/cmdline" 2>/dev/null)" != "" ]; }
target() { readlink "$DD/$1" 2>/dev/null; }
names() { (cd "$DD" && ls -A | grep -v '^\.pair' | sort | paste -sd' ' -); }
within_10s() {  # within_10s <command...>: until the command succeeds, 10 s at most
    local i
    for ((i = 0; i < 500; i++)); do "$@" && return 0; sleep 0.02; done
    return 1
}
gone() { ! alive "$1"; }
wait_gone() { within_10s gone "$1"; }

check() {  # check <what> <expected> <actual>
    if [ "$2" == "$3" ]; then
        echo "ok    $1"
    else
        echo "FAIL  $1"
        echo "      expected: $2"
        echo "      actual:   $3"
        FAILED=$((FAILED + 1))
    fi
}
answer() { pairs "$@"; echo "$? $(cat "$STATUS" 2>/dev/null)"; }

# Bytes written to one end come out of the other, both ways.
carries() {
    local a=$1 b=$2 got
    exec 5<>"$DD/$a" 6<>"$DD/$b"
    printf 'ping' >&5
    read -r -t 2 -N 4 got <&6
    local one=$got
    printf 'pong' >&6
    read -r -t 2 -N 4 got <&5
    exec 5>&- 6>&-
    [ "$one/$got" == "ping/pong" ]
}

echo "== make"
list 1
check "make 1 com3 answers 0" "0 0" "$(answer make 1 com3)"
check "ends and port are linked" "cnca1 cncb1 com1 com2 com3" "$(names)"
check "com3 points at the pair's B end" "cncb1" "$(target com3)"
check "the ends are terminals" "yes" "$([ -c "$DD/cnca1" ] && [ -c "$DD/cncb1" ] && echo yes)"
held() { [ -n "$(ps -t "$(readlink "$DD/$1")" -o pid= 2>/dev/null)" ]; }
# The keeper's holders take the ends a moment after the links appear.
check "each end is some session's terminal of ours" "yes" "$(within_10s held cnca1 && within_10s held cncb1 && echo yes)"
check "cnca1 and com3 carry bytes both ways" "yes" "$(carries cnca1 com3 && echo yes)"
first=$(keeper 1)
check "a keeper runs" "yes" "$(alive "$first" && echo yes)"

echo "== refusals leave everything as it was"
check "the same pair again" "1 1 pair 1 exists" "$(answer make 1 com4)"
check "a port linked elsewhere" "1 1 com1 exists in $DD and is not pair 2's" "$(answer make 2 com1)"
check "a port that is a file" "1 1 com2 exists in $DD and is not pair 2's" "$(answer make 2 com2)"
check "a bad port name" "1 1 not a port name: lpt1" "$(answer make 2 lpt1)"
check "a bad pair number" "1 1 not a pair number: 01" "$(answer make 01 com4)"
check "a bad verb" "1 1 unknown verb mend" "$(answer mend 1 com4)"
check "nothing changed" "cnca1 cncb1 com1 com2 com3 /dev/null" "$(names) $(target com1)"
check "the first keeper still runs" "$first" "$(keeper 1)"

echo "== relink"
check "relink to com1 is refused" "1 1 com1 exists in $DD and is not pair 1's" "$(answer relink 1 com1)"
check "relink 1 com5" "0 0" "$(answer relink 1 com5)"
check "com3 gone, com5 there" "cnca1 cncb1 com1 com2 com5" "$(names)"
check "relink to the same name" "0 0" "$(answer relink 1 com5)"
check "cnca1 and com5 carry bytes" "yes" "$(carries cnca1 com5 && echo yes)"

echo "== restore"
check "restore of a live pair keeps its keeper" "0 0 $first" "$(answer restore 1 com5) $(keeper 1)"
relay_pid=$(pgrep -P "$first" -x pty-relay)
kill -KILL "$first" "$relay_pid"  # as after a reboot: links left, nobody behind them
wait_gone "$first"
check "the links are left behind" "cnca1 cncb1 com1 com2 com5" "$(names)"
check "restore makes the pair again" "0 0" "$(answer restore 1 com5)"
second=$(keeper 1)
check "with a new keeper" "yes" "$([ "$second" != "$first" ] && alive "$second" && echo yes)"
check "cnca1 and com5 carry bytes again" "yes" "$(carries cnca1 com5 && echo yes)"

echo "== the keeper holds the relay"
old_relay=$(pgrep -P "$second" -x pty-relay)
kill -TERM "$old_relay"
# Started again once a new relay runs and its ends are held.
restarted() { pgrep -P "$second" -x pty-relay | grep -qvx "$old_relay" && held cnca1 && held cncb1; }
check "the relay is started again" "yes" "$(within_10s restarted && echo yes)"
stty -F "$DD/cnca1" 9600
check "until com5 is set, cnca1 keeps what the hub set" "9600" "$(sleep 0.3; stty -F "$DD/cnca1" speed)"
check "and the pair carries bytes" "yes" "$(carries cnca1 com5 && echo yes)"

echo "== the application's settings reach the hub's end, and only that way"
settings() { stty -a -F "$DD/$1" | grep -o 'speed [0-9]* baud\|-\?cstopb\|-\?crtscts\|-\?ixon\|-\?ixoff' | paste -sd' ' -; }
stty -F "$DD/com5" 57600 cstopb crtscts ixon ixoff
shows() { [ "$(settings cnca1)" == "$1" ]; }
check "cnca1 shows com5's" "yes" "$(within_10s shows "speed 57600 baud cstopb crtscts ixon ixoff" && echo yes)"
stty -F "$DD/cnca1" 9600 -cstopb 2>/dev/null  # stty may find them put back before it reads them
check "the hub's change is put back to com5's" "speed 57600 baud cstopb crtscts ixon ixoff" "$(sleep 0.3; settings cnca1)"
stty -F "$DD/com5" -crtscts -ixon -ixoff
check "com5's next change goes over whole" "speed 57600 baud cstopb -crtscts -ixon -ixoff" \
    "$(within_10s shows "speed 57600 baud cstopb -crtscts -ixon -ixoff"; settings cnca1)"

echo "== end"
check "end 1" "0 0" "$(answer end 1)"
check "keeper gone" "no" "$(alive "$second" && echo yes || echo no)"
check "only the foreign ports are left" "com1 com2 /dev/null" "$(names) $(target com1)"
check "end of a pair that is not there" "0 0" "$(answer end 1)"

echo "== a pair whose record leaves the state file ends by itself"
list 2 3
check "make 2 com6" "0 0" "$(answer make 2 com6)"
check "make 3 com7" "0 0" "$(answer make 3 com7)"
k2=$(keeper 2)
k3=$(keeper 3)
list 3
check "make of a pair whose keeper is on its way out" "0 0" "$(answer make 2 com6)"
check "ends the old keeper at once" "no" "$(alive "$k2" && echo yes || echo no)"
k2=$(keeper 2)
list 2
check "pair 3's keeper ends" "yes" "$(wait_gone "$k3" && echo yes)"
check "its links are gone, pair 2's stay" "cnca2 cncb2 com1 com2 com6" "$(names)"
check "pair 2's new keeper still runs" "yes" "$(alive "$k2" && echo yes)"
pairs end 2
check "all ended" "com1 com2" "$(names)"
check "no keeper left" "no" "$(alive "$k2" && echo yes || echo no)"

echo "$FAILED failed"
[ "$FAILED" -eq 0 ]
