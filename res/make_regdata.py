#!/usr/bin/env python3
# -*- coding: utf-8 -*-
"""Builds res/VnQRXReg.dat, the registry removal list embedded in CleanupVnQRX.

    python3 res/make_regdata.py            write res/VnQRXReg.dat
    python3 res/make_regdata.py --check    rebuild in memory, exit 1 if the
                                           committed file differs

The file lists every key and value an installation of Velnor for QRX creates,
in registry-export syntax, code page 932, CR LF line ends:

    [HKEY_LOCAL_MACHINE\\SOFTWARE\\Halcyra\\ProductInfo\\1.0]
    "InstallDir"="C:\\Program Files\\Velnor for QRX\\"
    "ProductVersionMajor"="10"

A section whose header is followed by entry lines means "remove these values";
a section without entry lines means "remove this key".  The removal code reads
the file with the profile API (GetPrivateProfileSectionNames and
GetPrivateProfileSection), so the two buffers it allocates are sized for this
file exactly; the figures asserted at the bottom of build() are the ones the
C++ side and tests/registry/check_regdata.py rely on.  If you add or remove an
entry, the asserts tell you which figure moved; rebalance with the slack
strings marked "slack" below.

Syntax decisions (the checker applies the same rules independently):

* Names are written as they are, without escapes.  Installer folder paths end
  in a backslash, so `"C:\\...\\予定表\\"=""` is a normal line.  Names never
  contain a double quote or an equals sign.
* String data is written between double quotes; a double quote inside the text
  is written as \\" and nothing else is escaped.  The last character of the
  line is always the closing quote, so text ending in a backslash
  ("C:\\Program Files\\Velnor for QRX\\") is written as-is and its final \\"
  is NOT an escaped quote.  A line "has an escaped quote" when the text between
  the opening quote of the data and the line's final quote contains a double
  quote (always written as \\").
* DWORDs: dword: + 8 lowercase hex digits.
* hex(2) / hex(7) data are the value's ANSI (CP932) bytes including the
  terminating zero(s), two lowercase hex digits each, comma separated, wrapped
  the way REGEDIT4 does: a line is continued with ",\\" once it would pass 76
  characters, the continuation line starts with two blanks.
* Sections are sorted by the whole key path without regard to case; the order
  is the same whether letters are folded to lower or to upper case (the
  generator checks both, because '\\' and '_' sort differently against
  letters under the two foldings).
* "Parent not listed": a section whose parent key has no section of its own.
  A key directly under a root counts (its parent, the root, is never a
  section).  Every such parent must be a key that a clean Windows and a fresh
  Wine prefix already have; KNOWN_PARENTS below is that list, checked against
  a freshly created 64-bit Wine prefix (Wow6432Node not considered).
* "Longest line" is measured in bytes without the CR LF.
"""

import argparse
import os
import sys
import uuid

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "VnQRXReg.dat")

ROOTS = ("HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS")

# Keys that exist on a clean Windows and in a fresh Wine prefix, and that
# therefore may be the parent of a listed key without being listed themselves.
# The roots count as parents of their top-level keys.
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

# ---------------------------------------------------------------------------
# Identifiers.  All GUIDs of the suite are derived from fixed names, so the
# file is the same on every run.

_NS = uuid.UUID("5f0c3b2e-8a41-4d6e-9b7a-2c1e4f6a8d90")


def guid(name):
    return "{" + str(uuid.uuid5(_NS, name)).upper() + "}"


def packed(g):
    """Windows Installer's packed form of a GUID (as used under UserData)."""
    h = g.strip("{}").replace("-", "")
    out = h[7::-1] + h[11:7:-1] + h[15:11:-1]
    for i in range(16, 32, 2):
        out += h[i + 1] + h[i]
    return out


_MSI85 = ("!$%&'()*+,-.0123456789=?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[]^_`"
          "abcdefghijklmnopqrstuvwxyz{}~")


def compressed(g):
    """Windows Installer's 20-character compressed form of a GUID."""
    raw = uuid.UUID(g).bytes_le
    out = ""
    for i in range(0, 16, 4):
        n = int.from_bytes(raw[i:i + 4], "little")
        for _ in range(5):
            out += _MSI85[n % 85]
            n //= 85
    return out


PRODUCT_CODE = guid("product:Velnor for QRX 10.0")
UPGRADE_CODE = guid("upgrade:Velnor for QRX")
PACKAGE_CODE = guid("package:Velnor for QRX 10.0.4120")
PSFACTORY_OA = "{00020424-0000-0000-C000-000000000046}"     # PSOAInterface
PSFACTORY_DISP = "{00020420-0000-0000-C000-000000000046}"   # PSDispatch
CATID_CONTROL = "{40FC6ED4-2438-11CF-A3DB-080036F12502}"
CATID_SAFE_SCRIPT = "{7DD95801-9882-11CF-9FA9-00AA006C42C4}"
CATID_SAFE_INIT = "{7DD95802-9882-11CF-9FA9-00AA006C42C4}"

