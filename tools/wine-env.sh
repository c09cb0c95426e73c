#!/bin/bash
# Prepares what Ferrolt.exe needs to run headless under Wine, for the GUI tests and for people.
# Source it:   . tools/wine-env.sh [WORK_DIR]
# Afterwards DISPLAY points at a private Xvfb, WINEPREFIX at a fresh prefix below WORK_DIR, the
# ANSI code page is 932 (LANG=ja_JP.UTF-8), and one wineserver stays up. Call ferrolt_wine_stop
# to end both. Facts behind each step are in the comments.

ferrolt_ensure_japanese_locale() {
  # Wine takes its ANSI code page from the locale: without a generated ja_JP.UTF-8 every
  # Japanese character of the string table comes out as '?'.
  if locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then return 0; fi
  if [ -n "${LOCPATH:-}" ] && [ -d "$LOCPATH/ja_JP.UTF-8" ]; then return 0; fi
  # No system-wide locale: compile a private one (no root needed) and point glibc at it.
  local dir="${FERROLT_LOCALE_DIR:-$HOME/.cache/ferrolt-locale}"
  if [ ! -d "$dir/ja_JP.UTF-8" ]; then
    mkdir -p "$dir"
    localedef -i ja_JP -f UTF-8 "$dir/ja_JP.UTF-8" 2>/dev/null ||
      [ -d "$dir/ja_JP.UTF-8" ] || { echo "cannot generate ja_JP.UTF-8" >&2; return 1; }
  fi
  export LOCPATH="$dir"
}

ferrolt_start_xvfb() {
  # -displayfd picks a free display number and tells us which.
  local fifo
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  FERROLT_XVFB_PID=$!
  local number
  read -r -t 20 number <"$fifo"
  rm -f "$fifo"
  [ -n "$number" ] || { echo "Xvfb did not start" >&2; return 1; }
  export DISPLAY=":$number"
}

ferrolt_make_prefix() {
  local work="$1"
  export WINEPREFIX="$work/wineprefix" WINEARCH=win64 WINEDEBUG=-all LANG=ja_JP.UTF-8
  export LC_ALL=ja_JP.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml="
  wineboot --init >/dev/null 2>&1
  # Without the fonts the caption buttons draw as letters.
  cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null
  # No window manager under Xvfb: unmanaged windows, else Wine waits ~2 s per hidden window.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  # A crash must fail the test, not wait forever on a dialog.
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
    >/dev/null 2>&1
  # One server for every later start: a program then starts in a tenth of the time.
  wineserver -p 2>/dev/null || true
}

ferrolt_wine_stop() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null
  [ -n "${FERROLT_XVFB_PID:-}" ] && kill "$FERROLT_XVFB_PID" 2>/dev/null
  return 0
}

ferrolt_wine_setup() {
  local work="${1:-$(mktemp -d)}"
  mkdir -p "$work"
  ferrolt_ensure_japanese_locale || return 1
  ferrolt_start_xvfb || return 1
  ferrolt_make_prefix "$work"
}

if [ "${BASH_SOURCE[0]}" != "$0" ]; then
  ferrolt_wine_setup "$@"
else
  echo "source this file: . ${BASH_SOURCE[0]} [WORK_DIR]" >&2
  exit 2
fi
