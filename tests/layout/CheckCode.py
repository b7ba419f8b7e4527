#!/usr/bin/env python3
"""Two rules of the source tree, checked on its code (comments and blank lines not counted):
- every function under 80 lines and every file under 450 lines (a file that is mostly a
  table of data may be longer when it says so with "// sizes: a table" near its top);
- below the front ends (everything but ui/, cli/, app/ and main.cpp) no message box, no
  call of the Messages seam and no read of UsbReady: failures travel as values.
Prints each offender; exit 1 when there is one.
Usage: CheckCode.py SRC_DIR [FUNCTION_LIMIT FILE_LIMIT]"""
import os
import re
import sys

def code_lines(text):
    """The lines of code: comments stripped (// and /* */), blank lines dropped; strings kept."""
    out, in_block = [], False
    for raw in text.split('\n'):
        line, i, code = raw, 0, ''
        in_str = None
        while i < len(line):
            c = line[i]
            if in_block:
                if line.startswith('*/', i):
                    in_block = False
                    i += 2
                    continue
                i += 1
                continue
            if in_str:
                code += c
                if c == '\\' and i + 1 < len(line):
                    code += line[i + 1]
                    i += 2
                    continue
                if c == in_str:
                    in_str = None
                i += 1
                continue
            if line.startswith('//', i):
                break
            if line.startswith('/*', i):
                in_block = True
                i += 2
                continue
            if c in '"\'':
                # a raw string literal R"(...)" is rare here: treated as a plain string
                in_str = c
            code += c
            i += 1
        out.append(code)
    return out

def functions(lines):
    """(name, code line count) of each function body at namespace or class level."""
    found, depth, start, name = [], 0, None, ''
    count = 0
    header = ''
    for l in lines:
        if not l.strip():
            continue
        stripped = l.strip()
        opens, closes = stripped.count('{'), stripped.count('}')
        if start is None:
            header = (header + ' ' + stripped)[-400:]
            if opens > closes:
                m = re.search(r'([~\w:]+)\s*\([^;{}]*\)[^;{}]*\{\s*$', header)
                is_type = re.search(r'\b(namespace|class|struct|enum|union)\b[^(]*\{\s*$', header)
                is_lambda = '](' in header[-80:] or '] {' in header[-40:]
                if m and not is_type and not is_lambda:
                    start, name, count, depth = True, m.group(1), 0, opens - closes
                    header = ''
                    continue
            if stripped.endswith(';') or stripped.endswith('}') or stripped.endswith('{'):
                header = ''
            continue
        count += 1
        depth += opens - closes
        if depth <= 0:
            found.append((name, count))
            start, header = None, ''
    return found

FRONT_ENDS = ('ui', 'cli', 'app')
BELOW_RULES = [
    (re.compile(r'\bQMessageBox\b'), 'a message box'),
    (re.compile(r'\bMessages\s*&'), 'the Messages seam'),
    (re.compile(r'\bmessages\s*\.\s*show\b'), 'a message shown'),
    (re.compile(r'\bUsbReady\b'), 'UsbReady'),
]

def below_front_ends(src, path):
    rel = os.path.relpath(path, src).replace(os.sep, '/')
    return rel != 'main.cpp' and rel.split('/')[0] not in FRONT_ENDS and not rel.startswith('base/')

def main():
    src = sys.argv[1]
    flimit = int(sys.argv[2]) if len(sys.argv) > 2 else 80
    limit = int(sys.argv[3]) if len(sys.argv) > 3 else 450
    bad = []
    for root, _, files in os.walk(src):
        for f in sorted(files):
            if not f.endswith(('.cpp', '.h')):
                continue
            path = os.path.join(root, f)
            text = open(path, encoding='utf-8').read()
            lines = code_lines(text)
            n = sum(1 for l in lines if l.strip())
            table = '// sizes: a table' in text[:2000]
            if n >= limit and not table:
                bad.append(f'{path}: {n} lines of code (limit {limit})')
            for name, count in functions(lines):
                if count >= flimit:
                    bad.append(f'{path}: {name}: {count} lines (limit {flimit})')
            if below_front_ends(src, path):
                for no, line in enumerate(lines, 1):
                    for rule, what in BELOW_RULES:
                        if rule.search(line):
                            bad.append(f'{path}:{no}: {what} below the windows and the command line')
    for b in bad:
        print(b)
    return 1 if bad else 0

if __name__ == '__main__':
    sys.exit(main())