INST = "C:\\Program Files\\Velnor for QRX\\"
COMMON = "C:\\Program Files\\Common Files\\Halcyra\\"
PDATA = "C:\\ProgramData\\Halcyra\\Velnor for QRX\\"
MENU = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Velnor for QRX\\"
VERSION = "10.0.4120"
LANG_JA = 1041

# ---------------------------------------------------------------------------
# Entries and sections.


class Entry:
    __slots__ = ("kind", "name", "value")

    def __init__(self, kind, name, value):
        self.kind, self.name, self.value = kind, name, value


def D(text):
    """Default value (always a string)."""
    return Entry("default", None, text)


def S(name, text):
    return Entry("string", name, text)


def W(name, number):
    return Entry("dword", name, number)


def X2(name, text):
    """REG_EXPAND_SZ."""
    return Entry("expand", name, text)


def X7(name, strings):
    """REG_MULTI_SZ."""
    return Entry("multi", name, list(strings))


def q(path):
    """A path between double quotes, as command lines carry it."""
    return '"' + path + '"'


class Registry:
    def __init__(self):
        self.sections = {}

    def add(self, path, *entries):
        key = path.lower()
        assert key not in self.sections, "key listed twice: " + path
        self.sections[key] = (path, list(entries))

    def ordered(self):
        items = sorted(self.sections.values(), key=lambda s: s[0].lower())
        upper = sorted(self.sections.values(), key=lambda s: s[0].upper())
        assert [s[0] for s in items] == [s[0] for s in upper], \
            "order differs between lower- and upper-case folding"
        return items


# ---------------------------------------------------------------------------
# HKEY_CLASSES_ROOT: documents, the automation server, the phone control and
# the embeddable address-book object.

DOC_TYPES = (
    # ext, ProgID, description, exe, icon, content type, third verb
    (".vqb", "Velnor.QRX.Book.10", "Velnor 住所録ファイル", "VqBook.exe", 1,
     "application/x-velnor-book"),
    (".vqm", "Velnor.QRX.Memo.10", "Velnor メモ ファイル", "VqMemo.exe", 1,
     "application/x-velnor-memo"),
    (".vqp", "Velnor.QRX.PhoneLog.10", "Velnor 通話履歴ファイル", "VqPhone.exe", 2,
     "application/x-velnor-phonelog"),
    (".vqs", "Velnor.QRX.Schedule.10", "Velnor 予定表ファイル", "VqSched.exe", 1,
     "application/x-velnor-schedule"),
    (".vqt", "Velnor.QRX.Template.10", "Velnor テンプレート", "VqMain.exe", 5,
     "application/x-velnor-template"),
    (".vqx", "Velnor.QRX.Exchange.10", "Velnor 交換用データ", "VqSync.exe", 3,
     "application/x-velnor-exchange"),
)

CLSID_APP = guid("clsid:Velnor.QRX.Application")
CLSID_PHONECTL = guid("clsid:Velnor.QRX.PhoneCtl")
CLSID_BOOKDOC = guid("clsid:Velnor.QRX.Book")
LIBID_MAIN = guid("libid:VqMain")
LIBID_PHONECTL = guid("libid:VqPhCtl")
HKCR_INTERFACES = (
    ("IVqApplication", PSFACTORY_OA, LIBID_MAIN),
    ("IVqDocuments", PSFACTORY_OA, LIBID_MAIN),
    ("IVqPhoneCtl", PSFACTORY_OA, LIBID_PHONECTL),
    ("_IVqPhoneCtlEvents", PSFACTORY_DISP, LIBID_PHONECTL),
)


def typelib(reg, base, libid, name, file, helpdir):
    t = base + "\\TypeLib\\" + libid
    reg.add(t)
    reg.add(t + "\\1.0", D(name))
    reg.add(t + "\\1.0\\0")
    reg.add(t + "\\1.0\\0\\win32", D(file))
    reg.add(t + "\\1.0\\FLAGS", D("0"))
    reg.add(t + "\\1.0\\HELPDIR", D(helpdir))


def interface(reg, base, name, psclsid, libid):
    i = base + "\\Interface\\" + guid("iid:" + name)
    reg.add(i, D(name))
    reg.add(i + "\\ProxyStubClsid32", D(psclsid))
    reg.add(i + "\\TypeLib", D(libid), S("Version", "1.0"))


