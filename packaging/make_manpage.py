#!/usr/bin/env python3
"""Writes a program's manual page from its --help text.

The --help texts are the one place where the programs describe themselves
(pixmill-cli's is made from its option table), so the manual pages cannot
drift from them. Usage:

    make_manpage.py PROGRAM SUMMARY VERSION OUT.1.gz [SEE-ALSO...]

The text is read by running PROGRAM --help. Its shape: a "Usage:" line, a
description, then headings ("Options:", "Exit codes:") at the left margin
whose entries are indented by two blanks, the term and its text separated by
two or more blanks (or the text on the lines below, further indented).
"""
import gzip
import os
import re
import subprocess
import sys


def escape(text):
    text = text.replace("\\", "\\e").replace("-", "\\-")
    if text.startswith((".", "'")):
        text = "\\&" + text
    return text


def term(text):
    # Options and commands in bold, their arguments as typed.
    words = text.split(" ")
    return "\\fB" + escape(words[0]) + "\\fR" + (" " + escape(" ".join(words[1:])) if len(words) > 1 else "")


def to_roff(program, summary, version, help_text, see_also):
    lines = help_text.rstrip("\n").split("\n")
    out = [
        '.TH %s 1 "" "%s %s" "User Commands"' % (program.upper(), program, version),
        ".nh",  # names and options are never hyphenated
        ".ad l",
        ".SH NAME",
        "%s \\- %s" % (escape(program), escape(summary)),
    ]
    first = lines.pop(0)
    usage = re.sub(r"^[Uu]sage:\s*", "", first)
    out += [".SH SYNOPSIS", ".B " + escape(usage.split(" ")[0]), escape(" ".join(usage.split(" ")[1:]))]
    out.append(".SH DESCRIPTION")
    section_has_entries = False
    entry_column = None
    for line in lines:
        if not line.strip():
            if not section_has_entries:
                out.append(".PP")
            continue
        heading = re.match(r"^([A-Z][A-Za-z ]*):(\s+(.*))?$", line)
        if heading and not line.startswith(" "):
            out.append(".SH " + escape(heading.group(1).upper()))
            section_has_entries = True
            entry_column = None
            if heading.group(3):  # "Exit status: 0 parsed ..." on one line
                out += [".PP", escape(heading.group(3))]
                section_has_entries = False
            continue
        if not line.startswith(" "):
            # Free text after the entries of a section.
            if section_has_entries:
                out += [".SH NOTES", ".PP"]
                section_has_entries = False
            out.append(escape(line))
            continue
        entry = re.match(r"^  (\S(?:.*?\S)?)(?:\s{2,}(\S.*))?$", line)
        indent = len(line) - len(line.lstrip(" "))
        if indent == 2 and entry:
            out += [".TP", term(entry.group(1))]
            if entry.group(2):
                entry_column = line.index(entry.group(2))
                out.append(escape(entry.group(2)))
            else:
                entry_column = None
            continue
        text = line.strip()
        if entry_column is None:
            entry_column = indent
        if indent > entry_column:
            # An example inside an entry's text keeps its own line.
            out += [".br", "\\ \\ " + escape(text)]
        else:
            out.append(escape(text))
    if see_also:
        out += [".SH SEE ALSO", ", ".join("\\fB%s\\fR(1)" % escape(name) for name in see_also)]
    return "\n".join(out) + "\n"


def main():
    program_path, summary, version, output = sys.argv[1:5]
    see_also = sys.argv[5:]
    program = os.path.basename(program_path)
    help_text = subprocess.run([program_path, "--help"], check=True, capture_output=True,
                               text=True).stdout
    roff = to_roff(program, summary, version, help_text, see_also)
    # mtime 0: the same page gives the same bytes (reproducible packages).
    with open(output, "wb") as raw:
        with gzip.GzipFile(filename="", mode="wb", fileobj=raw, compresslevel=9, mtime=0) as page:
            page.write(roff.encode("utf-8"))


if __name__ == "__main__":
    main()
