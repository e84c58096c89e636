#!/usr/bin/python3
"""The installer's texts (installer_texts.nsh) for translators and for NSIS.

usage: installer_texts.py pot TEXTS.nsh
         the English texts as template entries, on standard output
       installer_texts.py nsh TEXTS.nsh PO_DIR OUT.nsh
         for each language of PO_DIR/LINGUAS, NSIS's own translation of its
         pages and a LangString of each text from PO_DIR/LANG.po, into OUT.nsh

A text keeps NSIS's escapes ($\\r$\\n) and variables ($INSTDIR) as they are
written, in the English and in every translation.
"""
import re
import sys

# NSIS's name of each language po/ has.
NSIS_LANGUAGES = {"de": "German", "fr": "French", "es": "Spanish"}
LINE = re.compile(r'^LangString (\w+) \$\{LANG_ENGLISH\} "(.*)"$')


def english(path):
    return [LINE.match(line).groups() for line in open(path, encoding="utf-8") if LINE.match(line)]


def c_quoted(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def catalogue(path):
    """msgid -> msgstr of the singular entries of a .po file."""
    entries, field, values = {}, None, {}
    for line in open(path, encoding="utf-8"):
        line = line.rstrip("\n")
        match = re.match(r'^(msgid|msgstr|msgid_plural|msgstr\[\d+\]) "(.*)"$', line)
        if match:
            if match.group(1) == "msgid" and "msgid" in values:
                entries[values["msgid"]] = values.get("msgstr", "")
                values = {}
            field = match.group(1)
            values[field] = match.group(2)
        elif line.startswith('"') and field:
            values[field] += line[1:-1]
        elif not line.strip():
            field = None
    if "msgid" in values:
        entries[values["msgid"]] = values.get("msgstr", "")
    unescape = lambda s: re.sub(r'\\(.)', lambda m: {"n": "\n", "t": "\t"}.get(m.group(1), m.group(1)), s)
    return {unescape(k): unescape(v) for k, v in entries.items()}


def main():
    texts = english(sys.argv[2])
    if sys.argv[1] == "pot":
        for name, text in texts:
            print(f"#: {sys.argv[2]}\nmsgid {c_quoted(text)}\nmsgstr \"\"\n")
        return 0
    po_dir, out = sys.argv[3], sys.argv[4]
    languages = [line.strip() for line in open(f"{po_dir}/LINGUAS") if line.strip() and not line.startswith("#")]
    lines = []
    for lang in languages:
        nsis = NSIS_LANGUAGES[lang]
        translated = catalogue(f"{po_dir}/{lang}.po")
        lines.append(f'!insertmacro MUI_LANGUAGE "{nsis}"')
        for name, text in texts:
            words = translated.get(text) or text
            lines.append(f'LangString {name} ${{LANG_{nsis.upper()}}} "{words.replace(chr(34), "$" + chr(92) + chr(34))}"')
    with open(out, "w", encoding="utf-8") as file:
        file.write("; Made by installer_texts.py from po/.\n" + "\n".join(lines) + "\n")
    return 0


sys.exit(main())