def classes_root(reg):
    cr = "HKEY_CLASSES_ROOT"
    for ext, progid, desc, exe, icon, ctype in DOC_TYPES:
        reg.add(cr + "\\" + ext, D(progid), S("Content Type", ctype))
        p = cr + "\\" + progid
        reg.add(p, D(desc))
        reg.add(p + "\\DefaultIcon", D(INST + exe + "," + str(icon)))
        reg.add(p + "\\shell", D("open"))
        reg.add(p + "\\shell\\open", D("開く(&O)"))
        reg.add(p + "\\shell\\open\\command", D(q(INST + exe) + ' "%1"'))
        if ext == ".vqt":
            reg.add(p + "\\shell\\new", D("新規作成(&N)"))
            reg.add(p + "\\shell\\new\\command", D(q(INST + exe) + ' /new "%1"'))
        else:
            reg.add(p + "\\shell\\print", D("印刷(&P)"))
            reg.add(p + "\\shell\\print\\command", D(q(INST + exe) + ' /p "%1"'))
    reg.add(cr + "\\.vqm\\ShellNew", S("NullFile", ""))

    # Automation server (VqMain.exe).
    c = cr + "\\CLSID\\" + CLSID_APP
    reg.add(c, D("Velnor for QRX Application"))
    reg.add(c + "\\LocalServer32", D(q(INST + "VqMain.exe") + " /Automation"))
    reg.add(c + "\\ProgID", D("Velnor.QRX.Application.10"))
    reg.add(c + "\\Programmable")
    reg.add(c + "\\TypeLib", D(LIBID_MAIN))
    reg.add(c + "\\VersionIndependentProgID", D("Velnor.QRX.Application"))
    p = cr + "\\Velnor.QRX.Application"
    reg.add(p, D("Velnor for QRX Application"))
    reg.add(p + "\\CLSID", D(CLSID_APP))
    reg.add(p + "\\CurVer", D("Velnor.QRX.Application.10"))
    reg.add(p + ".10", D("Velnor for QRX Application"))
    reg.add(p + ".10\\CLSID", D(CLSID_APP))

    # Phone control (VqPhCtl.ocx).
    c = cr + "\\CLSID\\" + CLSID_PHONECTL
    reg.add(c, D("Velnor Phone Control"))
    reg.add(c + "\\Control")
    reg.add(c + "\\Implemented Categories")
    for catid in (CATID_CONTROL, CATID_SAFE_SCRIPT, CATID_SAFE_INIT):
        reg.add(c + "\\Implemented Categories\\" + catid)
    reg.add(c + "\\InprocServer32", D(INST + "VqPhCtl.ocx"), S("ThreadingModel", "Apartment"))
    reg.add(c + "\\MiscStatus", D("0"))
    reg.add(c + "\\MiscStatus\\1", D("131473"))
    reg.add(c + "\\ProgID", D("Velnor.QRX.PhoneCtl.1"))
    reg.add(c + "\\ToolboxBitmap32", D(INST + "VqPhCtl.ocx, 1"))
    reg.add(c + "\\TypeLib", D(LIBID_PHONECTL))
    reg.add(c + "\\Version", D("1.0"))
    reg.add(c + "\\VersionIndependentProgID", D("Velnor.QRX.PhoneCtl"))
    p = cr + "\\Velnor.QRX.PhoneCtl"
    reg.add(p, D("Velnor Phone Control"))
    reg.add(p + "\\CLSID", D(CLSID_PHONECTL))
    reg.add(p + "\\CurVer", D("Velnor.QRX.PhoneCtl.1"))
    reg.add(p + ".1", D("Velnor Phone Control"))
    reg.add(p + ".1\\CLSID", D(CLSID_PHONECTL))

    # Embeddable address book (VqBook.exe as OLE server).
    c = cr + "\\CLSID\\" + CLSID_BOOKDOC
    reg.add(c, D("Velnor 住所録"))
    reg.add(c + "\\AuxUserType")
    reg.add(c + "\\AuxUserType\\2", D("住所録"))
    reg.add(c + "\\AuxUserType\\3", D("Velnor for QRX 住所録"))
    reg.add(c + "\\DefaultIcon", D(INST + "VqBook.exe,1"))
    reg.add(c + "\\Insertable")
    reg.add(c + "\\LocalServer32", D(q(INST + "VqBook.exe") + " /Embedding"))
    reg.add(c + "\\ProgID", D("Velnor.QRX.Book.10"))
    reg.add(c + "\\Programmable")
    reg.add(cr + "\\Velnor.QRX.Book.10\\CLSID", D(CLSID_BOOKDOC))
    reg.add(cr + "\\Velnor.QRX.Book.10\\Insertable")

    for name, ps, lib in HKCR_INTERFACES:
        interface(reg, cr, name, ps, lib)
    typelib(reg, cr, LIBID_MAIN, "Velnor for QRX 1.0 Type Library",
            INST + "VqMain.exe", INST + "Help")
    typelib(reg, cr, LIBID_PHONECTL, "Velnor Phone Control 1.0 Type Library",
            INST + "VqPhCtl.ocx", INST + "Help")


