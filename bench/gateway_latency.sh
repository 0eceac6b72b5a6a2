#!/bin/bash
# The gateway's figures against a real mosquitto and phonesim: for N messages
# (100 by default) delivered one by one, the time from the delivery to the
# phone until the message is on P/I/received (the phone's announcement, the
# read and the store included), its 50th and 99th percentiles; the gateway's
# resident memory after them and at its peak; and the processor time it used while nothing
# happened for 10 s. Reports figures; never passes or fails on them.
#
#   bench/gateway_latency.sh [BUILD_DIR] [N]      (BUILD_DIR default build/asan)
# Needs mosquitto and mosquitto-clients (mosquitto_sub).
set -euo pipefail

build=$(realpath "${1:-build/asan}")
count=${2:-100}
cli=$build/tools/cli/korvanet-cli
phonesim=$build/tools/phonesim/phonesim
for program in "$cli" "$phonesim" /usr/sbin/mosquitto /usr/bin/mosquitto_sub; do
    [[ -x $program ]] || { echo "gateway_latency: $program not there" >&2; exit 2; }
done

work=$(mktemp -d /tmp/kv-gateway-bench-XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mkdir -p "$work/root/dev" "$work/broker"
cat > "$work/broker/mosquitto.conf" <<CONF
user $(id -un)
listener $port 127.0.0.1
allow_anonymous true
log_dest file $work/broker/log
CONF
/usr/sbin/mosquitto -c "$work/broker/mosquitto.conf" 2> "$work/broker/err" &
pids+=($!)
until grep -q running "$work/broker/log" 2>/dev/null; do sleep 0.01; done

cat > "$work/profile.json" <<'JSON'
{"sms": {"smsc": "+447785016005",
         "stores": {"ME": {"capacity": 500, "messages": []}, "SM": {"capacity": 500, "messages": []}}}}
JSON
"$phonesim" --profile "$work/profile.json" --link "$work/root/dev/COM3" --control "$work/control" \
    > "$work/phonesim.out" 2> "$work/phonesim.err" &
pids+=($!)
until grep -q '^ready$' "$work/phonesim.out" 2>/dev/null; do sleep 0.01; done

received=$work/received
mosquitto_sub -h 127.0.0.1 -p "$port" -q 1 -t bench/m1/received -F '%U' > "$received" &
pids+=($!)
(cd "$work" && exec env -u KORVANET_COM3 "$cli" --root "$work/root" gateway --broker "mqtt://127.0.0.1:$port" \
    --id m1 --prefix bench --delete-after-store > "$work/gateway.out" 2> "$work/gateway.err") &
gateway=$!
pids+=($gateway)
until grep -q "Listening for messages" "$work/gateway.err" 2>/dev/null; do
    kill -0 "$gateway" 2>/dev/null || { cat "$work/gateway.err" >&2; exit 1; }
    sleep 0.01
done

lines() { wc -l < "$received"; }
now_us() { echo $(( $(date +%s%N) / 1000 )); }
: > "$work/times"
for ((i = 1; i <= count; i++)); do
    start=$(now_us)
    echo "deliver +4477009$(printf '%05d' "$i") Bench message $i of $count" > "$work/control"
    until (( $(lines) >= i )); do sleep 0.001; done
    published=$(sed -n "${i}p" "$received" | awk '{ printf "%.0f", $1 * 1000000 }')
    echo $(( published - start )) >> "$work/times"
done

sort -n "$work/times" | awk -v n="$count" '
    { t[NR] = $1 }
    END {
        p50 = t[int((n - 1) * 0.50) + 1]; p99 = t[int((n - 1) * 0.99) + 1]
        printf "delivered to published, %d messages: 50th percentile %.1f ms, 99th %.1f ms, slowest %.1f ms\n",
               n, p50 / 1000, p99 / 1000, t[n] / 1000 }'
printf 'published once each: %s\n' "$([[ $(lines) == "$count" ]] && echo yes || echo NO)"
printf 'gateway resident memory: %d kB now, %d kB at its peak\n' "$(awk '/VmRSS/ { print $2 }' /proc/$gateway/status)" \
    "$(awk '/VmHWM/ { print $2 }' /proc/$gateway/status)"
ticks() { awk '{ print $14 + $15 }' /proc/$gateway/stat; }
before=$(ticks)
sleep 10
after=$(ticks)
printf 'processor time while idle for 10 s: %d ms\n' $(( (after - before) * 1000 / $(getconf CLK_TCK) ))
