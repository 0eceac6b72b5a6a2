#!/bin/bash
# How long a message takes from its delivery to the phone until 'korvanet-cli
# listen --exec' has stored it and handed it to the command: N messages (20 by
# default) delivered one by one through phonesim's control FIFO. Reports the
# time of each and the slowest; never passes or fails on timing.
#
#   bench/listen_latency.sh [BUILD_DIR] [N]      (BUILD_DIR default build/asan)
set -euo pipefail

build=$(realpath "${1:-build/asan}")
count=${2:-20}
cli=$build/tools/cli/korvanet-cli
phonesim=$build/tools/phonesim/phonesim
for program in "$cli" "$phonesim"; do
    [[ -x $program ]] || { echo "listen_latency: $program not built" >&2; exit 2; }
done

work=$(mktemp -d /tmp/kv-listen-bench-XXXXXX)
listener=
phone=
cleanup() {
    [[ -n $listener ]] && kill "$listener" 2>/dev/null && wait "$listener" 2>/dev/null
    [[ -n $phone ]] && kill "$phone" 2>/dev/null && wait "$phone" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/root/dev"
cat > "$work/profile.json" <<'JSON'
{"sms": {"smsc": "+447785016005",
         "stores": {"ME": {"capacity": 100, "messages": []}, "SM": {"capacity": 100, "messages": []}}}}
JSON
"$phonesim" --profile "$work/profile.json" --link "$work/root/dev/COM3" --control "$work/control" \
    > "$work/phonesim.out" 2> "$work/phonesim.err" &
phone=$!
until grep -q '^ready$' "$work/phonesim.out" 2>/dev/null; do sleep 0.01; done

received=$work/received.jsonl
touch "$received"
(cd "$work" && exec env -u KORVANET_COM3 "$cli" --root "$work/root" listen --exec "cat >> '$received'" \
    > "$work/listen.out" 2> "$work/listen.err") &
listener=$!
until grep -q "Listening for messages" "$work/listen.err" 2>/dev/null; do
    kill -0 "$listener" 2>/dev/null || { cat "$work/listen.err" >&2; exit 1; }
    sleep 0.01
done

lines() { wc -l < "$received"; }
now_us() { echo $(( $(date +%s%N) / 1000 )); }
slowest=0
for ((i = 1; i <= count; i++)); do
    start=$(now_us)
    echo "deliver +4477009$(printf '%05d' "$i") Bench message $i of $count" > "$work/control"
    until (( $(lines) >= i )); do sleep 0.002; done
    took=$(( $(now_us) - start ))
    (( took > slowest )) && slowest=$took
    printf 'message %2d: %6.1f ms\n' "$i" "$(awk -v t="$took" 'BEGIN { print t / 1000 }')"
done

kill -TERM "$listener"
wait "$listener" || true
listener=
stored=$(env -u KORVANET_COM3 "$cli" --root "$work/root" --json messages list | grep -c '"text": "Bench message' || true)
handed=$(sort -u "$received" | wc -l)
printf 'stored %d, handed to the command %d (of %d, each once: %s)\n' "$stored" "$handed" "$count" \
    "$([[ $stored == "$count" && $handed == "$count" && $(lines) == "$count" ]] && echo yes || echo NO)"
printf 'slowest delivery to command: %.1f ms\n' "$(awk -v t="$slowest" 'BEGIN { print t / 1000 }')"