# ---------------------------------------------------------------------------
# Per-user settings (the installing user and the default profile).

def per_user(reg, base, user_dir, extra):
    h = base + "\\Software\\Halcyra"
    v = h + "\\Velnor for QRX"
    reg.add(h, S("UserName", ""), S("Organization", ""),
            X2("SharedDataDir", "%APPDATA%\\Halcyra\\共有データ\\Velnor for QRX;"
                                "%ALLUSERSPROFILE%\\Halcyra\\共有データ"))
    reg.add(v, S("CurrentVersion", "10.0"))
    reg.add(v + "\\10.0",
            X2("UserDataDir", user_dir),
            W("Language", LANG_JA), W("FirstRun", 1), S("Skin", "標準"))
    for sub, entries in extra:
        reg.add(v + "\\10.0\\" + sub, *entries)


def current_user(reg):
    per_user(reg, "HKEY_CURRENT_USER",
             "%APPDATA%\\Halcyra\\Velnor for QRX\\10.0\\ユーザー データ",
             (("AddIns", ()),
              ("Recent File List", ()),
              ("VqAgent", (W("StartWithWindows", 1), W("ShowTrayIcon", 1))),
              ("VqBook", (S("LastFile", ""), W("SortOrder", 0), S("View", "一覧表示"))),
              ("VqPhone", (S("DialPrefix", ""), W("Port", 3))))),


def default_user(reg):
    per_user(reg, "HKEY_USERS\\.DEFAULT",
             "%APPDATA%\\Halcyra\\Velnor for QRX\\10.0\\ユーザー データ",
             (("VqAgent", (W("StartWithWindows", 1), W("ShowTrayIcon", 1), W("Balloon", 1))),
              ("VqPhone", (S("DialPrefix", ""), W("Port", 3))))),


# ---------------------------------------------------------------------------
# Installed files.  Every file is the key file of its own Windows Installer
# component; the component is registered under UserData\S-1-5-18\Components
# and listed in its feature.  (path below INST, feature, file version or None)

