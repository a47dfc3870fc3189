# shellcheck shell=bash
# Shared by the benchmarks; source it after tests/e2e/lib.sh.

# The median of the numbers on stdin.
median() {
    sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
lowest() { sort -n | head -n 1; }
highest() { sort -n | tail -n 1; }

# seed_ten_bridges [base port] [connect] [hosts]: ten bridges on COM3 to COM12, each with its port
# pair made by the setup tool, as adds leave them; bridge n goes to 127.0.0.1 (or with hosts=ten to
# 127.0.0.<n + 1>), port base + n (default 4000 + n), with that Connect (default 0, DSR; 4 is always).
seed_ten_bridges() {
    local n reg=$E2E_OUT/bridges.reg base=${1:-4000} connect=${2:-0} hosts=${3:-one}
    echo "REGEDIT4" >"$reg"
    for n in {1..10}; do
        wine "$INSTALL_DIR/driver/setupc.exe" install "$n" "HiddenMode=yes" \
            "PortName=COM$((n + 2)),EmuBR=yes,AddRTTO=0,AddRITO=10" >/dev/null 2>&1 </dev/null
        cat >>"$reg" <<EOF

[HKEY_CURRENT_USER\\Software\\Quillon\\Pontis Manager\\Bridges\\$n]
"Index"="$n"
"COM"="COM$((n + 2))"
"Baud"="9600"
"Emulate"="1"
"Connect"="$connect"
"IP"="127.0.0.$([ "$hosts" == ten ] && echo $((n + 1)) || echo 1)"
"Port"="$((base + n))"
"Delay"="500"
"TXDelay"="10"
"RXDelay"="10"
"Name"="Bridge $n"
EOF
    done
    wine reg import "$reg" >/dev/null 2>&1 </dev/null
}
