#!/usr/bin/env python3
# -*- coding: utf-8 -*-
"""Checks the registry removal list res/VnQRXReg.dat.

    python3 tests/registry/check_regdata.py res/VnQRXReg.dat
    python3 tests/registry/check_regdata.py res/VnQRXReg.dat --wine-prefix DIR

Reads the file's bytes with its own parser (it deliberately does not use
res/make_regdata.py), prints every figure it measures next to the value the
removal code expects, and exits 0 when everything holds, 1 otherwise (every
problem is listed).  With --wine-prefix it also reads system.reg, user.reg and
userdef.reg of a freshly created Wine prefix and checks that every parent key
the file relies on exists there and that no listed key does.

How the file is read:

* Lines end in CR LF, the last one included; the bytes are CP932 and every
  line must survive CP932 -> Unicode -> CP932 unchanged.  Everything below is
  done on the decoded text, so the second byte of a double-byte character
  (ソ is 83 5C) is never mistaken for a backslash.
* "[path]" is a section header.  An empty line separates two sections.  A
  line starting with two blanks continues the hex list of the line before,
  which must end in a backslash.  Anything else is an entry line: "@=data"
  (the default value) or "\"name\"=data".  Names carry no escapes and no
  double quote, so the name ends at the first double quote after the opening
  one; it may end in a backslash.
* String data runs from the double quote after "=" to the last character of
  the line, which must be the closing double quote.  A double quote inside is
  written \\".  A line counts as having an escaped quote when the text between
  those two quotes contains a double quote; a backslash just before the
  closing quote ("C:\\...\\QRX\\") is text ending in a backslash, not an escape.
* A section's parent is its key path without the last component.  A section
  counts as "parent not listed" when no section has that path; for a key
  directly below a root the parent is the root itself, which is never a
  section, so such keys count.
* The section-names buffer is what GetPrivateProfileSectionNames fills: every
  section name plus a zero byte, and one more zero byte.  A section buffer is
  what GetPrivateProfileSection fills: every line of the section with leading
  and trailing blanks removed, plus a zero byte each, and one more zero byte.
  Sizes are CP932 bytes.
* The longest line is measured in bytes without its CR LF.
* A removal pass makes one entry call per entry line, one per continuation
  line and one per section without entry lines.
"""

import argparse
import os
import re
import sys

ROOTS = ("HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS")

EXPECTED = (
    ("lines", 1305),
    ("bytes", 78824),
    ("separator lines", 342),
    ("sections", 343),
    ("sections without entry lines", 24),
    ("default-value lines", 166),
    ("named-value lines", 420),
    ("continuation lines", 34),
    ("HKEY_CLASSES_ROOT sections", 114),
    ("HKEY_CLASSES_ROOT sections without entry lines", 14),
    ("HKEY_CLASSES_ROOT default-value lines", 99),
    ("HKEY_CLASSES_ROOT named-value lines", 12),
    ("HKEY_CLASSES_ROOT continuation lines", 0),
    ("HKEY_CURRENT_USER sections", 8),
    ("HKEY_CURRENT_USER sections without entry lines", 2),
    ("HKEY_CURRENT_USER default-value lines", 0),
    ("HKEY_CURRENT_USER named-value lines", 17),
    ("HKEY_CURRENT_USER continuation lines", 7),
    ("HKEY_LOCAL_MACHINE sections", 216),
    ("HKEY_LOCAL_MACHINE sections without entry lines", 8),
    ("HKEY_LOCAL_MACHINE default-value lines", 67),
    ("HKEY_LOCAL_MACHINE named-value lines", 375),
    ("HKEY_LOCAL_MACHINE continuation lines", 20),
    ("HKEY_USERS sections", 5),
    ("HKEY_USERS sections without entry lines", 0),
    ("HKEY_USERS default-value lines", 0),
    ("HKEY_USERS named-value lines", 16),
    ("HKEY_USERS continuation lines", 7),
    ("entry lines", 586),
    ("string data", 466),
    ("string data in default values", 166),
    ("string data in named values", 300),
    ("dword data", 108),
    ("hex(2) data", 10),
    ("hex(2) data spread over continuation lines", 10),
    ("hex(7) data", 2),
    ("hex(7) data on one line", 2),
    ("lines with an escaped quote in string data", 122),
    ("names ending in a backslash", 94),
    ("sections whose parent is not listed", 59),
    ("section names buffer (bytes)", 38773),
    ("largest section buffer (bytes)", 6376),
    ("longest line (bytes, without CR LF)", 2672),
    ("longest key path (bytes)", 186),
    ("entry calls of a removal pass", 644),
)