FILES = (
    ("VqMain.exe", "Core", "10.0.4120.0"),
    ("VqCore.dll", "Core", "10.0.4120.0"),
    ("VqUI.dll", "Core", "10.0.4120.0"),
    ("VqData.dll", "Core", "10.0.4120.0"),
    ("VqAgent.exe", "Core", "10.0.4120.0"),
    ("VqBackup.exe", "Core", "10.0.4120.0"),
    ("VqConv.exe", "Core", "10.0.4120.0"),
    ("Resources\\ja-JP\\VqCoreRes.dll", "Core", "10.0.4120.0"),
    ("Resources\\ja-JP\\VqUIRes.dll", "Core", "10.0.4120.0"),
    ("Resources\\en-US\\VqCoreRes.dll", "Core", "10.0.4120.0"),
    ("Resources\\en-US\\VqUIRes.dll", "Core", "10.0.4120.0"),
    ("VqBook.exe", "Book", "10.0.4120.0"),
    ("VqBookLib.dll", "Book", "10.0.4120.0"),
    ("Resources\\ja-JP\\VqBookRes.dll", "Book", "10.0.4120.0"),
    ("VqMemo.exe", "Memo", "10.0.4120.0"),
    ("Resources\\ja-JP\\VqMemoRes.dll", "Memo", "10.0.4120.0"),
    ("VqPhone.exe", "Phone", "10.0.4120.0"),
    ("VqDial.exe", "Phone", "10.0.4120.0"),
    ("VqPhCtl.ocx", "Phone", "1.0.4120.0"),
    ("VqModem.dll", "Phone", "10.0.4120.0"),
    ("Resources\\ja-JP\\VqPhoneRes.dll", "Phone", "10.0.4120.0"),
    ("VqSched.exe", "Schedule", "10.0.4120.0"),
    ("VqSchedLib.dll", "Schedule", "10.0.4120.0"),
    ("Resources\\ja-JP\\VqSchedRes.dll", "Schedule", "10.0.4120.0"),
    ("VqPrint.exe", "Print", "10.0.4120.0"),
    ("VqPrnLib.dll", "Print", "10.0.4120.0"),
    ("Sync\\VqSync.exe", "Sync", "10.0.4120.0"),
    ("Sync\\VqSyncSvc.exe", "Sync", "10.0.4120.0"),
    ("Sync\\VqSyncSh.dll", "Sync", "10.0.4120.0"),
    ("Sync\\VqSyncMsg.dll", "Sync", "10.0.4120.0"),
    ("Sync\\VqPhoneMon.exe", "Sync", "10.0.4120.0"),
    ("Sync\\Drivers\\QRX-10\\qrx10usb.inf", "Drivers", None),
    ("Sync\\Drivers\\QRX-10\\qrx10usb.sys", "Drivers", "3.2.0.8"),
    ("Sync\\Drivers\\QRX-20\\qrx20usb.inf", "Drivers", None),
    ("Sync\\Drivers\\QRX-20\\qrx20usb.sys", "Drivers", "3.2.0.8"),
    ("Sync\\Drivers\\QRX-30\\qrx30usb.inf", "Drivers", None),
    ("Sync\\Drivers\\QRX-30\\qrx30usb.sys", "Drivers", "4.0.1.2"),
    ("Converters\\VqCnvCsv.dll", "Converters", "10.0.4120.0"),
    ("Converters\\VqCnvVcf.dll", "Converters", "10.0.4120.0"),
    ("Converters\\VqCnvLdif.dll", "Converters", "10.0.4120.0"),
    ("Converters\\VqCnvV9.dll", "Converters", "10.0.4120.0"),
    ("Converters\\VqCnvQrx.dll", "Converters", "10.0.4120.0"),
    ("AddIns\\LabelPrint\\VqLabel.dll", "AddIns", "10.0.4120.0"),
    ("AddIns\\MailMerge\\VqMerge.dll", "AddIns", "10.0.4120.0"),
    ("AddIns\\PostalCode\\VqPostal.dll", "AddIns", "10.0.4120.0"),
    ("Help\\ja-JP\\VqMain.chm", "Help", None),
    ("Help\\ja-JP\\VqBook.chm", "Help", None),
    ("Help\\ja-JP\\VqPhone.chm", "Help", None),
    ("Help\\ja-JP\\VqSched.chm", "Help", None),
    ("Help\\en-US\\VqMain.chm", "Help", None),
    ("Help\\Readme.txt", "Help", None),
    ("Skins\\標準\\skin.ini", "Skins", None),
    ("Skins\\和風\\skin.ini", "Skins", None),
    ("Skins\\十二色\\skin.ini", "Skins", None),
    ("Sounds\\着信音\\着信1.wav", "Sounds", None),
    ("Sounds\\着信音\\着信2.wav", "Sounds", None),
    ("Sounds\\効果音\\完了.wav", "Sounds", None),
    ("テンプレート\\住所録\\標準住所録.vqt", "Templates", None),
    ("テンプレート\\予定表\\月間予定表.vqt", "Templates", None),
    ("テンプレート\\予定表\\週間予定表.vqt", "Templates", None),
    ("テンプレート\\表計算\\集計表.vqt", "Templates", None),
    ("テンプレート\\宛名ラベル\\A4 12面.vqt", "Templates", None),
    ("テンプレート\\はがき\\年賀状\\標準.vqt", "Templates", None),
    ("テンプレート\\はがき\\暑中見舞い\\標準.vqt", "Templates", None),
    ("テンプレート\\申込書\\申込書.vqt", "Templates", None),
    ("テンプレート\\メモ\\議事録.vqt", "Templates", None),
    ("辞書\\郵便番号\\zipcode.dic", "Dictionaries", None),
    ("辞書\\人名\\names.dic", "Dictionaries", None),
    ("辞書\\地名\\places.dic", "Dictionaries", None),
    ("サンプル\\データ\\サンプル住所録.vqb", "Samples", None),
    ("サンプル\\データ\\サンプル予定表.vqs", "Samples", None),
    ("サンプル\\ソース\\VBScript\\AddContact.vbs", "Samples", None),
    ("サンプル\\ソース\\VBA\\ExportBook.bas", "Samples", None),
    ("ツール\\構成\\VqConfig.exe", "Tools", "10.0.4120.0"),
    ("ツール\\機能拡張\\VqExtMgr.exe", "Tools", "10.0.4120.0"),
)

# Folders the package creates besides the ones holding files.
EXTRA_FOLDERS = (
    INST + "AddIns\\",
    INST + "Help\\",
    INST + "Resources\\",
    INST + "Skins\\",
    INST + "Sounds\\",
    INST + "Sync\\Drivers\\",
    INST + "テンプレート\\",
    INST + "テンプレート\\はがき\\",
    INST + "辞書\\",
    INST + "サンプル\\",
    INST + "サンプル\\ソース\\",
    INST + "ツール\\",
    INST + "Setup\\",
    COMMON,
    COMMON + "Shared\\",
    COMMON + "Shared\\辞書\\",
    COMMON + "Shared\\表示\\",
    PDATA,
    PDATA + "データ\\",
    PDATA + "データ\\住所録\\",
    PDATA + "データ\\予定表\\",
    PDATA + "バックアップ\\",
    PDATA + "ログ\\",
    PDATA + "Sync\\",
    PDATA + "Sync\\キュー\\",
    PDATA + "テンプレート\\",
    MENU,
    MENU + "ツール\\",
    MENU + "マニュアル\\",
    "C:\\Windows\\Installer\\" + PRODUCT_CODE + "\\",
)

