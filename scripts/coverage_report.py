#!/usr/bin/env python3
"""The module's line and branch coverage, from llvm-cov's JSON export.

  coverage_report.py EXPORT.json SHOW.txt SOURCE_ROOT EXCEPTIONS [--uncovered]

EXPORT.json is llvm-cov's export of the counts, SHOW.txt its line view with
branches (show -show-branches=count), which alone tells the conditions that
the compiler folded (a template's constant, say): those do not count.

Prints the coverage of every file of the module's folders, each folder's
and the whole module's, and checks it: every line covered and at least
BRANCH_GOAL of the branch outcomes taken, where the lines and branch
outcomes that EXCEPTIONS names count as covered. An exception that names
nothing, or something now covered, fails the check as well. Exit status 1
when the check fails, 2 on a malformed exceptions file.

With --uncovered it prints instead what is not covered and not excepted,
as entries of the exceptions file with an empty reason.

Lines count as llvm-cov counts them: a line is code when a region starts on
it or one runs across it, and covered when any of those ran. A branch
outcome is one side (true or false) of a condition.
"""

import collections
import json
import os
import sys

# The module's folders, most specific first: a file belongs to the first
# that holds it.
FOLDERS = ("module/state/", "module/", "factory/", "component/", "maptree/",
           "arraytree/", "platform/")
BRANCH_GOAL = 95.0


class FileCoverage:
    def __init__(self, path, source):
        self.path = path
        self.source = source  # the file's lines
        self.lines = {}  # line number -> times run, for lines of code
        self.branches = {}  # (line, col, end line, end col) -> [true, false]

    def condition(self, key):
        line, col, end_line, end_col = key
        if line == end_line:
            text = self.source[line - 1][col - 1:end_col - 1]
        else:
            text = " ".join([self.source[line - 1][col - 1:]] +
                            self.source[line:end_line - 1] +
                            [self.source[end_line - 1][:end_col - 1]])
        return " ".join(text.split())

    def line_text(self, line):
        return " ".join(self.source[line - 1].split())


def line_counts(segments):
    """Times run per line of code, as llvm-cov's line view computes them.

    A segment is [line, col, count, has_count, is_region_entry, is_gap]."""
    counts = {}
    by_line = collections.defaultdict(list)
    for seg in segments:
        by_line[seg[0]].append(seg)
    if not segments:
        return counts
    wrapped = None
    for line in range(segments[0][0], segments[-1][0] + 1):
        here = by_line.get(line, [])
        starts = [s for s in here if s[3] and s[4] and not s[5]]
        skipped = bool(here) and not here[0][3] and here[0][4]
        mapped = not skipped and ((wrapped is not None and wrapped[3]) or starts)
        if mapped:
            count = wrapped[2] if wrapped is not None else 0
            if starts:
                count = max([count] + [s[2] for s in starts])
            counts[line] = count
        if here:
            wrapped = here[-1]
    return counts


def folded_conditions(show_path, root):
    """{(path, line, column)} of the conditions llvm-cov's view calls
    folded: constant, with no outcome to take."""
    folded = set()
    path = None
    with open(show_path) as f:
        for text in f:
            if text.startswith("/") and text.rstrip().endswith(":"):
                path = os.path.relpath(os.path.realpath(text.rstrip()[:-1]), root)
                continue
            at = text.find("Branch (")
            if at >= 0 and "[Folded - Ignored]" in text:
                line, col = text[at + 8:text.index(")", at)].split(":")
                folded.add((path, int(line), int(col)))
    return folded


def load(export_path, show_path, root):
    with open(export_path) as f:
        data = json.load(f)
    folded = folded_conditions(show_path, root)
    files = {}
    for entry in data["data"][0]["files"]:
        # The layers' include paths are links into the source tree.
        path = os.path.relpath(os.path.realpath(entry["filename"]), root)
        if not path.startswith(FOLDERS):
            continue
        if path not in files:
            with open(os.path.join(root, path)) as f:
                files[path] = FileCoverage(path, f.read().split("\n"))
        fc = files[path]
        for line, count in line_counts(entry["segments"]).items():
            fc.lines[line] = max(fc.lines.get(line, 0), count)
        branches = list(entry["branches"])
        for expansion in entry.get("expansions", []):
            branches += expansion.get("branches", [])
        for b in branches:
            if (path, b[0], b[1]) in folded:
                continue
            key = tuple(b[0:4])
            taken = fc.branches.setdefault(key, [0, 0])
            taken[0] += b[4]
            taken[1] += b[5]
    return files


class Entry:
    def __init__(self, path, kind, text, where, anchor, number):
        self.path = path
        self.kind = kind  # "line", "block", "true" or "false"
        self.text = text
        self.where = where  # the line a branch is on, or None
        self.anchor = anchor  # the first match after this line, or None
        self.number = number  # line in the exceptions file
        self.reason = ""

    def describe(self):
        where = " | " + self.where if self.where else ""
        anchor = " @ " + self.anchor if self.anchor else ""
        return "%s: %s: %s%s%s" % (self.path, self.kind, self.text, where, anchor)


