#!/usr/bin/env bash
# The windowed program on a real X server (Xvfb), started by scripts/run
# against the demo phone and used with the mouse only: open the Phone menu,
# download the messages, confirm, open a message by double tap, add to its
# text and close it with "ok" (which keeps the reply in the Outbox); open it
# again and close it with Escape (which keeps nothing); write a new message
# from the menu bar's new button; answer No, then Yes, to Delete all
# messages; the contacts view and its download; then ask the program to quit
# as an ending session does. A second session, against a phone of its own
# that hangs up in the middle of the listing (a pulled cable), downloads and
# must say so. (Each menu row's command is the headless tests' job.)
# Each step waits for its effect in the program's log before the next tap, and
# what the clicks did is read back from the data folder with korvanet-cli once
# the program has ended (a second process writing the log would garble it).
#   xvfb_mouse_test.sh BUILD_DIR     exit 0 passed, 1 failed, 77 skipped
set -uo pipefail
build=$(cd "$1" && pwd)
cd "$(dirname "$0")/../.."

for program in app/korvanet tools/cli/korvanet-cli tools/phonesim/phonesim; do
  [ -x "$build/$program" ] || { echo "SKIPPED: $program is not built in $build"; exit 77; }
done
for tool in Xvfb xdotool xwininfo; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 77; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/kv-xvfb.XXXXXX")
root="$work/root"
log="$root/My Documents/KorvanetLog.Txt"
xvfb_pid="" run_pid="" phone_pid=""
finish() {
  # scripts/run and the program it started share their own process group.
  [ -n "$run_pid" ] && kill -TERM -- "-$run_pid" 2>/dev/null && wait "$run_pid" 2>/dev/null
  [ -n "$phone_pid" ] && kill -TERM "$phone_pid" 2>/dev/null && wait "$phone_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill -TERM "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap finish EXIT
fail() {
  echo "FAILED: $*"; echo "--- scripts/run said:"; cat "$work/run.out"
  echo "--- the program's log ends:"; tail -n 40 "$log" 2>/dev/null
  exit 1
}
# One generous deadline for each wait: it only ends a hung run. A loaded
# machine takes well over a minute to download.
wait_for() {  # wait_for COMMAND...: until the command succeeds
  local end=$((SECONDS + 300))
  until "$@" >/dev/null 2>&1; do [ $SECONDS -ge $end ] && return 1; sleep 0.1; done
}

# A display number of the server's own choosing, so parallel runs do not meet.
Xvfb -displayfd 3 -screen 0 640x800x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
wait_for test -s "$work/display" || { echo "SKIPPED: Xvfb did not start"; exit 77; }
export DISPLAY=":$(cat "$work/display")"

cli() { "$build/tools/cli/korvanet-cli" --root "$root" "$@"; }
# The log shows each window message, and so each tap's effect.
cli settings --log on >/dev/null || fail "korvanet-cli could not switch the log on"

# SDL's libraries keep a few allocations for the life of the process.
export ASAN_OPTIONS=detect_leaks=0 KORVANET_SCALE=2
KORVANET_BUILD_DIR="$build" KORVANET_DEMO_ROOT="$root" setsid scripts/run >"$work/run.out" 2>&1 &
run_pid=$!

# The window is taken once X can say where it is and that it has the size of
# the handheld screen at scale 2: a window of that name may come and go while
# the program starts.
found_window() {
  kill -0 "$run_pid" 2>/dev/null || return 0
  window=$(xdotool search --name '^Korvanet$' | head -1) && [ -n "$window" ] &&
    geometry=$(xdotool getwindowgeometry --shell "$window") && eval "$geometry" &&
    [ "$WIDTH" = 480 ] && [ "$HEIGHT" = 640 ]
}
window="" WIDTH=0 HEIGHT=0
wait_for found_window || fail "no Korvanet window of 480x640 (the last was ${WIDTH}x${HEIGHT})"
kill -0 "$run_pid" 2>/dev/null || fail "scripts/run ended before a window showed"

seen() { grep -cF -- "$1" "$log" 2>/dev/null || true; }  # how many of the log's lines hold the text
seen_more() { [ "$(seen "$1")" -ge "$2" ]; }
# after EFFECT N COMMAND...: runs it, then waits for N more log lines holding the effect.
after() {
  local effect=$1 more=$2 before; shift 2; before=$(seen "$effect")
  "$@"
  wait_for seen_more "$effect" $((${before:-0} + more)) || fail "$* did not lead to \"$effect\""
}
# tap X Y EFFECT [TAPS]: at handheld pixel (x, y), at scale 2 inside the window.
tap() { after "$3" 1 xdotool mousemove $((X + $1 * 2 + 1)) $((Y + $2 * 2 + 1)) click --repeat "${4:-1}" --delay 60 1; }
menu="Msg WM_INITMENUPOPUP" progress_closed="CKvProgressDialog, Msg WM_DESTROY"
# The progress dialog logs the end of each action as its button turns to "OK".
completed="CKvProgressDialog::HandleEventDefault - EKvActionComplete"
# The reply's text box (control 1007, 0x3ef) reports its focus (EN_SETFOCUS)
# and each change (EN_CHANGE) to the reader.
text_focused="CKvCreateNewMessage, Msg WM_COMMAND, W=0x10003ef," text_changed="CKvCreateNewMessage, Msg WM_COMMAND, W=0x30003ef,"

wait_for seen_more "CKvMessagesView - Inbox, Msg WM_PAINT" 1 || fail "the Inbox was never drawn"
# A tap that comes with the focus while the program is too busy to look still
# acts: with the program stopped, the window gets the focus and "Phone" on the
# menu bar a tap, so that both wait for the program together.
program=$(pgrep -g "$run_pid" -x korvanet) || fail "no korvanet process"
xdotool windowfocus --sync "$(xwininfo -root | awk '/Window id:/ {print $4}')" 2>/dev/null
busy_tap() {
  kill -STOP "$program"
  xdotool windowfocus "$window" mousemove $((X + 65 * 2 + 1)) $((Y + 307 * 2 + 1)) click 1
  kill -CONT "$program"
}
after "$menu" 1 busy_tap            # "Phone" on the menu bar
tap 116 129 "$completed"            # "Download messages"
tap 115 234 "$progress_closed"      # "OK" on the progress dialog
focused_before=$(seen "$text_focused")
tap 64 78 "CKvCreateNewMessage, Msg WM_SHOWWINDOW, W=0x1," 2  # double tap the first row: the reader
# The reader opens with its text focused, so that Enter is a new line and never Send.
seen_more "$text_focused" $((${focused_before:-0} + 1)) || fail "the reader opened without its text focused"
xdotool windowfocus "$window" 2>/dev/null
after "$text_changed" 4 xdotool key End type --delay 40 " Yes"  # a change for each character
tap 223 13 "CKvCreateNewMessage, Msg WM_DESTROY"  # "ok" closes the reader

# The reader again, closed with Escape: read only, it keeps no copy.
tap 64 78 "CKvCreateNewMessage, Msg WM_SHOWWINDOW, W=0x1," 2
xdotool windowfocus "$window" 2>/dev/null
after "CKvCreateNewMessage, Msg WM_DESTROY" 1 xdotool key Escape

# A new message from the menu bar's new button: the keys go to the empty
# recipient first (the combo box's edit tells each change, CBN_EDITCHANGE of
# control 1022, 0x3fe), then to the text; Escape keeps it in the Outbox.
tap 145 307 "CKvCreateNewMessage, Msg WM_SHOWWINDOW, W=0x1,"  # the new button
xdotool windowfocus "$window" 2>/dev/null
after "CKvCreateNewMessage, Msg WM_COMMAND, W=0x503fe," 13 xdotool type --delay 40 "+447700900555"
tap 120 200 "$text_focused"        # into the text
after "$text_changed" 11 xdotool type --delay 40 "Hello there"
after "CKvCreateNewMessage, Msg WM_DESTROY" 1 xdotool key Escape

# Delete all messages asks first: No (the box's default, Enter) starts
# nothing; Yes (tapped) runs it.
delete_started="ActionStart - EKvAppEngine_DeleteAllSmsFromPhone"
tap 65 307 "$menu"                  # "Phone"
tap 116 149 "KvShowBoxL - MessageBox: Delete all messages"  # "Delete all messages"
after "KvShowBoxL - MessageBox answered" 1 xdotool key Return
[ "$(seen "$delete_started")" = 0 ] || fail "No to Delete all messages still deleted them"
tap 65 307 "$menu"
tap 116 149 "KvShowBoxL - MessageBox: Delete all messages"
tap 91 222 "$delete_started"       # "Yes", left of the default No
wait_for seen_more "CKvProgressDialog::ActionCompleteL - Deleted all messages." 1 ||
  fail "Delete all messages did not end with \"Deleted all messages.\""
tap 115 234 "$progress_closed"      # "OK"

# The contacts: View > Contacts, then Phone > Download contacts, OK.
tap 20 307 "$menu"                  # "View"
tap 50 203 "CKvContactsView::DoMakeVisible 1"  # "Contacts", the first of its five rows
tap 65 307 "$menu"                  # "Phone"
tap 116 89 "$completed"             # "Download contacts"
tap 115 234 "$progress_closed"      # "OK"

# Without a window manager there is no close button: SDL turns SIGTERM into
# the same quit request.
kill -TERM "$program"
ended() { ! kill -0 "$run_pid" 2>/dev/null; }
wait_for ended || fail "the program did not end when its window was closed"
wait "$run_pid"; status=$?
run_pid=""
[ "$status" = 0 ] || fail "scripts/run ended with $status"

cli messages list --folder inbox | grep -q "Welcome to your new SIM" || fail "the download stored nothing in the Inbox"
inbox=$(cli messages list --folder inbox | wc -l)
[ "$inbox" -ge 5 ] || fail "only $inbox messages in the Inbox"
outbox=$(cli messages list --folder outbox)
[ "$(grep -c " Yes$" <<<"$outbox")" = 1 ] || fail "closing the reader kept no reply, or Escape kept another: $outbox"
[ "$(grep -c "Hello there" <<<"$outbox")" = 1 ] || fail "Escape lost the new message: $outbox"
# The phone's own drafts came with the download; to the reader's sender
# there is only the reply.
sender=$(grep " Yes$" <<<"$outbox" | grep -o '+[0-9]*' | head -1)
[ -n "$sender" ] && [ "$(grep -cF -- "$sender" <<<"$outbox")" = 1 ] ||
  fail "Escape kept a copy of the message only read: $outbox"
[ "$(cli contacts list | wc -l)" -ge 10 ] || fail "the contacts download stored too little: $(cli contacts list)"

# The pulled cable: a phone of our own that hangs up after the listing's
# first message; the program started as scripts/run starts it.
python3 - tools/phonesim/profiles/demo.json "$work/cut.json" <<'PY' || fail "could not write the cut phone's profile"
import json, sys
profile = json.load(open(sys.argv[1]))
profile.setdefault("quirks", {})["faults"] = [{"command": "AT+CMGL", "occurrence": 1, "lines": 2, "then": "hangup"}]
json.dump(profile, open(sys.argv[2], "w"))
PY
"$build/tools/phonesim/phonesim" --profile "$work/cut.json" --link "$work/COM3" >"$work/phonesim.out" 2>&1 &
phone_pid=$!
wait_for grep -q '^ready$' "$work/phonesim.out" || fail "the cut phone did not start"
painted=$(seen "CKvMessagesView - Inbox, Msg WM_PAINT")
KORVANET_ROOT="$root" KORVANET_COM3="$work/COM3" setsid "$build/app/korvanet" >"$work/run.out" 2>&1 &
run_pid=$!
window="" WIDTH=0 HEIGHT=0
wait_for found_window || fail "no second Korvanet window of 480x640"
kill -0 "$run_pid" 2>/dev/null || fail "the program ended before its window showed"
wait_for seen_more "CKvMessagesView - Inbox, Msg WM_PAINT" $((painted + 1)) || fail "the second Inbox was never drawn"
cut="CKvProgressDialog::ActionCompleteL - Transfer failed: the phone went away"
tap 65 307 "$menu"                  # "Phone"
tap 116 129 "$completed"            # "Download messages"
wait_for seen_more "$cut" 1 || fail "the cut download did not say the phone went away"
tap 115 234 "$progress_closed"      # "OK"
kill -TERM "$run_pid"
wait_for ended || fail "the second program did not end"
wait "$run_pid"; status=$?
run_pid=""
[ "$status" = 0 ] || fail "the second program ended with $status"
[ "$(cli messages list --folder inbox | wc -l)" -ge "$inbox" ] || fail "the cut download lost stored messages"
echo "passed: $inbox messages downloaded, one read and answered, one written, all deleted on the phone," \
  "contacts downloaded, a cut download reported, with the mouse"