FEATURES = ("Core", "Book", "Memo", "Phone", "Schedule", "Print", "Sync", "Drivers",
            "Converters", "AddIns", "Help", "Skins", "Sounds", "Templates",
            "Dictionaries", "Samples", "Tools")


def component_code(path):
    return guid("component:" + path)


def folders():
    seen = {}
    for path, _, _ in FILES:
        parts = path.split("\\")[:-1]
        for i in range(len(parts) + 1):
            d = INST + "".join(p + "\\" for p in parts[:i])
            seen[d.lower()] = d
    for d in EXTRA_FOLDERS:
        seen[d.lower()] = d
    return sorted(seen.values(), key=str.lower)


EXES = (
    # exe, folder below INST
    ("VqAgent.exe", ""),
    ("VqBackup.exe", ""),
    ("VqBook.exe", ""),
    ("VqConv.exe", ""),
    ("VqDial.exe", ""),
    ("VqMain.exe", ""),
    ("VqMemo.exe", ""),
    ("VqPhone.exe", ""),
    ("VqPrint.exe", ""),
    ("VqSched.exe", ""),
    ("VqSync.exe", "Sync\\"),
)


def machine_classes(reg):
    mc = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes"
    sync = INST + "Sync\\"
    shell_ext = guid("clsid:VqSync.ContextMenu")
    svc = guid("clsid:VqSync.Service")
    appid = guid("appid:VqSyncSvc")
    libid = guid("libid:VqSyncSvc")
    reg.add(mc + "\\*\\shellex\\ContextMenuHandlers\\VqSync", D(shell_ext))
    reg.add(mc + "\\AppID\\" + appid, D("Velnor 同期サービス"), S("LocalService", "VqSyncSvc"))
    reg.add(mc + "\\AppID\\VqSyncSvc.exe", S("AppID", appid))
    c = mc + "\\CLSID\\" + shell_ext
    reg.add(c, D("Velnor 同期 コンテキスト メニュー"))
    reg.add(c + "\\InprocServer32", D(sync + "VqSyncSh.dll"), S("ThreadingModel", "Apartment"))
    c = mc + "\\CLSID\\" + svc
    reg.add(c, D("Velnor Sync Service"), S("AppID", appid))
    reg.add(c + "\\LocalServer32", D(q(sync + "VqSyncSvc.exe")))
    reg.add(c + "\\ProgID", D("Velnor.QRX.SyncService.1"))
    reg.add(c + "\\TypeLib", D(libid))
    reg.add(c + "\\VersionIndependentProgID", D("Velnor.QRX.SyncService"))
    reg.add(mc + "\\Folder\\shellex\\ContextMenuHandlers\\VqSync", D(shell_ext))
    for name in ("IVqSyncService", "IVqSyncItem", "_IVqSyncEvents"):
        interface(reg, mc, name, PSFACTORY_DISP if name[0] == "_" else PSFACTORY_OA, libid)
    typelib(reg, mc, libid, "Velnor Sync Service 1.0 Type Library",
            sync + "VqSyncSvc.exe", sync)
    p = mc + "\\Velnor.QRX.SyncService"
    reg.add(p, D("Velnor Sync Service"))
    reg.add(p + "\\CLSID", D(svc))
    reg.add(p + "\\CurVer", D("Velnor.QRX.SyncService.1"))
    reg.add(p + ".1", D("Velnor Sync Service"))
    reg.add(p + ".1\\CLSID", D(svc))


def app_paths(reg):
    ap = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\"
    for exe, sub in EXES:
        reg.add(ap + exe, D(INST + sub + exe), S("Path", INST + sub))


