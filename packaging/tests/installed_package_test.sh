#!/usr/bin/env bash
# The Debian package made from a build, unpacked into a temporary folder and
# used from there as an installed copy: the programs run and find their
# files beside themselves, never in the build folder; the menu entry, the
# AppStream file, the package and the manual pages pass their checkers; the
# bash completion completes.
#   installed_package_test.sh BUILD_DIR     exit 0 passed, 1 failed, 77 skipped
set -uo pipefail
build=$(cd "$1" && pwd)

for tool in cpack dpkg-deb desktop-file-validate appstreamcli lintian man; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed (scripts/deps installs it)"; exit 77; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/kv-package.XXXXXX")
phone_pid="" program_pid="" xvfb_pid=""
finish() {
  for pid in $program_pid $phone_pid $xvfb_pid; do
    kill -TERM "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  done
  rm -rf "$work"
}
trap finish EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
step() { echo "-- $* ($SECONDS s)"; }
# Waits until the command succeeds, at most SECONDS.
wait_for() {
  local end=$((SECONDS + $1)); shift
  until "$@" >/dev/null 2>&1; do [ $SECONDS -ge $end ] && return 1; sleep 0.1; done
}

step "package"
cpack -G DEB -B "$work/cpack" --config "$build/CPackConfig.cmake" >"$work/cpack.out" 2>&1 ||
  { cat "$work/cpack.out"; echo "FAILED: cpack"; exit 1; }
deb=$(ls "$work"/cpack/korvanet_*.deb)
# Unpacked away from the build folder, the staging copy gone.
root="$work/installed"
dpkg-deb -x "$deb" "$root" || { echo "FAILED: dpkg-deb -x"; exit 1; }
rm -rf "$work/cpack/_CPack_Packages"
bin="$root/usr/bin"
for program in korvanet korvanet-cli korvanet-pdu phonesim; do
  [ -x "$bin/$program" ] || fail "$program is not in the package"
done
# A sanitizer build labels each compiled file in the program for its
# reports; a unity build compiles files combined in the build folder, whose
# names are such labels only. Any other mention is a path the program uses.
build_pattern=$(printf '%s' "$build" | sed 's/[][\.*^$]/\\&/g')
grep -raoE "$build_pattern[^[:cntrl:][:space:]\"]*" "$root" | grep -vE '/Unity/unity_[0-9]+_cxx\.cxx$' |
  cut -d: -f1 | sort -u >"$work/mentions"
if [ -s "$work/mentions" ]; then
  fail "installed files name the build folder: $(tr '\n' ' ' <"$work/mentions")"
fi

# Nothing of the user's: a home, data folder and ports of the test's own.
export HOME="$work/home" XDG_DATA_HOME="$work/home/.local/share"
unset KORVANET_ROOT KORVANET_COM3 KORVANET_FONT_DIR DISPLAY WAYLAND_DISPLAY
mkdir -p "$HOME"
data="$work/data"

step "korvanet-cli --help"
"$bin/korvanet-cli" --help >"$work/help.out" 2>&1 || fail "korvanet-cli --help exited $?"
grep -q '^Usage: korvanet-cli' "$work/help.out" || fail "korvanet-cli --help printed: $(head -3 "$work/help.out")"

step "phonesim finds its profiles in the installed tree"
profiles="$root/usr/share/korvanet/phonesim"
mv "$profiles/demo.json" "$work/demo.json"
"$bin/phonesim" --profile demo >"$work/missing.out" 2>&1
status=$?
[ $status -eq 2 ] && grep -qF "$profiles/demo.json" "$work/missing.out" ||
  fail "without its installed demo profile phonesim said (exit $status): $(cat "$work/missing.out")"
mv "$work/demo.json" "$profiles/demo.json"
# Run from the build folder, with nothing installed beside it, it reads the source tree's.
if [ -x "$build/tools/phonesim/phonesim" ]; then
  "$build/tools/phonesim/phonesim" --profile no-such-profile >"$work/missing.out" 2>&1
  grep -qF "tools/phonesim/profiles/no-such-profile.json" "$work/missing.out" ||
    fail "the build's phonesim looked for a profile name in: $(cat "$work/missing.out")"
fi

