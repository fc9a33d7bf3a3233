#!/usr/bin/env python3
"""Every text the program shows must be in the guide, so that none is forgotten.

The texts are found by one rule in the product's C++ sources (not the .rc
templates, whose captions are on screen where they are used):
  - every string literal holding a character beyond ASCII, and
  - every literal handed straight to reportError (the few English ones).
A format's conversions (%s, %u, %.1f ...) stand for any text; the rest must
appear on one line of the guide as it stands. So the guide writes a message
the way the user sees it, with example values in place of the conversions.
Prints every text missing with its file and line; exits 1 when there is one.
"""
import pathlib, re, sys

top = pathlib.Path(__file__).resolve().parents[2]
folders = ['app', 'device', 'hardware_settings', 'model', 'monitor', 'output', 'platform', 'solver']
guide = (top / 'docs' / 'お読みください.txt').read_text(encoding='utf-8')

token = re.compile(r'//[^\n]*|/\*.*?\*/|\'(?:\\.|[^\'\\\n])*\'|"((?:\\.|[^"\\\n])*)"', re.S)
conversion = re.compile(r'%[-+ #0]*[0-9*]*(?:\.[0-9*]+)?[hlLzjt]*[diouxXeEfgGcsp]')

missing = 0
for path in sorted(p for folder in folders for p in (top / folder).glob('*') if p.suffix in ('.cpp', '.h')):
    source = path.read_text(encoding='utf-8')
    for match in token.finditer(source):
        text = match.group(1)
        if text is None:
            continue
        if text.isascii() and not re.search(r'reportError\(\s*$', source[:match.start()]):
            continue
        pattern = '.*?'.join(re.escape(piece) for piece in conversion.split(text.replace('%%', '%')))
        if not re.search(pattern, guide):
            print(f'{path.relative_to(top)}:{source.count(chr(10), 0, match.start()) + 1}: not in the guide: {text}')
            missing += 1
print(f'{missing} text(s) missing from docs/お読みください.txt' if missing else 'every text is in the guide')
sys.exit(1 if missing else 0)