def services(reg):
    s = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\"
    sync = "%ProgramFiles%\\Velnor for QRX\\Sync\\"
    for name in ("VqPhoneMon", "VqSyncSvc"):
        reg.add(s + "EventLog\\Application\\" + name,
                X2("EventMessageFile", sync + "VqSyncMsg.dll;%SystemRoot%\\System32\\netmsg.dll"),
                W("TypesSupported", 7), W("CategoryCount", 4),
                S("CategoryMessageFile", INST + "Sync\\VqSyncMsg.dll"))
    reg.add(s + "VqPhoneMon",
            W("Type", 0x10), W("Start", 3), W("ErrorControl", 1),
            X2("ImagePath", q(sync + "VqPhoneMon.exe") + " /service"),
            S("DisplayName", "Velnor for QRX 着信モニター"),
            S("Description", "QRX 端末の着信を監視し、Velnor for QRX に通知します。"),
            S("ObjectName", "LocalSystem"),
            X7("DependOnService", ("VqSyncSvc",)))
    reg.add(s + "VqSyncSvc",
            W("Type", 0x10), W("Start", 2), W("ErrorControl", 1),
            X2("ImagePath", q(sync + "VqSyncSvc.exe") + " /service /config=" +
               q("%ProgramData%\\Halcyra\\Velnor for QRX\\Sync\\VqSyncSvc.ini")),
            S("DisplayName", "Velnor for QRX 同期サービス"),
            S("Description", "Velnor for QRX のデータをサーバーや携帯端末と同期します。"),
            S("ObjectName", "LocalSystem"), W("DelayedAutostart", 1),
            X7("DependOnService", ("RpcSs", "Tcpip")))
    reg.add(s + "VqSyncSvc\\Parameters",
            W("Interval", 900), W("RetryCount", 3), W("RetryWait", 60),
            W("LogLevel", 2), S("LogFile", PDATA + "ログ\\VqSyncSvc.log"))


def uninstall_common():
    return (S("Comments", COMMENTS),
            S("Contact", "Halcyra サポートセンター"),
            S("DisplayName", "Velnor for QRX"),
            S("DisplayVersion", VERSION),
            W("EstimatedSize", 187456),
            S("HelpLink", "https://support.halcyra.example/velnor/qrx/"),
            S("HelpTelephone", "0120-000-000"),
            S("InstallLocation", INST),
            S("InstallSource", "D:\\"),
            W("Language", LANG_JA),
            S("ModifyPath", "MsiExec.exe /I" + PRODUCT_CODE),
            W("NoModify", 1),
            S("Publisher", "Halcyra"),
            S("Readme", INST + "Help\\Readme.txt"),
            S("UninstallString", "MsiExec.exe /X" + PRODUCT_CODE),
            S("URLInfoAbout", "https://www.halcyra.example/velnor/"),
            W("Version", 0x0A00101C),
            W("VersionMajor", 10),
            W("VersionMinor", 0),
            W("WindowsInstaller", 1))


COMMENTS = "住所録・電話・予定表をひとつにまとめたデスクトップ スイートです。"


def installer(reg):
    ins = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\"
    prod = packed(PRODUCT_CODE)
    reg.add(ins + "Folders", *[S(d, "") for d in folders()])
    ud = ins + "UserData"
    reg.add(ud)
    reg.add(ud + "\\S-1-5-18")
    reg.add(ud + "\\S-1-5-18\\Components")
    for path, _, _ in FILES:
        reg.add(ud + "\\S-1-5-18\\Components\\" + packed(component_code(path)),
                S(prod, INST + path))
    p = ud + "\\S-1-5-18\\Products"
    reg.add(p)
    reg.add(p + "\\" + prod)
    reg.add(p + "\\" + prod + "\\Features",
            *[S(f, "".join(compressed(component_code(path))
                           for path, feat, _ in FILES if feat == f)) for f in FEATURES])
    reg.add(p + "\\" + prod + "\\InstallProperties",
            S("LocalPackage", "C:\\Windows\\Installer\\5c3a9e.msi"),
            *uninstall_common())
    reg.add(p + "\\" + prod + "\\Patches", S("AllPatches", ""))
    reg.add(p + "\\" + prod + "\\Usage", *[W(f, 0) for f in FEATURES])


def uninstall(reg):
    u = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
    reg.add(u + PRODUCT_CODE, S("DisplayIcon", INST + "VqMain.exe,0"), W("NoRepair", 0),
            *uninstall_common())
    reg.add(u + "Velnor for QRX Drivers",
            S("DisplayName", "Velnor for QRX USB ドライバー"),
            S("DisplayVersion", "4.0.1.2"),
            S("ParentDisplayName", "Velnor for QRX"),
            S("ParentKeyName", PRODUCT_CODE),
            S("Publisher", "Halcyra"),
            S("UninstallString", q(INST + "Sync\\Drivers\\VqDrvSetup.exe") + " /uninstall /quiet"),
            W("SystemComponent", 1), W("NoModify", 1), W("NoRepair", 1))


def modules_list():
    return ";".join(path + "=" + ver for path, _, ver in FILES if ver)


