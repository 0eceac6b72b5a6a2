#!/usr/bin/env bash
# The windowed program on a real X server (Xvfb), started by scripts/run
# against the demo phone and used with the mouse only: open the Phone menu,
# download the messages, confirm, open a message by double tap, add to its
# text and close it with "ok" (which keeps the reply in the Outbox), then ask
# the program to quit as an ending session does; on the way, the contacts
# view and its download. (Each menu row's command is the headless tests' job.)
# What the clicks did is read back from the data folder with korvanet-cli.
#   xvfb_mouse_test.sh BUILD_DIR     exit 0 passed, 1 failed, 77 skipped
set -uo pipefail
build=$(cd "$1" && pwd)
cd "$(dirname "$0")/../.."

for program in app/korvanet tools/cli/korvanet-cli tools/phonesim/phonesim; do
  [ -x "$build/$program" ] || { echo "SKIPPED: $program is not built in $build"; exit 77; }
done
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 77; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/kv-xvfb.XXXXXX")
xvfb_pid="" run_pid=""
finish() {
  # scripts/run and the program it started share their own process group.
  [ -n "$run_pid" ] && kill -TERM -- "-$run_pid" 2>/dev/null && wait "$run_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill -TERM "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap finish EXIT
fail() {
  echo "FAILED: $*"; echo "--- scripts/run said:"; cat "$work/run.out"
  echo "--- the program's log ends:"; tail -n 40 "$work/root/My Documents/KorvanetLog.Txt" 2>/dev/null
  exit 1
}

# A display number of the server's own choosing, so parallel runs do not meet.
Xvfb -displayfd 3 -screen 0 640x800x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "SKIPPED: Xvfb did not start"; exit 77; }
export DISPLAY=":$(cat "$work/display")"

root="$work/root"
cli() { "$build/tools/cli/korvanet-cli" --root "$root" "$@"; }
# The log shows which command each click sent.
cli settings --log on >/dev/null || fail "korvanet-cli could not switch the log on"

# SDL's libraries keep a few allocations for the life of the process.
export ASAN_OPTIONS=detect_leaks=0 KORVANET_SCALE=2
KORVANET_BUILD_DIR="$build" KORVANET_DEMO_ROOT="$root" setsid scripts/run >"$work/run.out" 2>&1 &
run_pid=$!

# The window is taken once X can say where it is: a window of that name may
# come and go while the program starts.
window="" WIDTH=0 HEIGHT=0
for _ in $(seq 300); do
  window=$(xdotool search --name '^Korvanet$' 2>/dev/null | head -1)
  if [ -n "$window" ] && geometry=$(xdotool getwindowgeometry --shell "$window" 2>/dev/null); then
    eval "$geometry"
    break
  fi
  kill -0 "$run_pid" 2>/dev/null || fail "scripts/run ended before a window showed"
  sleep 0.2
done
[ -n "$window" ] || fail "no Korvanet window"
[ "$WIDTH" = 480 ] && [ "$HEIGHT" = 640 ] || fail "window is ${WIDTH}x${HEIGHT}, not the handheld screen at scale 2"

# A tap at handheld pixel (x, y) at scale 2 inside the window, then a pause.
tap() { xdotool mousemove $((X + $1 * 2 + 1)) $((Y + $2 * 2 + 1)) click 1; sleep "${3:-0.7}"; }
# One generous deadline for everything the program does after a click: it
# only ends a hung run. A loaded machine takes well over a minute to download.
deadline=300
wait_for() {  # wait_for COMMAND...: until the command succeeds
  local end=$((SECONDS + deadline))
  until "$@" >/dev/null 2>&1; do [ $SECONDS -ge $end ] && return 1; sleep 0.3; done
}
inbox_holds() { cli messages list --folder inbox | grep -q "Welcome to your new SIM"; }
log="$root/My Documents/KorvanetLog.Txt"
# The progress dialog logs the end of each action as its button turns to "OK".
completions() { grep -c "CKvProgressDialog::HandleEventDefault - EKvActionComplete" "$log" 2>/dev/null || true; }
completed() { [ "$(completions)" -ge "$1" ]; }

sleep 1
tap 65 307              # "Phone" on the menu bar
tap 116 169             # "Download messages"
wait_for inbox_holds || fail "the download stored nothing in the Inbox"
wait_for completed 1 || fail "the message download did not complete"
tap 115 234             # "OK" on the progress dialog
inbox=$(cli messages list --folder inbox | wc -l)
[ "$inbox" -ge 5 ] || fail "only $inbox messages in the Inbox"

xdotool mousemove $((X + 64 * 2)) $((Y + 78 * 2)) click --repeat 2 --delay 60 1  # double tap the first row
sleep 1.5
outbox=$(cli messages list --folder outbox | wc -l)
tap 120 200             # into the text; an unchanged copy would be refused as a duplicate
xdotool windowfocus "$window" 2>/dev/null
xdotool key End
xdotool type --delay 40 " Yes"
sleep 0.5
tap 223 13              # "ok" closes the reader
outbox_grew() { [ "$(cli messages list --folder outbox | wc -l)" = $((outbox + 1)) ]; }
wait_for outbox_grew || fail "closing the reader kept no reply: $(cli messages list --folder outbox)"

# The contacts: View > Contacts, then Phone > Download contacts, OK.
tap 20 307              # "View"
tap 50 223              # "Contacts", the first of its four rows
tap 65 307              # "Phone"
tap 116 129             # "Download contacts"
contacts_held() { [ "$(cli contacts list | wc -l)" -ge 10 ]; }
wait_for contacts_held || fail "the contacts download stored nothing: $(cli contacts list)"
wait_for completed 2 || fail "the contacts download did not complete"
tap 115 234             # "OK"

# Without a window manager there is no close button: SDL turns SIGTERM into
# the same quit request.
program=$(pgrep -g "$run_pid" -x korvanet) || fail "no korvanet process"
kill -TERM "$program"
for _ in $(seq 100); do kill -0 "$run_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$run_pid" 2>/dev/null && fail "the program did not end when its window was closed"
wait "$run_pid"; status=$?
run_pid=""
[ "$status" = 0 ] || fail "scripts/run ended with $status"
echo "passed: $inbox messages downloaded, one read and answered, contacts downloaded, with the mouse"
