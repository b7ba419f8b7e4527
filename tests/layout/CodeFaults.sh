#!/bin/sh
# Plants a long function, a long file and each front-end-only call below the front ends in a
# tree of its own; the checker must name every one and fail, and pass the clean tree.
#   CodeFaults.sh CHECKCODE.py WORK
checker=$1 work=$2
rm -rf "$work" && mkdir -p "$work/src/transport" "$work/src/ui" "$work/src/base"
body=$(i=0; while [ $i -lt 85 ]; do echo "    x += $i;"; i=$((i + 1)); done)
printf 'int Short(int x) {\n    return x;\n}\n' >"$work/src/transport/Ok.cpp"
printf '// messages.show( in a comment counts for nothing\nbool Ready(Link& l) { return l.ready; }\n' \
  >>"$work/src/transport/Ok.cpp"
printf 'void Show(base::Messages& m) { m.show("x"); }\nbool R(App& a) { return a.UsbReady(); }\n' \
  >"$work/src/ui/Window.cpp"
python3 "$checker" "$work/src" || { echo "a clean tree was refused"; exit 1; }
printf 'int Long(int x) {\n%s\n    return x;\n}\n' "$body" >"$work/src/base/Long.cpp"
i=0; while [ $i -lt 460 ]; do echo "int v$i = $i;"; i=$((i + 1)); done >"$work/src/base/Big.cpp"
printf 'void Tell(base::Messages& messages) { messages.show("x"); }\n' >"$work/src/transport/Tell.cpp"
printf 'bool Ready(AdapterState& u) { return u.UsbReady; }\n' >"$work/src/transport/Ready.cpp"
printf 'void Box() { QMessageBox::warning(nullptr, "", ""); }\n' >"$work/src/transport/Box.cpp"
out=$(python3 "$checker" "$work/src") && { echo "the planted faults passed"; exit 1; }
fail=0
for want in "Long.cpp: Long: 8" "Big.cpp: 460 lines" "Tell.cpp:1: the Messages seam" \
            "Tell.cpp:1: a message shown" "Ready.cpp:1: UsbReady" "Box.cpp:1: a message box"; do
  case $out in *"$want"*) ;; *) echo "not named: $want"; fail=1 ;; esac
done
[ $fail = 0 ] || printf '%s\n' "$out"
exit $fail
