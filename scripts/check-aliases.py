#!/usr/bin/env python3
"""Checks the aliases of a units.dat: the names a unit can be found by besides its own.

Usage: scripts/check-aliases.py [--cross] [--bare] [FILE]   (FILE defaults to data/units.dat)

Within each group it reports, as errors:
  - an alias that names two units, or that is another unit's name, symbol or bare name;
  - an alias holding a double quote, a comma or ";" (the mixed-target separator), or one
    that is a query keyword ("to", "を", "は", ...);
as warnings, an alias that repeats its own unit's name, symbol or bare name, or is listed
twice; and as notes, which do not fail the check, an alias that meets a different name of
another unit of the group once ASCII case is ignored, or once full-width, half-width and
compatibility forms (NFKC) and hiragana are folded as well. The exact spelling still finds one
unit, but a variant spelling finds both, so keep only those where the exact case tells the
units apart as users write them (MBps and Mbps).

--cross lists the aliases that also name a unit of another group, exactly or once folded
        (allowed, but the query needs the other units or the target to tell them apart);
--bare  lists the units without aliases.

Exit status: 0 with no errors and no warnings, 1 otherwise, 2 when the file cannot be read.
"""

import sys
import unicodedata

QUERY_KEYWORDS = {"to", "as", "into", "->", "→", ">", "=", "を", "に", "は", "何"}


def decode(data):
    if data.startswith(b"\xef\xbb\xbf"):
        return data[3:].decode("utf-8", "replace")
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError:
        return data.decode("cp932", "replace")


def is_blank(c):
    return 1 <= ord(c) <= 32


def split_fields(line):
    """The fields of a line: split at commas and blanks, "..." quoting, "" for one quote."""
    fields = []
    i, n = 0, len(line)
    while i < n and is_blank(line[i]):
        i += 1
    while i < n:
        if line[i] == '"':
            i += 1
            text = []
            while i < n:
                if line[i] == '"':
                    if i + 1 < n and line[i + 1] == '"':
                        text.append('"')
                        i += 2
                        continue
                    i += 1
                    break
                text.append(line[i])
                i += 1
            fields.append("".join(text))
        else:
            start = i
            while i < n and line[i] != "," and not is_blank(line[i]):
                i += 1
            fields.append(line[start:i])
        while i < n and is_blank(line[i]):
            i += 1
        if i < n and line[i] == ",":
            if i + 1 == n:
                fields.append("")
            i += 1
            while i < n and is_blank(line[i]):
                i += 1
    return fields


class Unit:
    def __init__(self, line_no, name, aliases):
        self.line = line_no
        self.name = name
        trimmed = name.strip()
        self.symbol = ""
        self.bare = trimmed
        if trimmed.endswith("]") and "[" in trimmed:
            open_at = trimmed.rfind("[")
            self.symbol = trimmed[open_at + 1 : -1].strip()
            self.bare = trimmed[:open_at].strip()
        self.aliases = aliases

    def own_names(self):
        return [n for n in (self.name, self.symbol, self.bare) if n]


def read_groups(text):
    groups = []
    lines = text.replace("\r\n", "\n").replace("\r", "\n").split("\n")
    group = None
    expect_name = False
    for number, line in enumerate(lines, start=1):
        if line == ">>":
            group = {"name": "", "line": number, "units": []}
            expect_name = True
            continue
        if expect_name:
            group["name"] = line
            expect_name = False
            continue
        if line.lower() == "<<\\d":
            break
        if line == "<<":
            if group is not None:
                groups.append(group)
            group = None
            continue
        if group is None:
            continue
        fields = split_fields(line)
        if len(fields) < 4:
            continue
        aliases = [a for f in fields[4:] for a in f.split() if a]
        group["units"].append(Unit(number, fields[0], aliases))
    return groups


def fold_case(text):
    return "".join(chr(ord(c) + 32) if "A" <= c <= "Z" else c for c in text)


