#!/bin/sh
# The program's own error lines, from the real executable: one short line on standard
# error, printable, and the documented exit status.
# Usage: ProgramMessages.sh <tavrin> <scratch dir>
exe=$1
dir=$2
mkdir -p "$dir" || exit 1
fail=0

# $1 name, $2 expected status, $3 actual status; the stderr text is in $dir/err.
check_one_line() {
    if [ "$3" -ne "$2" ]; then
        echo "$1: status $3, expected $2"
        fail=1
    fi
    lines=$(wc -l <"$dir/err")
    bytes=$(wc -c <"$dir/err")
    if [ "$lines" -ne 1 ] || [ "$bytes" -gt 400 ]; then
        echo "$1: $lines lines, $bytes bytes on standard error:"
        head -c 2000 "$dir/err"
        fail=1
    fi
}

# A 120 kB setting of bytes above 0x7F with control characters among them.
bad="$(printf '0:1\t\033')$(head -c 120000 /dev/zero | tr '\0' '\351')"
TAVRIN_SIM=$bad QT_QPA_PLATFORM=offscreen "$exe" 2>"$dir/err"
check_one_line "malformed TAVRIN_SIM" 2 $?
# What is left after every printable ASCII byte: the ellipsis and the newline.
left=$(tr -d '\040-\176' <"$dir/err" | od -An -tx1 | tr -d ' \n')
if [ "$left" != "e280a60a" ]; then
    echo "malformed TAVRIN_SIM: raw bytes $left in:"
    head -c 2000 "$dir/err"
    fail=1
fi
grep -q 'TAVRIN_SIM: "1\\x09\\x1B\\xE9' "$dir/err" || {
    echo "malformed TAVRIN_SIM: the line does not quote the start of the setting"
    fail=1
}

# No display at all, and a display that does not answer.
for display in none :971; do
    if [ "$display" = none ]; then
        env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM TAVRIN_SIM=41120 "$exe" 2>"$dir/err"
    else
        env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=$display TAVRIN_SIM=41120 "$exe" \
            2>"$dir/err"
    fi
    check_one_line "display $display" 1 $?
    grep -q '^tavrin: .*DISPLAY' "$dir/err" || {
        echo "display $display: the line does not say how to get a display:"
        cat "$dir/err"
        fail=1
    }
done

[ $fail -eq 0 ] && echo "program messages: all as expected"
exit $fail