# Parent keys the file may rely on without listing them: keys a clean Windows
# and a fresh Wine prefix both have.  The roots are the parents of top-level
# keys.
KNOWN_PARENTS = (
    "HKEY_CLASSES_ROOT",
    "HKEY_CLASSES_ROOT\\CLSID",
    "HKEY_CLASSES_ROOT\\Interface",
    "HKEY_CLASSES_ROOT\\TypeLib",
    "HKEY_CURRENT_USER\\Software",
    "HKEY_LOCAL_MACHINE\\SOFTWARE",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\*\\shellex\\ContextMenuHandlers",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\AppID",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Folder\\shellex\\ContextMenuHandlers",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Interface",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\TypeLib",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services",
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application",
    "HKEY_USERS\\.DEFAULT\\Software",
)

HEX_TOKEN = re.compile(r"[0-9a-f]{2}\Z")
DWORD = re.compile(r"dword:[0-9a-f]{8}\Z")
HEX_HEAD = re.compile(r"hex\(([27])\):")


class Section:
    def __init__(self, path, lineno):
        self.path = path
        self.lineno = lineno
        self.lines = []          # raw text of entry and continuation lines
        self.entries = 0


class Checker:
    def __init__(self):
        self.problems = []
        self.notes = []

    def fail(self, msg):
        self.problems.append(msg)

    # -- reading ------------------------------------------------------------

    def read(self, blob):
        self.blob = blob
        if not blob.endswith(b"\r\n"):
            self.fail("the last line does not end in CR LF")
        raw = blob.split(b"\r\n")
        if raw and raw[-1] == b"":
            raw.pop()
        self.raw = raw
        self.text = []
        for n, b in enumerate(raw, 1):
            if b"\r" in b or b"\n" in b:
                self.fail("line %d: bare CR or LF" % n)
            try:
                t = b.decode("cp932")
            except UnicodeDecodeError as exc:
                self.fail("line %d: not CP932 (%s)" % (n, exc))
                t = b.decode("cp932", "replace")
            else:
                try:
                    if t.encode("cp932") != b:
                        self.fail("line %d: does not survive CP932 -> Unicode -> CP932" % n)
                except UnicodeEncodeError:
                    self.fail("line %d: does not survive CP932 -> Unicode -> CP932" % n)
            if any(ch < " " or ch == "\x7f" for ch in t):
                self.fail("line %d: control character" % n)
            self.text.append(t)

    # -- parsing ------------------------------------------------------------

    def parse(self):
        f = self.fig = {name: 0 for name, _ in EXPECTED}
        f["lines"] = len(self.text)
        f["bytes"] = len(self.blob)
        self.sections = []
        sec = None
        prev_kind = None           # header, entry, hexentry, cont, empty
        hex_open = None            # [kind, bytes, line count, lineno] of a hex list
        for n, line in enumerate(self.text, 1):
            if hex_open and not line.startswith("  "):
                self.fail("line %d: line %d ends in a backslash but is not continued"
                          % (n, n - 1))
                self.finish_hex(hex_open)
                hex_open = None
            if line == "":
                f["separator lines"] += 1
                if prev_kind in (None, "empty"):
                    self.fail("line %d: empty line not between two sections" % n)
                prev_kind = "empty"
                continue
            if line.startswith("["):
                if prev_kind not in (None, "empty"):
                    self.fail("line %d: section header not preceded by an empty line" % n)
                if not line.endswith("]"):
                    self.fail("line %d: header does not end in ]" % n)
                sec = Section(line[1:-1], n)
                self.sections.append(sec)
                prev_kind = "header"
                continue
            if prev_kind is None:
                self.fail("line %d: the first line is not a section header" % n)
            if prev_kind == "empty":
                self.fail("line %d: empty line is not followed by a section header" % n)
            if sec is None:
                sec = Section("", n)
                self.sections.append(sec)
            if line.startswith(" "):
                f["continuation lines"] += 1
                sec.lines.append(line)
                if not line.startswith("  ") or line.startswith("   "):
                    self.fail("line %d: continuation line does not start with exactly "
                              "two blanks" % n)
                if "=" in line:
                    self.fail("line %d: continuation line contains '='" % n)
                if not hex_open:
                    self.fail("line %d: continuation line after a line that does not "
                              "end in a backslash" % n)
                    prev_kind = "cont"
                    continue
                hex_open[2] += 1
                more = self.hex_bytes(line.strip(" "), n, hex_open[1])
                if not more:
                    self.finish_hex(hex_open)
                    hex_open = None
                prev_kind = "cont"
                continue
            # entry line
            sec.lines.append(line)
            sec.entries += 1
            f["entry lines"] += 1
            hex_open = self.entry(sec, line, n)
            prev_kind = "entry"
        if hex_open:
            self.fail("line %d: the file ends inside a continued hex list" % len(self.text))
            self.finish_hex(hex_open)
        if prev_kind == "empty":
            self.fail("the file ends in an empty line")

    def entry(self, sec, line, n):
        f = self.fig
        if line.startswith("@="):
            name, data = None, line[2:]
            if sec.entries != 1:
                self.fail("line %d: default value is not the section's first entry" % n)
        elif line.startswith('"'):
            end = line.find('"', 1)
            if end < 0 or line[end + 1:end + 2] != "=":
                self.fail("line %d: malformed value name" % n)
                return None
            name, data = line[1:end], line[end + 2:]
            if name == "" or "=" in name:
                self.fail("line %d: value name empty or containing '='" % n)
            if name.endswith("\\"):
                f["names ending in a backslash"] += 1
        else:
            self.fail("line %d: neither a header, an empty line, an entry nor a "
                      "continuation" % n)
            return None
        sec.names = getattr(sec, "names", [])
        sec.names.append(name)
        if name is None:
            f["default-value lines"] += 1
        else:
            f["named-value lines"] += 1
        if data.startswith('"'):
            if len(data) < 2 or not data.endswith('"'):
                self.fail("line %d: string data does not end in a closing quote" % n)
                return None
            text = data[1:-1]
            for i, ch in enumerate(text):
                if ch == '"' and (i == 0 or text[i - 1] != "\\"):
                    self.fail("line %d: unescaped double quote in string data" % n)
                    break
            f["string data"] += 1
            f["string data in default values" if name is None
              else "string data in named values"] += 1
            if '"' in text:
                f["lines with an escaped quote in string data"] += 1
            return None
        if name is None:
            self.fail("line %d: default value that is not a string" % n)
        if data.startswith("dword:"):
            f["dword data"] += 1
            if not DWORD.match(data):
                self.fail("line %d: DWORD data is not 'dword:' and 8 lowercase hex digits"
                          % n)
            return None
        m = HEX_HEAD.match(data)
        if not m:
            self.fail("line %d: unknown data form" % n)
            return None
        kind = m.group(1)
        f["hex(%s) data" % kind] += 1
        state = [kind, bytearray(), 1, n]
        if self.hex_bytes(data[m.end():], n, state[1]):
            return state
        self.finish_hex(state)
        return None

    def hex_bytes(self, text, n, out):
        """Appends the bytes of one line of a hex list; True if it continues."""
        more = text.endswith("\\")
        if more:
            text = text[:-1]
            if not text.endswith(","):
                self.fail("line %d: backslash of a continued hex list not after a comma" % n)
            text = text[:-1]
        for tok in text.split(","):
            if not HEX_TOKEN.match(tok):
                self.fail("line %d: bad hex byte %r" % (n, tok))
                continue
            out.append(int(tok, 16))
        return more

    def finish_hex(self, state):
        kind, data, nlines, n = state
        f = self.fig
        if kind == "2":
            if nlines > 1:
                f["hex(2) data spread over continuation lines"] += 1
            if len(data) < 1 or data[-1] != 0 or 0 in data[:-1]:
                self.fail("line %d: hex(2) data is not one zero-terminated string" % n)
                return
            strings = [bytes(data[:-1])]
        else:
            if nlines == 1:
                f["hex(7) data on one line"] += 1
            if len(data) < 2 or data[-2:] != b"\0\0":
                self.fail("line %d: hex(7) data does not end in two zero bytes" % n)
                return
            strings = bytes(data[:-2]).split(b"\0")
        for s in strings:
            try:
                t = s.decode("cp932")
                if t.encode("cp932") != s:
                    raise UnicodeError
            except UnicodeError:
                self.fail("line %d: hex(%s) string is not round-trip CP932" % (n, kind))

    # -- figures ------------------------------------------------------------

    def check_sections(self):
        f = self.fig
        seen = {}
        prev = None
        depths = []
        for sec in self.sections:
            path = sec.path
            f["sections"] += 1
            if not all(" " <= ch <= "~" for ch in path):
                self.fail("line %d: section name is not plain ASCII" % sec.lineno)
            parts = path.split("\\")
            root = parts[0]
            if root not in ROOTS:
                self.fail("line %d: unknown root %r" % (sec.lineno, root))
            else:
                f[root + " sections"] += 1
                f[root + " default-value lines"] += sum(1 for x in getattr(sec, "names", [])
                                                        if x is None)
                f[root + " named-value lines"] += sum(1 for x in getattr(sec, "names", [])
                                                      if x is not None)
                f[root + " continuation lines"] += len(sec.lines) - sec.entries
                if sec.entries == 0:
                    f[root + " sections without entry lines"] += 1
            if sec.entries == 0:
                f["sections without entry lines"] += 1
            depth = len(parts) - 1
            depths.append(depth)
            if not 1 <= depth <= 10:
                self.fail("line %d: %d levels below the root" % (sec.lineno, depth))
            if any(p == "" or p != p.strip(" ") for p in parts):
                self.fail("line %d: empty key name or blanks around one" % sec.lineno)
            if path.lower() in seen:
                self.fail("line %d: %s also listed on line %d (letter case ignored)"
                          % (sec.lineno, path, seen[path.lower()]))
            seen.setdefault(path.lower(), sec.lineno)
            if prev is not None:
                if root in ROOTS and prev.path.split("\\")[0] in ROOTS and \
                        ROOTS.index(root) < ROOTS.index(prev.path.split("\\")[0]):
                    self.fail("line %d: roots out of order" % sec.lineno)
                if not prev.path.lower() < path.lower():
                    self.fail("line %d: not after line %d when compared in lower case"
                              % (sec.lineno, prev.lineno))
                if not prev.path.upper() < path.upper():
                    self.fail("line %d: not after line %d when compared in upper case"
                              % (sec.lineno, prev.lineno))
            prev = sec
            # The profile reader splits lines at the first "=": no two lines of
            # a section may look like the same key.
            keys = set()
            for line in sec.lines:
                key = line.strip(" \t").split("=", 1)[0].lower()
                if key in keys:
                    self.fail("line %d: section has two lines with key %r" % (sec.lineno, key))
                keys.add(key)
        self.depths = depths
        self.listed = seen
        f["section names buffer (bytes)"] = 1 + sum(
            len(s.path.encode("cp932")) + 1 for s in self.sections)
        f["longest key path (bytes)"] = max((len(s.path.encode("cp932"))
                                             for s in self.sections), default=0)
        f["longest line (bytes, without CR LF)"] = max((len(b) for b in self.raw), default=0)
        f["entry calls of a removal pass"] = (f["entry lines"] + f["continuation lines"]
                                              + f["sections without entry lines"])
        # Section buffers, trimmed as the profile reader does and untrimmed.
        sizes = []
        for sec in self.sections:
            trimmed = 1 + sum(len(l.strip(" \t").encode("cp932")) + 1 for l in sec.lines)
            untrimmed = 1 + sum(len(l.encode("cp932")) + 1 for l in sec.lines)
            sizes.append((trimmed, untrimmed, sec))
        sizes.sort(key=lambda s: -s[0])
        if sizes:
            top = sizes[0]
            f["largest section buffer (bytes)"] = top[0]
            self.notes.append("largest section: %s (%d lines)" % (top[2].path, len(top[2].lines)))
            if top[0] != top[1] or len(top[2].lines) != top[2].entries:
                self.fail("the largest section has continuation lines or blanks that "
                          "trimming removes")
            if any(re.search(r"\s=|=\s", l) for l in top[2].lines):
                self.fail("the largest section has blanks around '='")
            if len(sizes) > 1:
                runner = max(sizes[1:], key=lambda s: s[1])
                self.notes.append("next largest even untrimmed: %s, %d bytes (%d trimmed)"
                                  % (runner[2].path, runner[1], runner[0]))
                if runner[1] >= top[0]:
                    self.fail("%s would reach the largest section's size untrimmed"
                              % runner[2].path)
        # Parents.
        unlisted = []
        for sec in self.sections:
            parent = sec.path.rsplit("\\", 1)[0] if "\\" in sec.path else ""
            if parent.lower() not in self.listed:
                unlisted.append((sec, parent))
        f["sections whose parent is not listed"] = len(unlisted)
        known = {k.lower() for k in KNOWN_PARENTS}
        self.unlisted = sorted({p for _, p in unlisted}, key=str.lower)
        for sec, parent in unlisted:
            if parent.lower() not in known:
                self.fail("line %d: parent %s is neither listed nor a key that a clean "
                          "system has" % (sec.lineno, parent))
        # Double-byte characters ending in 0x5C, for the record.
        f5c = 0
        for b, t in zip(self.raw, self.text):
            if any(len(ch.encode("cp932", "replace")) == 2 and
                   ch.encode("cp932", "replace")[1] == 0x5C for ch in t):
                f5c += 1
        self.notes.append("lines with a double-byte character whose second byte is 0x5C: %d"
                          % f5c)

    # -- Wine prefix --------------------------------------------------------

    def wine_prefix(self, prefix):
        hives = {}
        for name in ("system.reg", "user.reg", "userdef.reg"):
            keys = set()
            with open(os.path.join(prefix, name), encoding="utf-8", errors="replace") as fh:
                for line in fh:
                    if not line.startswith("["):
                        continue
                    end = line.rfind("]")
                    key = line[1:end].replace("\\\\", "\\").lower()
                    parts = key.split("\\")
                    for i in range(1, len(parts) + 1):
                        keys.add("\\".join(parts[:i]))
            keys.add("")
            hives[name] = keys

        def where(path):
            parts = path.split("\\")
            root, rest = parts[0], "\\".join(parts[1:]).lower()
            if root == "HKEY_CLASSES_ROOT":
                return hives["system.reg"], ("software\\classes\\" + rest).rstrip("\\")
            if root == "HKEY_LOCAL_MACHINE":
                return hives["system.reg"], rest
            if root == "HKEY_CURRENT_USER":
                return hives["user.reg"], rest
            if root == "HKEY_USERS" and rest.split("\\")[0] == ".default":
                return hives["userdef.reg"], rest[len(".default"):].lstrip("\\")
            if root == "HKEY_USERS" and rest == "":
                return {""}, ""
            return None, None

        for parent in self.unlisted:
            keys, key = where(parent)
            ok = keys is not None and key in keys
            self.notes.append("Wine prefix has %-80s %s" % (parent, "yes" if ok else "NO"))
            if not ok:
                self.fail("parent %s does not exist in %s" % (parent, prefix))
        present = 0
        for sec in self.sections:
            keys, key = where(sec.path)
            if keys is not None and key in keys:
                present += 1
                self.fail("listed key %s already exists in %s" % (sec.path, prefix))
        self.notes.append("listed keys already present in the Wine prefix: %d" % present)

    # -- report -------------------------------------------------------------

    def report(self):
        for name, want in EXPECTED:
            got = self.fig.get(name, 0)
            mark = "ok" if got == want else "WRONG"
            print("%-50s %6d   expected %6d   %s" % (name, got, want, mark))
            if got != want:
                self.fail("%s is %d, expected %d" % (name, got, want))
        if self.depths:
            print("%-50s %6d..%d" % ("levels below the root", min(self.depths), max(self.depths)))
        print("unlisted parent keys (%d):" % len(self.unlisted))
        for p in self.unlisted:
            print("    " + p)
        for note in self.notes:
            print(note)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description="Checks the registry removal list.")
    ap.add_argument("file", nargs="?",
                    default=os.path.join(here, "..", "..", "res", "VnQRXReg.dat"))
    ap.add_argument("--wine-prefix", metavar="DIR",
                    help="also check parents and listed keys against a fresh Wine prefix")
    args = ap.parse_args()
    c = Checker()
    try:
        with open(args.file, "rb") as fh:
            blob = fh.read()
    except OSError as exc:
        print("check_regdata: %s" % exc)
        print("check_regdata: FAILED")
        return 1
    c.read(blob)
    c.parse()
    c.check_sections()
    if args.wine_prefix:
        c.wine_prefix(args.wine_prefix)
    c.report()
    if c.problems:
        for p in c.problems:
            print("FAIL: " + p)
        print("check_regdata: FAILED, %d problem(s) in %s" % (len(c.problems), args.file))
        return 1
    print("check_regdata: OK, %s meets all %d figures and every format rule"
          % (args.file, len(EXPECTED)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
