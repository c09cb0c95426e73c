#!/bin/bash
# The GUI suite: Ferrolt.exe under Wine on a private Xvfb, driven by gui_driver.exe.
#   tests/gui/run.sh BUILD_DIR        (a MinGW i686 build with Ferrolt and gui_driver)
# Prints every check and a summary; exits non-zero when any check failed or a phase did not run.
# Screenshots go to BUILD_DIR/gui-shots/<time>/; with FERROLT_UPDATE_DOCS=1 the main window's
# also to docs/main-window.png, the README's picture.
set -u
build=$(cd "${1:?usage: run.sh BUILD_DIR}" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
ferrolt="$build/app/Ferrolt.exe"
driver="$build/tests/gui/gui_driver.exe"
for f in "$ferrolt" "$driver"; do
  [ -f "$f" ] || { echo "missing $f (build the targets first)" >&2; exit 2; }
done

started=$(date +%s)
run_id=$(date +%Y%m%d-%H%M%S)
work=$(mktemp -d /tmp/ferrolt-gui.XXXXXX)
shots="$build/gui-shots/$run_id"
mkdir -p "$shots"
. "$source_dir/tools/wine-env.sh" "$work" || exit 2
trap 'ferrolt_wine_stop; rm -rf "$work"' EXIT

win() { winepath -w "$1" 2>/dev/null; }
reg_add() { wine reg add "$@" /f >/dev/null 2>&1; }
reg_delete() { wine reg delete "$1" /f >/dev/null 2>&1; }

total_checks=0
total_failed=0
phase_problems=0
run_phase() {
  local phase=$1 log="$work/$1.log"
  timeout 600 wine "$driver" "$phase" "$(win "$ferrolt")" 'C:\fg' >"$log" 2>&1
  local rc=$?
  cat "$log"  # UTF-8, as the driver reads the windows' texts
  local line
  line=$(grep -a "^phase $phase: " "$log")
  if [ -z "$line" ]; then
    # wine exits 0 even when a program did not run at all: a missing summary is a failure.
    echo "PHASE $phase DID NOT FINISH (exit $rc)"
    phase_problems=$((phase_problems + 1))
    return
  fi
  local checks failed
  checks=$(echo "$line" | sed -E 's/.*: ([0-9]+) checks, ([0-9]+) failed.*/\1/')
  failed=$(echo "$line" | sed -E 's/.*: ([0-9]+) checks, ([0-9]+) failed.*/\2/')
  total_checks=$((total_checks + checks))
  total_failed=$((total_failed + failed))
}

src_key='HKCU\Software\Microsoft\Internet Mail and News'
settings_key='HKCU\Software\Dovrix\Orvelle\Settings'
user_key='HKCU\Software\Dovrix\Orvelle\Users\1'

echo "== 120 dpi, without the target client"
reg_add "$src_key" /v 'Store Root' /t REG_SZ /d 'C:\fg\store'
reg_add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 120
run_phase large
reg_add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96

echo "== main window, runs, drops and notices"
reg_add "$settings_key" /v HomeDir /t REG_SZ /d 'C:\fg\corvane\'
reg_add "$settings_key" /v DefUser /t REG_DWORD /d 1
reg_add "$user_key" /v POP /t REG_SZ /d 'pop.example.jp'
reg_add "$user_key" /v Address /t REG_SZ /d 'user@example.jp'
reg_add "$user_key" /v MailDirNo /t REG_DWORD /d 3
run_phase main

echo "== the session ends (log-off) during a run, a dialog and a notice"
run_phase session

# A picture for people: the main window as it starts, taken off the virtual screen.
wine "$ferrolt" >/dev/null 2>&1 &
ferrolt_pid=$!
window=$(timeout 20 xdotool search --sync --onlyvisible --name 'Mail Data Converter' | head -1)
sleep 1  # its first paint
[ -n "$window" ] && import -window "$window" "$shots/main-window.png"
kill "$ferrolt_pid" 2>/dev/null
wait "$ferrolt_pid" 2>/dev/null
# The README's picture is renewed only when asked, so a test run leaves the source tree as it was.
if [ -n "${FERROLT_UPDATE_DOCS:-}" ] && [ -f "$shots/main-window.png" ]; then
  mkdir -p "$source_dir/docs"
  cp "$shots/main-window.png" "$source_dir/docs/main-window.png"
fi

elapsed=$(($(date +%s) - started))
echo
echo "GUI suite: $total_checks checks, $total_failed failed, $phase_problems phases unfinished," \
  "${elapsed} s; screenshots in $shots"
if [ "$total_failed" -ne 0 ] || [ "$phase_problems" -ne 0 ] || [ "$total_checks" -eq 0 ]; then
  echo "GUI suite FAILED"
  exit 1
fi
echo "GUI suite passed"
