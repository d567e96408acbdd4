#!/usr/bin/env python3
"""Reads gcov's JSON of two runs of the same calls, the second with more
calls than the first (one document per object, one after the other), and
prints the library files with a line that ran more often in the second:
the code of every call. Then the library headers those files include:
where what they call is declared, so a reader opens them too.

    call-path-count.py FEWER.json MORE.json ROOT
"""
import collections
import json
import os
import re
import sys

INCLUDE = re.compile(r'\s*#\s*include\s+"([^"]+)"')


def line_counts(text, root):
    counts = collections.Counter()
    decoder = json.JSONDecoder()
    i = 0
    while True:
        while i < len(text) and text[i].isspace():
            i += 1
        if i >= len(text):
            return counts
        doc, i = decoder.raw_decode(text, i)
        cwd = doc.get("current_working_directory", "")
        for f in doc["files"]:
            name = os.path.normpath(os.path.join(cwd, f["file"]))
            if not name.startswith(root + "/sdk/"):
                continue
            for line in f["lines"]:
                counts[(name[len(root) + 1:], line["line_number"])] += line["count"]


def lines_run(fewer, more):
    ran = collections.defaultdict(set)
    for (name, line), count in more.items():
        if count > fewer.get((name, line), 0):
            ran[name].add(line)
    return ran


def included_headers(ran, root):
    headers = set()
    for name in ran:
        with open(os.path.join(root, name), encoding="utf-8", errors="replace") as source:
            for line in source:
                m = INCLUDE.match(line)
                if not m:
                    continue
                for base in (os.path.dirname(name), "sdk", "sdk/include"):
                    candidate = os.path.normpath(os.path.join(base, m.group(1)))
                    if os.path.exists(os.path.join(root, candidate)):
                        if candidate not in ran:
                            headers.add(candidate)
                        break
    return headers


def main():
    root = sys.argv[3]
    with open(sys.argv[1]) as fewer, open(sys.argv[2]) as more:
        ran = lines_run(line_counts(fewer.read(), root), line_counts(more.read(), root))
    headers = included_headers(ran, root)
    total = 0
    for name in sorted(ran):
        print("  %-40s %4d lines run" % (name, len(ran[name])))
        total += len(ran[name])
    for name in sorted(headers):
        print("  %-40s  included" % name)
    print("  code run in %d files, %d lines; with the library headers they include: %d files"
          % (len(ran), total, len(ran) + len(headers)))


main()