def maker(reg):
    h = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Halcyra"
    reg.add(h, X2("CommonFilesDir", "%CommonProgramFiles%\\Halcyra\\Shared"))
    reg.add(h + "\\ProductInfo", S("CurrentVersion", "1.0"))
    reg.add(h + "\\ProductInfo\\1.0",
            S("DisplayName", "Velnor for QRX"),
            S("ProductVersionMajor", "10"),
            S("ProductVersionMinor", "0"),
            S("ProductVersion", VERSION),
            S("InstallDir", INST),
            S("ProductCode", PRODUCT_CODE),
            S("UpgradeCode", UPGRADE_CODE),
            S("PackageCode", PACKAGE_CODE),
            S("Edition", "Standard"),
            W("Language", LANG_JA),
            X2("DataDir", "%ALLUSERSPROFILE%\\Halcyra\\Velnor for QRX\\データ"),
            S("Modules", modules_list()))
    v = h + "\\Velnor for QRX"
    reg.add(v)
    reg.add(v + "\\10.0", S("InstallDir", INST), S("Version", VERSION))


def build_registry():
    reg = Registry()
    classes_root(reg)
    current_user(reg)
    default_user(reg)
    machine_classes(reg)
    app_paths(reg)
    services(reg)
    installer(reg)
    uninstall(reg)
    maker(reg)
    return reg


# ---------------------------------------------------------------------------
# Writing.

HEX_WIDTH = 76


def hex_lines(prefix, data):
    lines = [prefix]
    for i, b in enumerate(data):
        tok = "%02x" % b + ("," if i + 1 < len(data) else "")
        if len(lines[-1]) + len(tok) > HEX_WIDTH and lines[-1] != "  ":
            lines[-1] += "\\"
            lines.append("  ")
        lines[-1] += tok
    return lines


def entry_lines(e):
    head = "@=" if e.kind == "default" else '"' + e.name + '"='
    if e.kind in ("default", "string"):
        return [head + '"' + e.value.replace('"', '\\"') + '"']
    if e.kind == "dword":
        return [head + "dword:%08x" % e.value]
    if e.kind == "expand":
        return hex_lines(head + "hex(2):", e.value.encode("cp932") + b"\0")
    data = b"".join(s.encode("cp932") + b"\0" for s in e.value) + b"\0"
    return hex_lines(head + "hex(7):", data)


def render(reg):
    out = []
    for n, (path, entries) in enumerate(reg.ordered()):
        if n:
            out.append("")
        out.append("[" + path + "]")
        for e in entries:
            out.extend(entry_lines(e))
    return "".join(line + "\r\n" for line in out).encode("cp932")


def stats(reg, blob):
    lines = blob.decode("cp932").split("\r\n")[:-1]
    st = {"lines": len(lines), "bytes": len(blob)}
    per = {r: dict(sections=0, empty=0, default=0, named=0, cont=0) for r in ROOTS}
    kinds = {}
    esc = tail_bs = 0
    names_buf = 1
    biggest = []
    for path, entries in reg.ordered():
        root = path.split("\\")[0]
        per[root]["sections"] += 1
        names_buf += len(path) + 1
        if not entries:
            per[root]["empty"] += 1
        size = 1
        for e in entries:
            kinds[e.kind] = kinds.get(e.kind, 0) + 1
            per[root]["default" if e.kind == "default" else "named"] += 1
            if e.kind in ("default", "string") and '"' in e.value:
                esc += 1
            if e.name is not None and e.name.endswith("\\"):
                tail_bs += 1
            ls = entry_lines(e)
            per[root]["cont"] += len(ls) - 1
            for l in ls:
                size += len(l.strip(" \t").encode("cp932")) + 1
        biggest.append((size, path))
    biggest.sort(reverse=True)
    st.update(per=per, kinds=kinds, esc=esc, tail_bs=tail_bs, names_buf=names_buf,
              biggest=biggest[:3],
              longest_line=max(len(l.encode("cp932")) for l in lines),
              longest_key=max(len(p) for p, _ in reg.ordered()))
    listed = set(reg.sections)
    unl = []
    for path, _ in reg.ordered():
        parent = path.rsplit("\\", 1)[0]
        if parent.lower() not in listed:
            unl.append((path, parent))
    st["unlisted"] = unl
    return st


def main():
    reg = build_registry()
    blob = render(reg)
    st = stats(reg, blob)
    for k, v in st.items():
        if k == "unlisted":
            print("unlisted", len(v))
            for p in sorted(set(x[1] for x in v), key=str.lower):
                print("   ", p)
        elif k == "per":
            for r in ROOTS:
                print(r, v[r])
            print("ALL", {f: sum(v[r][f] for r in ROOTS) for f in v[ROOTS[0]]})
        else:
            print(k, v)


if __name__ == "__main__":
    main()
