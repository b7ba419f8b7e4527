#!/bin/sh
# The program stopped in its read loop receives SIGTERM, SIGHUP or SIGINT: it leaves the
# loop and exits 128 + n. TAVRIN_HOLD_AT=loop presses Read and stops the process in the
# loop's first pass, so the signal lands there.
program=$1
fail=0
state() { cut -d' ' -f3 "/proc/$1/stat" 2>/dev/null; }
for pair in TERM:15 HUP:1 INT:2; do
  sig=${pair%:*}
  want=$((128 + ${pair#*:}))
  TAVRIN_SIM=41120 QT_QPA_PLATFORM=offscreen TAVRIN_HOLD_AT=loop "$program" 2>/dev/null &
  pid=$!
  tries=0
  until [ "$(state $pid)" = T ]; do
    tries=$((tries + 1))
    if [ $tries -gt 600 ] || ! kill -0 $pid 2>/dev/null; then
      echo "SIG$sig: the program never reached its read loop"; kill -9 $pid 2>/dev/null; exit 1
    fi
    sleep 0.1
  done
  kill -$sig $pid
  kill -CONT $pid
  # Bounded: a loop that ignores the signal runs on and is killed after 30 s.
  tries=0
  while [ -n "$(state $pid)" ] && [ "$(state $pid)" != Z ] && [ $tries -lt 300 ]; do
    tries=$((tries + 1)); sleep 0.1
  done
  kill -9 $pid 2>/dev/null
  wait $pid
  rc=$?
  if [ $rc -ne $want ]; then echo "SIG$sig: status $rc, expected $want"; fail=1; fi
done
exit $fail
