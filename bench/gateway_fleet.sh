#!/bin/bash
# The fleet's figures against a real mosquitto and phonesim modems paced at
# 9600 baud: the time one gateway takes to send 50 requests of its own topic,
# then the time 4 gateways take to send 200 requests of the shared P/send
# (50 each when the broker shares them evenly), and their ratio (1.0: the
# fleet scales perfectly). Also how the 200 were spread over the phones.
# Reports figures; never passes or fails on them.
#
#   bench/gateway_fleet.sh [BUILD_DIR] [MODEMS] [PER_MODEM]   (defaults build/asan 4 50)
# Needs mosquitto and mosquitto-clients (mosquitto_pub, mosquitto_sub).
set -euo pipefail

build=$(realpath "${1:-build/asan}")
modems=${2:-4}
per=${3:-50}
cli=$build/tools/cli/korvanet-cli
phonesim=$build/tools/phonesim/phonesim
for program in "$cli" "$phonesim" /usr/sbin/mosquitto /usr/bin/mosquitto_sub /usr/bin/mosquitto_pub; do
    [[ -x $program ]] || { echo "gateway_fleet: $program not there" >&2; exit 2; }
done

work=$(mktemp -d /tmp/kv-gateway-fleet-XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mkdir -p "$work/broker"
cat > "$work/broker/mosquitto.conf" <<CONF
user $(id -un)
listener $port 127.0.0.1
allow_anonymous true
max_queued_messages 10000
log_dest file $work/broker/log
CONF
/usr/sbin/mosquitto -c "$work/broker/mosquitto.conf" 2> "$work/broker/err" &
pids+=($!)
until grep -q running "$work/broker/log" 2>/dev/null; do sleep 0.01; done

cat > "$work/profile.json" <<'JSON'
{"sms": {"smsc": "+447785016005",
         "stores": {"ME": {"capacity": 500, "messages": []}, "SM": {"capacity": 500, "messages": []}}},
 "quirks": {"echo": true, "baud": 9600}}
JSON

results=$work/results
mosquitto_sub -h 127.0.0.1 -p "$port" -q 1 -t 'fleet/+/sent' -F '%t %p' > "$results" &
pids+=($!)

# Modem N: its phone, its data folder and its gateway.
gateways=()
start_member() {
    local n=$1 dir=$work/m$1
    mkdir -p "$dir/root/dev"
    env -u KORVANET_COM3 "$cli" --root "$dir/root" settings --smsc +447785016005 > /dev/null
    "$phonesim" --profile "$work/profile.json" --link "$dir/root/dev/COM3" --state-out "$dir/state.json" \
        > "$dir/phonesim.out" 2> "$dir/phonesim.err" &
    pids+=($!)
    echo $! > "$dir/phonesim.pid"
    until grep -q '^ready$' "$dir/phonesim.out" 2>/dev/null; do sleep 0.01; done
    (cd "$dir" && exec env -u KORVANET_COM3 "$cli" --root "$dir/root" gateway --broker "mqtt://127.0.0.1:$port" \
        --id "m$n" --prefix fleet > "$dir/gateway.out" 2> "$dir/gateway.err") &
    pids+=($!)
    gateways+=($!)
    until grep -q "Listening for messages" "$dir/gateway.err" 2>/dev/null; do
        kill -0 "${gateways[-1]}" 2>/dev/null || { cat "$dir/gateway.err" >&2; exit 1; }
        sleep 0.01
    done
    # Subscribed once a request of its own is answered.
    until grep -q "^fleet/m$n/sent .*\"ready-$n\"" "$results"; do
        mosquitto_pub -h 127.0.0.1 -p "$port" -q 1 -t "fleet/m$n/send" -m "{\"id\": \"ready-$n\"}"
        sleep 0.2
    done
}

# Results of requests (not of the "ready" ones) after line $base of the file.
base=0
answered() { tail -n +$((base + 1)) "$results" | grep -c '"id":"req-' || true; }
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
send_requests() {  # TOPIC COUNT
    local topic=$1 count=$2 i
    for ((i = 0; i < count; i++)); do
        printf '{"to": "+4477009%05d", "text": "Fleet request %d", "id": "req-%d"}\n' "$i" "$i" "$i"
    done | mosquitto_pub -h 127.0.0.1 -p "$port" -q 1 -t "$topic" -l
}
run() {  # TOPIC COUNT: the milliseconds until COUNT results
    local topic=$1 count=$2 start
    base=$(wc -l < "$results")
    start=$(now_ms)
    send_requests "$topic" "$count"
    until (( $(answered) >= count )); do sleep 0.01; done
    echo $(( $(now_ms) - start ))
}

start_member 0
one=$(run fleet/m0/send "$per")
for ((n = 1; n < modems; n++)); do start_member "$n"; done
base=$(wc -l < "$results")
fleet_base=$base
fleet=$(run fleet/send $(( per * modems )))

printf 'one modem, %d requests: %d ms\n' "$per" "$one"
printf '%d modems, %d requests on the shared topic: %d ms\n' "$modems" $(( per * modems )) "$fleet"
awk -v a="$fleet" -v b="$one" 'BEGIN { printf "ratio (fleet / one modem): %.3f\n", a / b }'
printf 'results per gateway:'
for ((n = 0; n < modems; n++)); do
    printf ' m%d=%d' "$n" "$(tail -n +$((fleet_base + 1)) "$results" | grep -c "^fleet/m$n/sent .*\"id\":\"req-" || true)"
done
printf '\n'
printf 'failed: %d\n' "$(grep '"id":"req-' "$results" | grep -c '"result":"failed"' || true)"
