#!/bin/sh
# run_wine_e2e.sh: the Windows end-to-end program under Wine against native simulators.
# Starts one Linux kv_simulator per line of the table, links $WINEPREFIX/dosdevices/comN to the
# pseudo-terminal each prints, runs the program, then stops exactly the simulators it started and
# removes the links. Exit 77 (skipped) when the native simulator has not been built. A PROGRAM ending
# in .sh is a script of several Windows runs: it is run by sh with WINE_RUN as its first argument.
# Usage: run_wine_e2e.sh SIMULATOR TABLE WINE_RUN PROGRAM [gtest arguments]
SIMULATOR=$1 TABLE=$2 WINE_RUN=$3 PROGRAM=$4
shift 4

if [ ! -x "$SIMULATOR" ]; then
  echo "SKIPPED: no native simulator at $SIMULATOR; build kv_simulator in the dev preset" \
       "(cmake --build build/dev --target kv_simulator) or set KV_NATIVE_SIMULATOR"
  exit 77
fi

WINEPREFIX=$("$WINE_RUN" --prefix)  # the prefix of this build's Wine (32 or 64-bit)
export WINEPREFIX
if [ ! -d "$WINEPREFIX/dosdevices" ]; then
  "$WINE_RUN" cmd.exe /c exit >/dev/null 2>&1  # wine-run.sh creates the prefix on first use
fi
if [ ! -d "$WINEPREFIX/dosdevices" ]; then
  echo "SKIPPED: no Wine prefix at $WINEPREFIX"
  exit 77
fi

WORK=$(mktemp -d)
PIDS=""
LINKS=""
cleanup() {
  for pid in $PIDS; do kill -TERM "$pid" 2>/dev/null; done
  for pid in $PIDS; do wait "$pid" 2>/dev/null; done
  for link in $LINKS; do rm -f "$link"; done
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

while read -r com args; do
  case "$com" in '' | '#'*) continue ;; esac
  # shellcheck disable=SC2086 # the arguments are words of the table
  "$SIMULATOR" $args >"$WORK/$com.out" 2>"$WORK/$com.err" &
  PIDS="$PIDS $!"
  echo "$com" >>"$WORK/ports"
done <"$TABLE"

for com in $(cat "$WORK/ports"); do
  tries=0
  while [ ! -s "$WORK/$com.out" ] && [ $tries -lt 100 ]; do
    sleep 0.05
    tries=$((tries + 1))
  done
  path=$(head -n 1 "$WORK/$com.out")
  if [ -z "$path" ]; then
    echo "simulator for COM$com did not start:"
    cat "$WORK/$com.err"
    exit 1
  fi
  ln -sfn "$path" "$WINEPREFIX/dosdevices/com$com"
  LINKS="$LINKS $WINEPREFIX/dosdevices/com$com"
done

case "$PROGRAM" in
  *.sh) KV_E2E_SIMULATORS=$TABLE sh "$PROGRAM" "$WINE_RUN" "$@" ;;
  *) KV_E2E_SIMULATORS=$TABLE "$WINE_RUN" "$PROGRAM" "$@" ;;
esac
