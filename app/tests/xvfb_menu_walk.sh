# Sourced by xvfb_mouse_test.sh, with the program on the Inbox: every row of
# every drop-down of the four views, chosen with the mouse. Each row must
# send its command (the program's log traces every WM_COMMAND a view gets),
# each phone action must end well, and what a row opens is closed again.
# Uses tap, fail and root from the caller.
log="$root/My Documents/KorvanetLog.Txt"
sent_count() { grep -c "Msg WM_COMMAND, W=0x$(printf %x "$1")," "$log" || true; }
finished() { grep -c "CKvAppEngineImpl::ActionComplete - 0" "$log" || true; }
completions() { grep -c "CKvProgressDialog::HandleEventDefault - EKvActionComplete" "$log" || true; }
# row_y LAYOUT INDEX: the middle of row INDEX of a drop-down whose rows are
# LAYOUT (r: a row, s: a separator), as it opens upwards from the menu bar.
row_y() {
  local layout=($1) bottom=293 i y=0
  for ((i = ${#layout[@]} - 1; i >= 0; i--)); do
    local h=20; [ "${layout[$i]}" = s ] && h=7
    [ "$i" = "$2" ] && y=$((bottom - h / 2))
    bottom=$((bottom - h))
  done
  echo "$y"
}
# choose MENU_X LAYOUT INDEX COMMAND [CLOSE]: the row must send COMMAND; CLOSE
# says how to close what it opens: progress, ok (the taskbar's), cancel, none.
choose() {
  local before=$(sent_count "$4") done_before=$(finished) completed_before=$(completions)
  tap "$1" 307
  tap $(($1 + 5)) "$(row_y "$2" "$3")" 1.2
  [ "$(sent_count "$4")" -gt "$before" ] || fail "the row $3 of the drop-down at x=$1 did not send command $4"
  case "${5:-none}" in
    progress)
      local end=$((SECONDS + 60))
      until [ "$(completions)" -gt "$completed_before" ]; do
        [ $SECONDS -ge $end ] && fail "command $4 did not finish"
        sleep 0.3
      done
      tap 115 234 1  # OK
      [ "$(finished)" -gt "$done_before" ] ||
        fail "command $4 did not end well: $(grep 'Return message' "$log" | tail -1)" ;;
    ok) tap 223 13 ;;
    cancel) tap 168 273 ;;
  esac
}
select_first_row() { tap 64 62; }

messages_phone="r r r s r r"
outbox_phone="r r r r s r r"
contacts_phone="r r r r s r r"
view="r r r r"
inbox_entry="r r r r"
entry="r r s r"

# Inbox.
choose 65 "$messages_phone" 0 40045 progress     # Download messages
choose 65 "$messages_phone" 2 40085              # Listen for messages: on
choose 65 "$messages_phone" 2 40085              # and off again
choose 65 "$messages_phone" 4 40006 cancel       # Settings
choose 65 "$messages_phone" 5 40019 ok           # About
select_first_row
choose 111 "$inbox_entry" 1 40034 ok             # Read
select_first_row
choose 111 "$inbox_entry" 0 40012                # Delete
choose 65 "$messages_phone" 1 40056 progress     # Delete all messages
# Outbox.
choose 20 "$view" 2 40064
select_first_row
choose 111 "$entry" 1 40034 ok                   # Edit
select_first_row
choose 111 "$entry" 3 40033 progress             # Send
choose 65 "$outbox_phone" 1 40052 progress       # Send all messages
choose 65 "$outbox_phone" 0 40045 progress       # Download messages
choose 65 "$outbox_phone" 2 40056 progress       # Delete all messages
choose 65 "$outbox_phone" 5 40006 cancel         # Settings
choose 65 "$outbox_phone" 6 40019 ok             # About
select_first_row
choose 111 "$entry" 0 40012                      # Delete
# Sent.
choose 20 "$view" 3 40069
select_first_row
choose 111 "$entry" 1 40034 ok                   # Edit
select_first_row
choose 111 "$entry" 3 40033 progress             # Send
choose 65 "$messages_phone" 0 40045 progress     # Download messages
choose 65 "$messages_phone" 1 40056 progress     # Delete all messages
choose 65 "$messages_phone" 4 40006 cancel       # Settings
choose 65 "$messages_phone" 5 40019 ok           # About
select_first_row
choose 111 "$entry" 0 40012                      # Delete
# Contacts.
choose 20 "$view" 0 40065
choose 65 "$contacts_phone" 0 40032 progress     # Download contacts
select_first_row
choose 111 "$entry" 1 40034 ok                   # Edit
select_first_row
choose 111 "$entry" 3 40033 ok                   # Send SMS
select_first_row
choose 111 "$entry" 0 40012                      # Delete
choose 65 "$contacts_phone" 1 40018 progress     # Upload changes
choose 65 "$contacts_phone" 2 40070 progress     # Delete all contacts
choose 65 "$contacts_phone" 5 40006 cancel       # Settings
choose 65 "$contacts_phone" 6 40019 ok           # About
choose 20 "$view" 1 40063                        # back to the Inbox
