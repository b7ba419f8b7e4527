#!/bin/sh
# tavrin-cli.exe scan with no adapter driver (as under Wine): the program's own text,
# status 1, nothing else printed, no crash.
#   ScanNoDriver.sh WORK WINE_RUN PREFIX WINDOWS_CLI
set -u
work=$1 wine_run=$2 prefix=$3 exe=$4
mkdir -p "$work"
expected="No USB Buffers Found, Please Verify Setup and Restart"
fail=0
for args in "scan" "info" "--json scan"; do
  # shellcheck disable=SC2086 # the arguments are split on purpose
  env -u TAVRIN_SIM "$wine_run" "$prefix" "$exe" $args >"$work/out" 2>"$work/err"
  rc=$?
  err=$(tr -d '\r' <"$work/err") # text-mode stderr on Windows
  if [ "$rc" != 1 ] || [ "$err" != "$expected" ]; then
    echo "tavrin-cli $args: status $rc (1 expected), standard error:" >&2
    cat "$work/err" >&2
    fail=1
  fi
  case $args in
  --json*) out=$(tr -d ' \r\n' <"$work/out"); [ "$out" = "[]" ] || { echo "--json scan printed: $out" >&2; fail=1; } ;;
  *) [ ! -s "$work/out" ] || { echo "tavrin-cli $args printed:" >&2; cat "$work/out" >&2; fail=1; } ;;
  esac
done
exit $fail