def read_exceptions(path):
    """Entries: a file's path on a line of its own, then indented items
    `line: TEXT`, `block: TEXT` (the lines of the block that TEXT's line
    opens, up to its closing brace), `true: CONDITION` or
    `false: CONDITION` (optionally `CONDITION | LINE TEXT`) of that file,
    any of them optionally followed by ` @ ANCHOR` (the first match after
    the line ANCHOR), then `why: REASON`, which may continue on further
    indented lines and covers every item since the last reason, whichever
    file it is of. # starts a comment line."""
    entries, errors = [], []
    current, pending, explained = None, [], []
    with open(path) as f:
        for number, raw in enumerate(f, 1):
            if not raw.strip() or raw.lstrip().startswith("#"):
                continue
            if not raw[0].isspace():
                current, explained = raw.strip(), []  # pending items keep their files
                continue
            item = raw.strip()
            kind, colon, text = item.partition(":")
            text = text.strip()
            if current is None:
                errors.append("%s:%d: an item before any file" % (path, number))
            elif colon and kind in ("line", "block", "true", "false"):
                if not text:
                    errors.append("%s:%d: an empty item" % (path, number))
                where = anchor = None
                if " @ " in text:
                    text, _, anchor = text.rpartition(" @ ")
                    anchor = " ".join(anchor.split())
                if kind in ("true", "false") and " | " in text:
                    text, _, where = text.partition(" | ")
                    where = " ".join(where.split())
                pending.append(Entry(current, kind, " ".join(text.split()), where, anchor, number))
                explained = []
            elif colon and kind == "why":
                if not pending or not text:
                    errors.append("%s:%d: a reason without items, or empty" % (path, number))
                for e in pending:
                    e.reason = text
                entries += pending
                explained, pending = pending, []
            elif explained:
                for e in explained:  # a reason's further lines
                    e.reason += " " + item
            else:
                errors.append("%s:%d: expected line:, block:, true:, false: or why:" % (path, number))
    if pending:
        errors.append("%s:%d: items without a reason (why:)" % (path, pending[0].number))
    return entries, errors


def block_end(fc, line):
    """The line that closes the brace opened last on `line`, or None."""
    depth = 0
    for n in range(line, len(fc.source) + 1):
        text = fc.source[n - 1].split("//")[0]
        if n == line:
            start = text.rfind("{")
            if start < 0:
                return None
            text = text[start:]
        for c in text:
            depth += (c == "{") - (c == "}")
            if depth == 0:
                return n
    return None


def match(entry, files):
    """(keys, problem): the uncovered lines or branch outcomes the exception
    names, or why it names nothing."""
    fc = files.get(entry.path)
    if fc is None:
        return None, "no such file of the module"
    after = 0
    if entry.anchor is not None:
        anchors = [n for n in range(1, len(fc.source) + 1) if fc.line_text(n) == entry.anchor]
        if len(anchors) != 1:
            return None, "the anchor matches %d lines" % len(anchors)
        after = anchors[0]
    if entry.kind in ("line", "block"):
        found = [n for n in range(after + 1, len(fc.source) + 1) if fc.line_text(n) == entry.text]
        if entry.anchor is not None:
            found = found[:1]
        if len(found) != 1:
            return None, ("matches no line" if not found else
                          "matches %d lines: add ' @ ' and the text of a line before it" %
                          len(found))
        line = found[0]
        if entry.kind == "block":
            end = block_end(fc, line)
            if end is None:
                return None, "line %d opens no block" % line
            lines = [n for n in range(line + 1, end + 1) if fc.lines.get(n) == 0]
            if not lines:
                return None, "the block after line %d is covered now" % line
            return [(entry.path, "line", n) for n in lines], None
        if line not in fc.lines:
            return None, "line %d is not code" % line
        if fc.lines[line] > 0:
            return None, "line %d is covered now" % line
        return [(entry.path, "line", line)], None
    side = 0 if entry.kind == "true" else 1
    found = sorted(k for k in fc.branches if k[0] > after and fc.condition(k) == entry.text and
                   (entry.where is None or fc.line_text(k[0]) == entry.where))
    if entry.anchor is not None:
        found = [k for k in found if k[0] == found[0][0]]
    if len(found) != 1:
        return None, ("matches no condition" if not found else
                      "matches %d conditions: add ' | ' and the line's text, or ' @ ' and "
                      "the text of a line before it" % len(found))
    key = found[0]
    if fc.branches[key][side] > 0:
        return None, "taken now (line %d)" % key[0]
    return [(entry.path, "branch", key, side)], None


def percent(part, whole):
    return 100.0 * part / whole if whole else 100.0


