#!/bin/sh
# The bash completion made from the option table completes what a user types.
#   Completion.sh COMPLETION_SCRIPT
script=$1
bash -c '
. "$1"
fail=0
complete_words() { COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMPREPLY=(); _tavrin_cli; echo "${COMPREPLY[*]}"; }
expect() { want=$1; shift; got=$(complete_words "$@");
  [ "$got" = "$want" ] || { echo "$*: \"$got\", expected \"$want\""; fail=1; }; }
expect "log"                 tavrin-cli lo
expect "--stem --stdout"     tavrin-cli log --st
expect "--stem --stdout"     tavrin-cli --sim 41120 log --st
expect "csv tsv"             tavrin-cli log --format ""
expect "--sim"               tavrin-cli log --si
expect "0 1 2 3 all"         tavrin-cli --adapter ""
expect "--all --adapter"     tavrin-cli read --a
exit $fail
' sh "$script"