def fold_all(text):
    text = unicodedata.normalize("NFKC", text)
    text = "".join(chr(ord(c) + 0x60) if 0x3041 <= ord(c) <= 0x3096 else c for c in text)
    return fold_case(text)


def check_group(path, group, report):
    units = group["units"]
    exact = {}
    for unit in units:
        for name in unit.own_names() + unit.aliases:
            exact.setdefault(name, set()).add(unit)
    folded = {}
    for fold, label in ((fold_case, "with case ignored"), (fold_all, "once folded")):
        table = {}
        for unit in units:
            for name in set(unit.own_names() + unit.aliases):
                table.setdefault(fold(name), []).append((unit, name))
        folded[label] = (fold, table)

    for unit in units:
        where = f"{path}:{unit.line}: {group['name']}: {unit.name}"
        seen = set()
        for alias in unit.aliases:
            if alias in seen:
                report.warning(f"{where}: alias {alias} is listed twice")
                continue
            seen.add(alias)
            bad = [c for c in '",;' if c in alias]
            if bad:
                report.error(f"{where}: alias {alias} holds {bad[0]}")
            if alias in QUERY_KEYWORDS:
                report.error(f"{where}: alias {alias} is a query keyword")
            if alias in unit.own_names():
                report.warning(f"{where}: alias {alias} repeats the unit's own name")
            others = sorted((u for u in exact[alias] if u is not unit), key=lambda u: u.line)
            for other in others:
                what = "an alias" if alias not in other.own_names() else "a name"
                report.error(f"{where}: alias {alias} is also {what} of {other.name}")
            if others:
                continue
            for label, (fold, table) in folded.items():
                clashes = sorted(
                    {(u.line, u.name, n) for u, n in table[fold(alias)] if u is not unit}
                )
                for _, other, name in clashes:
                    report.note(f"{where}: alias {alias} meets {name} of {other} {label}")
                if clashes:
                    break


def cross_groups(groups):
    """Prints each folded text that names units of several groups, an alias among them."""
    owners = {}
    for group in groups:
        for unit in group["units"]:
            for name in set(unit.own_names() + unit.aliases):
                entry = (group["name"], unit, name, name in unit.aliases)
                owners.setdefault(fold_all(name), []).append(entry)
    for key in sorted(owners):
        entries = owners[key]
        if len({g for g, _, _, _ in entries}) < 2 or not any(a for _, _, _, a in entries):
            continue
        where = "; ".join(
            f"{g}: {u.name} ({'alias ' if a else ''}{n})" for g, u, n, a in entries
        )
        print(f"{key}\t{where}")


class Report:
    def __init__(self):
        self.errors = 0
        self.warnings = 0
        self.notes = 0

    def error(self, text):
        self.errors += 1
        print(f"error: {text}")

    def warning(self, text):
        self.warnings += 1
        print(f"warning: {text}")

    def note(self, text):
        self.notes += 1
        print(f"note: {text}")


def main(argv):
    options = {a for a in argv if a.startswith("--")}
    files = [a for a in argv if not a.startswith("--")]
    unknown = options - {"--cross", "--bare"}
    if unknown or len(files) > 1:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    path = files[0] if files else "data/units.dat"
    try:
        with open(path, "rb") as f:
            text = decode(f.read())
    except OSError as e:
        print(f"{path}: {e.strerror}", file=sys.stderr)
        return 2
    groups = read_groups(text)
    report = Report()
    for group in groups:
        check_group(path, group, report)
    if "--cross" in options:
        cross_groups(groups)
    if "--bare" in options:
        for group in groups:
            for unit in group["units"]:
                if not unit.aliases:
                    print(f"{group['name']}\t{unit.name}")
    units = sum(len(g["units"]) for g in groups)
    with_aliases = sum(1 for g in groups for u in g["units"] if u.aliases)
    aliases = sum(len(u.aliases) for g in groups for u in g["units"])
    print(
        f"{units} units, {with_aliases} with aliases, {aliases} aliases: "
        f"{report.errors} errors, {report.warnings} warnings, {report.notes} notes"
    )
    return 1 if report.errors or report.warnings else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