def folder_of(path):
    return next(f for f in FOLDERS if path.startswith(f)).rstrip("/")


def main(argv):
    if len(argv) not in (5, 6) or (len(argv) == 6 and argv[5] != "--uncovered"):
        sys.stderr.write(__doc__)
        return 2
    export_path, show_path, root, exceptions_path = argv[1:5]
    root = os.path.realpath(root)
    files = load(export_path, show_path, root)
    entries, errors = read_exceptions(exceptions_path)
    if errors:
        sys.stderr.write("\n".join(errors) + "\n")
        return 2
    excepted, problems = set(), []
    for e in entries:
        found, problem = match(e, files)
        if problem:
            problems.append("%s (%s:%d): %s" % (e.describe(), os.path.basename(exceptions_path),
                                                 e.number, problem))
        else:
            excepted.update(found)

    if len(argv) == 6:
        return print_uncovered(files, excepted)

    rows = []
    totals = collections.OrderedDict()
    for path in sorted(files):
        fc = files[path]
        n_lines = len(fc.lines)
        run_lines = sum(1 for c in fc.lines.values() if c > 0)
        exc_lines = sum(1 for x in excepted if x[0] == path and x[1] == "line")
        n_br = 2 * len(fc.branches)
        taken = sum((t > 0) + (f > 0) for t, f in fc.branches.values())
        exc_br = sum(1 for x in excepted if x[0] == path and x[1] == "branch")
        stats = [n_lines, run_lines, exc_lines, n_br, taken, exc_br]
        rows.append((path, stats))
        for name in (folder_of(path) + "/", None):
            acc = totals.setdefault(name, [0] * 6)
            for i, v in enumerate(stats):
                acc[i] += v
    module = totals.pop(None)

    def row(name, s):
        return "%-36s %5d/%-5d %4s %6.1f%%   %5d/%-5d %4s %6.1f%%" % (
            name, s[1], s[0], "+%d" % s[2] if s[2] else "", percent(s[1], s[0]),
            s[4], s[3], "+%d" % s[5] if s[5] else "", percent(s[4], s[3]))

    print("%-36s %-24s   %s" % ("", "lines run", "branch outcomes taken"))
    for path, s in rows:
        print(row(path, s))
    print()
    for name, s in sorted(totals.items()):
        print(row(name, s))
    print(row("the module", module))
    print("(+N: not run, and excepted in %s; the %% count what ran)" % os.path.basename(exceptions_path))

    lines_pct = percent(module[1] + module[2], module[0])
    branch_pct = percent(module[4] + module[5], module[3])
    failed = False
    print()
    if module[1] + module[2] < module[0]:
        failed = True
        print("coverage: %d lines not run and not excepted (bash scripts/coverage.sh --uncovered "
              "lists them)" % (module[0] - module[1] - module[2]))
    if branch_pct < BRANCH_GOAL:
        failed = True
        print("coverage: branches %.1f%% with the exceptions, below %.0f%%" % (branch_pct, BRANCH_GOAL))
    for p in problems:
        failed = True
        print("coverage: stale exception: " + p)
    print("coverage: lines %.1f%%, branches %.1f%% with the exceptions (%.1f%% and %.1f%% without): %s"
          % (lines_pct, branch_pct, percent(module[1], module[0]), percent(module[4], module[3]),
             "FAILED" if failed else "passed"))
    return 1 if failed else 0


def print_uncovered(files, excepted):
    """What is not covered and not excepted, as exceptions-file entries."""
    for path in sorted(files):
        fc = files[path]
        items = []
        texts = collections.Counter(fc.line_text(n) for n in range(1, len(fc.source) + 1))
        for line in sorted(fc.lines):
            if fc.lines[line] == 0 and (path, "line", line) not in excepted:
                text = fc.line_text(line)
                note = "  # line %d%s\n" % (line, ", not unique: add ' @ ' and a line before it"
                                             if texts[text] > 1 else "")
                items.append((line, "%s  line: %s" % (note, text)))
        conditions = collections.Counter(fc.condition(k) for k in fc.branches)
        placed = collections.Counter((fc.condition(k), fc.line_text(k[0])) for k in fc.branches)
        for key in sorted(fc.branches):
            for side, name in ((0, "true"), (1, "false")):
                if fc.branches[key][side] == 0 and (path, "branch", key, side) not in excepted:
                    text = fc.condition(key)
                    note = ""
                    if conditions[text] > 1:
                        text += " | " + fc.line_text(key[0])
                        if placed[(fc.condition(key), fc.line_text(key[0]))] > 1:
                            note = ", not unique: add ' @ ' and a line before it"
                    items.append((key[0], "  # line %d%s\n  %s: %s" % (key[0], note, name, text)))
        if items:
            print(path)
            for _, item in sorted(items):
                print(item)
            print("  why: ")
            print()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