step "demo download"
"$bin/phonesim" --profile demo --link "$work/COM3" >"$work/phonesim.out" 2>"$work/phonesim.err" &
phone_pid=$!
if wait_for 60 grep -qx ready "$work/phonesim.out"; then
  cli() { "$bin/korvanet-cli" --root "$data" --port "$work/COM3" "$@"; }
  cli messages download >"$work/download.out" 2>&1 || fail "messages download exited $?: $(cat "$work/download.out")"
  grep -q "Transfer Complete." "$work/download.out" || fail "messages download said: $(cat "$work/download.out")"
  cli messages list --folder inbox >"$work/inbox.out" 2>&1
  grep -q "Running 10 minutes late" "$work/inbox.out" || fail "the Inbox after the download: $(cat "$work/inbox.out")"
else
  fail "phonesim did not start: $(cat "$work/phonesim.err")"
fi
kill -TERM "$phone_pid" 2>/dev/null && wait "$phone_pid" 2>/dev/null
phone_pid=""

step "the windowed program, headless"
KORVANET_ROOT="$data" KORVANET_DISPLAY=headless "$bin/korvanet" >"$work/korvanet.out" 2>&1 &
program_pid=$!
# A running copy lists its top-level windows for others on the same data folder.
if wait_for 60 grep -qs "Korvanet" "$data/.korvanet-windows/$program_pid"; then
  # A second copy finds the first and ends at once with 0.
  KORVANET_ROOT="$data" KORVANET_DISPLAY=headless timeout 60 "$bin/korvanet" >>"$work/korvanet.out" 2>&1 ||
    fail "a second copy exited $?"
  kill -0 "$program_pid" 2>/dev/null || fail "the first copy ended"
else
  fail "the installed korvanet showed no main window: $(cat "$work/korvanet.out")"
fi
! grep -qi "not found" "$work/korvanet.out" || fail "korvanet missed a file: $(cat "$work/korvanet.out")"
kill -TERM "$program_pid" 2>/dev/null && wait "$program_pid" 2>/dev/null
program_pid=""

if command -v Xvfb >/dev/null; then
  step "the windowed program on an X display, with its icon"
  Xvfb -displayfd 3 -screen 0 640x800x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
  xvfb_pid=$!
  if wait_for 30 test -s "$work/display"; then
    # SDL's libraries keep a few allocations for the life of the process.
    ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" DISPLAY=":$(cat "$work/display")" KORVANET_ROOT="$data" \
      "$bin/korvanet" >"$work/window.out" 2>&1 &
    program_pid=$!
    wait_for 60 grep -qs "Korvanet" "$data/.korvanet-windows/$program_pid" ||
      fail "no window on the X display: $(cat "$work/window.out")"
    ! grep -q "not found" "$work/window.out" || fail "$(cat "$work/window.out")"
    kill -TERM "$program_pid" 2>/dev/null && wait "$program_pid" 2>/dev/null
    program_pid=""
  else
    fail "Xvfb did not start"
  fi
  kill -TERM "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  xvfb_pid=""
fi

step "desktop entry and AppStream metadata"
desktop-file-validate "$root/usr/share/applications/korvanet.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml >"$work/appstream.out" 2>&1 ||
  fail "appstreamcli validate: $(cat "$work/appstream.out")"
for size in 16 32 48 256; do
  [ -s "$root/usr/share/icons/hicolor/${size}x${size}/apps/korvanet.png" ] || fail "no ${size}x${size} icon"
done

step "manual pages"
for page in korvanet korvanet-cli korvanet-pdu phonesim; do
  file="$root/usr/share/man/man1/$page.1.gz"
  if [ -f "$file" ]; then
    MANWIDTH=80 MANPAGER=cat man --warnings -l "$file" >"$work/man.out" 2>"$work/man.err" || fail "man -l $page exited $?"
    [ -s "$work/man.err" ] && fail "man --warnings for $page: $(cat "$work/man.err")"
    grep -q "^NAME" "$work/man.out" || fail "the $page page has no NAME section"
  else
    fail "no manual page for $page"
  fi
done

step "bash completion"
completed=$(PATH="$bin:$PATH" bash -c '
  source "$1/usr/share/bash-completion/completions/korvanet-cli" || exit 1
  COMP_WORDS=(korvanet-cli mes); COMP_CWORD=1; _korvanet_cli; echo "${COMPREPLY[*]}"
  COMP_WORDS=(korvanet-cli messages list --folder ""); COMP_CWORD=4; _korvanet_cli; echo "${COMPREPLY[*]}"' _ "$root")
[ "$completed" = $'messages\nall inbox outbox sent' ] || fail "the completion gave: $completed"

step "lintian"
# Errors fail (its exit status); warnings are shown.
lintian --fail-on error "$deb" >"$work/lintian.out" 2>&1 || fail "lintian: $(cat "$work/lintian.out")"
grep -v 'root privileges' "$work/lintian.out"

step "done"
[ $failures -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "passed"
