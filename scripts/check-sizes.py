#!/usr/bin/python3
"""Sizes that keep the code readable: no source file of src/ or web/ over
600 lines, no function over 60.

A function is taken from the line that opens its body to the line that
closes it, as the house's formatting writes them: C++ functions of a
namespace and JavaScript functions at the left margin, C++ member functions
written inside their class one indent in, each closed by a "}" at the
indent of the line that opened it. Lambdas and nested functions count
towards the function around them.

Files and functions that stay as they are for now are named in EXCEPTIONS
with the reason; the README names them too.

    scripts/check-sizes.py          checks this tree
    scripts/check-sizes.py DIR      checks DIR (a tree with src/ and web/)
Exit status 0 when every size holds, 1 (with each offender) otherwise.
"""
import os
import re
import sys

MAX_FILE = 600
MAX_FUNCTION = 60
# "path" or "path:function" -> why it stays whole.
EXCEPTIONS = {
}

SOURCES = ('.cpp', '.h', '.js', '.mjs')
SKIP_DIRS = {'node_modules', 'generated'}
# The line that closes a function's signature: a closing parenthesis
# (perhaps with qualifiers, an initialiser list's last member or a trailing
# return type) and "{" at the end.
OPENER = re.compile(r'(\)|\bconst|\bnoexcept|\boverride|\bfinal|->\s*[\w:<>, ]+|\})\s*\{$')
# The line that starts a signature: at the margin or one indent in, not a
# statement, a comment or a type's opening.
START = re.compile(r'^( {0,2})(?!(?:if|for|while|switch|catch|else|do|return|namespace|class|struct|enum|union|case|default)\b)'
                   r'[^ /#*}\])]')
NAME = re.compile(r'([A-Za-z_~][\w:~]*(?:operator\S*)?)\s*\(')


def functions(lines):
    """(name, first line, length) of each function body."""
    i = 0
    while i < len(lines):
        if not OPENER.search(lines[i]):
            i += 1
            continue
        # The signature may span lines: back to the line it starts on.
        start = i
        while start > 0 and lines[start - 1].strip() and not lines[start - 1].rstrip().endswith((';', '{', '}', '*/')) \
                and not lines[start - 1].lstrip().startswith(('//', '#', 'public:', 'private:', 'protected:')):
            start -= 1
        m = START.match(lines[start])
        name_match = NAME.search(' '.join(lines[start:i + 1]))
        if not m or not name_match:
            i += 1
            continue
        closer = m.group(1) + '}'
        end = i + 1
        while end < len(lines) and not (lines[end].startswith(closer) and
                                        (len(lines[end]) == len(closer) or lines[end][len(closer)] in ' ;)/,')):
            end += 1
        yield name_match.group(1), start + 1, end - start + 1
        i = end + 1


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..')
    root = os.path.abspath(root)
    failures = []
    for top in ('src', 'web'):
        for folder, dirs, files in os.walk(os.path.join(root, top)):
            dirs[:] = sorted(d for d in dirs if d not in SKIP_DIRS)
            for f in sorted(files):
                if not f.endswith(SOURCES):
                    continue
                path = os.path.join(folder, f)
                rel = os.path.relpath(path, root)
                with open(path, encoding='utf-8') as handle:
                    lines = handle.read().split('\n')
                if len(lines) - 1 > MAX_FILE and rel not in EXCEPTIONS:
                    failures.append(f'{rel}: {len(lines) - 1} lines (at most {MAX_FILE})')
                for name, line, length in functions(lines):
                    if length > MAX_FUNCTION and f'{rel}:{name}' not in EXCEPTIONS:
                        failures.append(f'{rel}:{line}: {name} is {length} lines (at most {MAX_FUNCTION})')
    for failure in failures:
        print('check-sizes:', failure)
    if not failures:
        print(f'check-sizes: no file of src/ or web/ over {MAX_FILE} lines, no function over {MAX_FUNCTION}')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
