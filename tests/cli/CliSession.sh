#!/bin/sh
# The same tavrin-cli session on the simulator, once by the Linux build and once by the
# Windows build under Wine: the listing, the log files and the printed lines must be the
# same bytes, apart from a log's date, time and seconds lines.
#   CliSession.sh WORK LINUX_CLI WINE_RUN PREFIX WINDOWS_CLI
# $TAVRIN_LINUX_CLI, when set, names the Linux program instead.
set -u
work=$1 linux=${TAVRIN_LINUX_CLI:-$2} wine_run=$3 prefix=$4 exe=$5
if [ ! -x "$linux" ]; then
  echo "The Linux tavrin-cli is not at \"$linux\": build the default preset first," \
       "or name it in TAVRIN_LINUX_CLI." >&2
  exit 1
fi
rm -rf "$work"
mkdir -p "$work/linux" "$work/windows"
fail=0
# run SIDE COMMAND...: in that side's folder, files named relative to it.
run() {
  side=$1
  shift
  if [ "$side" = linux ]; then set -- "$linux" "$@"; else set -- "$wine_run" "$prefix" "$exe" "$@"; fi
  (cd "$work/$side" && "$@")
}
for side in linux windows; do
  run $side --sim 41120,seed=1 info >"$work/$side.info" 2>"$work/$side.err" ||
    { echo "$side: info failed with status $?" >&2; fail=1; }
  run $side --sim 41120,seed=1 dump -o Registers_LOG.txt >/dev/null 2>>"$work/$side.err" ||
    { echo "$side: dump -o failed with status $?" >&2; fail=1; }
  run $side --sim 41120,seed=1 log --boxes 2,5 --samples 50 --files 2 --dir . \
    >/dev/null 2>"$work/$side.paths" || { echo "$side: log failed with status $?" >&2; fail=1; }
  # Nothing else on standard error: no message box, and nothing from Wine either.
  [ ! -s "$work/$side.err" ] || { echo "$side printed:" >&2; cat "$work/$side.err" >&2; fail=1; }
done
[ "$fail" = 0 ] || exit 1
# The finished files' paths, each in its system's own form.
printf './DATALOG_1.csv\n./DATALOG_2.csv\n' >"$work/paths"
tr -d '\r' <"$work/windows.paths" | tr '\\' / >"$work/windows.paths.lf"
for side in linux windows; do
  f=$work/$side.paths
  [ $side = linux ] || f=$work/windows.paths.lf
  cmp "$work/paths" "$f" || { echo "$side printed other paths:" >&2; cat "$f" >&2; fail=1; }
done
# Printed lines end in CR LF on Windows, as its console programs' do; the words are the same.
tr -d '\r' <"$work/windows.info" >"$work/windows.info.lf"
cmp "$work/linux.info" "$work/windows.info.lf" ||
  { echo "info printed differently:" >&2; cat "$work/linux.info" "$work/windows.info" >&2; fail=1; }

names=$(cd "$work/linux" && ls -A)
if [ "$names" != "$(cd "$work/windows" && ls -A)" ]; then
  echo "The two builds left different files:" >&2
  ls -A "$work/linux" "$work/windows" >&2
  exit 1
fi
for f in DATALOG_1.csv DATALOG_2.csv Registers_LOG.txt; do
  [ -s "$work/linux/$f" ] || { echo "$f is missing or empty" >&2; fail=1; }
done
for f in $names; do
  case $f in
  DATALOG_*)
    # The header lines that hold the clock: the date, the start time and the seconds.
    strip='/^\(Date\|Time\|Begin Seconds\|End Seconds\|Elapsed Seconds\)[,	]/d'
    sed "$strip" "$work/linux/$f" >"$work/linux.$f"
    sed "$strip" "$work/windows/$f" >"$work/windows.$f"
    a=$work/linux.$f b=$work/windows.$f
    ;;
  *) a=$work/linux/$f b=$work/windows/$f ;;
  esac
  if ! cmp "$a" "$b"; then
    echo "$f differs between the Linux and the Windows build" >&2
    fail=1
  fi
done

# Without --dir the log files go to the current directory, as every shell tool's, never
# beside the program.
mkdir -p "$work/program" "$work/elsewhere"
cp "$exe" "$work/program/"
(cd "$work/elsewhere" &&
  "$wine_run" "$prefix" "$work/program/$(basename "$exe")" --sim 41120 log --samples 3 \
    >/dev/null 2>&1) ||
  { echo "log without --dir failed" >&2; fail=1; }
if [ ! -s "$work/elsewhere/DATALOG_1.csv" ] || [ -e "$work/program/DATALOG_1.csv" ]; then
  echo "log without --dir did not write into the current directory:" >&2
  ls -A "$work/program" "$work/elsewhere" >&2
  fail=1
fi
[ "$fail" = 0 ] && echo "same files: $names"
exit $fail
