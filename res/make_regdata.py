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
the file through the profile API (GetPrivateProfileSectionNames and
GetPrivateProfileSection), and the sizes of the buffers those calls fill are
fixed figures: EXPECTED at the bottom of this file lists them together with
every count the removal code and tests/registry/check_regdata.py rely on, and
build() refuses to write a file that misses one.

If you add or remove something, the failing assert names the figure that
moved.  The places meant for rebalancing are the add-in command names (key
path total, longest key path), the extra folder names (size of the Folders
section), SHARED_FILES (the "Modules" line, which is the longest line) and
COMMENTS (the file size; fitted automatically within a few bytes).

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
    # extension, ProgID, description, program, icon index, content type
    (".vqb", "Halcyra.VelnorQRX.AddressBookDocument.10", "Velnor 住所録ファイル", "VqBook.exe", 1,
     "application/x-velnor-book"),
    (".vqm", "Halcyra.VelnorQRX.MemoDocument.10", "Velnor メモ ファイル", "VqMemo.exe", 1,
     "application/x-velnor-memo"),
    (".vqp", "Halcyra.VelnorQRX.PhoneLogDocument.10", "Velnor 通話履歴ファイル", "VqPhone.exe", 2,
     "application/x-velnor-phonelog"),
    (".vqs", "Halcyra.VelnorQRX.ScheduleDocument.10", "Velnor 予定表ファイル", "VqSched.exe", 1,
     "application/x-velnor-schedule"),
    (".vqt", "Halcyra.VelnorQRX.TemplateDocument.10", "Velnor テンプレート", "VqMain.exe", 5,
     "application/x-velnor-template"),
    (".vqx", "Halcyra.VelnorQRX.DataExchangeDocument.10", "Velnor 交換用データ", "VqSync.exe", 3,
     "application/x-velnor-exchange"),
)

CLSID_APP = guid("clsid:Halcyra.VelnorQRX.Application")
CLSID_PHONECTL = guid("clsid:Halcyra.VelnorQRX.PhoneControl")
CLSID_BOOKDOC = guid("clsid:Halcyra.VelnorQRX.Book")
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
    reg.add(c + "\\ProgID", D("Halcyra.VelnorQRX.Application.10"))
    reg.add(c + "\\Programmable")
    reg.add(c + "\\TypeLib", D(LIBID_MAIN))
    reg.add(c + "\\VersionIndependentProgID", D("Halcyra.VelnorQRX.Application"))
    p = cr + "\\Halcyra.VelnorQRX.Application"
    reg.add(p, D("Velnor for QRX Application"))
    reg.add(p + "\\CLSID", D(CLSID_APP))
    reg.add(p + "\\CurVer", D("Halcyra.VelnorQRX.Application.10"))
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
    reg.add(c + "\\ProgID", D("Halcyra.VelnorQRX.PhoneControl.1"))
    reg.add(c + "\\ToolboxBitmap32", D(INST + "VqPhCtl.ocx, 1"))
    reg.add(c + "\\TypeLib", D(LIBID_PHONECTL))
    reg.add(c + "\\Version", D("1.0"))
    reg.add(c + "\\VersionIndependentProgID", D("Halcyra.VelnorQRX.PhoneControl"))
    p = cr + "\\Halcyra.VelnorQRX.PhoneControl"
    reg.add(p, D("Velnor Phone Control"))
    reg.add(p + "\\CLSID", D(CLSID_PHONECTL))
    reg.add(p + "\\CurVer", D("Halcyra.VelnorQRX.PhoneControl.1"))
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
    reg.add(c + "\\ProgID", D("Halcyra.VelnorQRX.AddressBookDocument.10"))
    reg.add(c + "\\Programmable")
    reg.add(cr + "\\Halcyra.VelnorQRX.AddressBookDocument.10\\CLSID", D(CLSID_BOOKDOC))
    reg.add(cr + "\\Halcyra.VelnorQRX.AddressBookDocument.10\\Insertable")

    for name, ps, lib in HKCR_INTERFACES:
        interface(reg, cr, name, ps, lib)
    typelib(reg, cr, LIBID_MAIN, "Velnor for QRX 1.0 Type Library",
            INST + "VqMain.exe", INST + "Help")
    typelib(reg, cr, LIBID_PHONECTL, "Velnor Phone Control 1.0 Type Library",
            INST + "VqPhCtl.ocx", INST + "Help")


# ---------------------------------------------------------------------------
# Per-user settings: the installing user (HKEY_CURRENT_USER) and the default
# profile new users are created from (HKEY_USERS\.DEFAULT).

def per_user(reg, base, shared_dir, user_dir, modules, placeholders):
    h = base + "\\Software\\Halcyra"
    v = h + "\\Velnor for QRX"
    reg.add(h, S("UserName", ""), S("Organization", ""), X2("SharedDataDir", shared_dir))
    reg.add(v, S("CurrentVersion", "10.0"))
    reg.add(v + "\\10.0",
            X2("UserDataDir", user_dir),
            W("Language", LANG_JA), W("FirstRun", 1), S("Skin", "標準"),
            W("ToolbarStyle", 2), W("FontSize", 9))
    for sub in placeholders:
        reg.add(v + "\\10.0\\" + sub)
    reg.add(v + "\\10.0\\Modules", S("LastModule", "VqBook"))
    for key, entries in modules:
        reg.add(v + "\\10.0\\Modules\\" + key, *entries)


USER_DATA_DIR = ("%APPDATA%\\Halcyra\\Velnor for QRX\\10.0\\ユーザー データ;"
                 "%USERPROFILE%\\Documents\\Velnor for QRX")


def dial_command():
    return q(INST + "VqDial.exe") + ' /number="%s" /line=%d'


def current_user(reg):
    per_user(reg, "HKEY_CURRENT_USER",
             "%APPDATA%\\Halcyra\\共有データ;%ALLUSERSPROFILE%\\Halcyra\\共有データ\\"
             "Velnor for QRX",
             USER_DATA_DIR,
             (("VqAgent", (W("StartWithWindows", 1), W("ShowTrayIcon", 1), W("Balloon", 1))),
              ("VqPhone", (S("DialCommand", dial_command()), S("DialPrefix", ""),
                           W("Port", 3)))),
             ("AddIns", "Recent File List"))


def default_user(reg):
    per_user(reg, "HKEY_USERS\\.DEFAULT",
             "%APPDATA%\\Halcyra\\共有データ;%ALLUSERSPROFILE%\\Halcyra\\共有データ\\"
             "Velnor for QRX",
             USER_DATA_DIR,
             (("VqPhone", (S("DialCommand", dial_command()), S("DialPrefix", ""),
                           W("Port", 3), W("Speaker", 1), W("Volume", 2))),),
             ())


# ---------------------------------------------------------------------------
# The suite's machine-wide settings below SOFTWARE\Halcyra\Velnor for QRX\10.0.
#
# Modules: one key per program; default value = display name, DWORD policies.
# AddIns: one key per add-in ProgID (default value = menu name).  An add-in's
# menu commands are keys named <ProgID>.<Command> under its Commands key, each
# holding the command line the add-in host runs; "%1" is the current document,
# "%SELECTION%" a temporary file listing the selected records.

MODULES = (
    # key, display name, DWORD policies
    ("VqAgent", "Velnor エージェント", (("AutoStart", 1), ("PollInterval", 300))),
    ("VqMain", "Velnor for QRX", (("ShowSplash", 1), ("SingleInstance", 1))),
    ("VqSync", "Velnor 同期", (("ConflictPolicy", 2), ("SyncOnConnect", 1))),
)

ADDINS = (
    # ProgID, menu name, program below INST, commands
    ("Halcyra.VelnorQRX.AddressLabelPrinting.Connect", "宛名ラベル印刷(&L)",
     "VqLabel.exe",
     ("PrintSelectedLabels", "PrintAllLabels", "PreviewLabels", "EditLabelLayout",
      "ChooseLabelSheet", "PrintReturnAddresses", "PrintBarcodes", "PrintEnvelopes",
      "CalibratePrinter")),
    ("Halcyra.VelnorQRX.BackupAndRestoreWizard.Connect", "バックアップ(&B)",
     "VqBackup.exe",
     ("BackupEverything", "BackupSelection", "RestoreBackup", "VerifyBackup",
      "ScheduleBackups", "DeleteOldBackups", "ImportBackupSet", "RepairDatabase",
      "CompactDatabase")),
    ("Halcyra.VelnorQRX.BusinessCardScanner.Connect", "名刺の読み取り(&S)",
     "VqCardScan.exe",
     ("ScanBusinessCard", "ScanBusinessCardBatch", "ImportCardImages", "ReviewScannedCards",
      "CorrectNameReadings", "LinkCardToContact", "ChooseCardScanner", "ScannerSettings")),
    ("Halcyra.VelnorQRX.CallHistoryReporting.Connect", "通話履歴レポート(&H)",
     "VqCallRpt.exe",
     ("DailyCallReport", "MonthlyCallReport", "ReportByContact", "ReportByPhoneLine",
      "MissedCallReport", "ExportCallReport", "PrintCallReport", "ChartCallsByHour",
      "CallReportSettings")),
    ("Halcyra.VelnorQRX.DuplicateContactFinder.Connect", "重複データの整理(&U)",
     "VqDedupe.exe",
     ("FindDuplicates", "MergeSelected", "MergeAllExact", "IgnoreSelected",
      "ShowIgnoredList", "UndoLastMerge", "MatchSettings", "ExportResults")),
    ("Halcyra.VelnorQRX.FileFormatConverters.Connect", "形式変換(&C)",
     "VqConv.exe",
     ("ImportCommaSeparated", "ExportCommaSeparated", "ImportVCardFile", "ExportVCardFile",
      "ImportLdifFile", "ImportVelnor9Data", "ImportQrxPhoneBook", "ExportQrxPhoneBook",
      "ImportICalendarFile")),
    ("Halcyra.VelnorQRX.GreetingCardDesigner.Connect", "はがき作成(&G)",
     "VqCard.exe",
     ("CreateGreetingCard", "OpenSavedCardDesign", "ChooseCardDesign", "EditCardMessage",
      "PrintAddressSide", "PrintDesignSide", "TrackSentCards", "MarkMourningYear",
      "ImportCardDesigns")),
    ("Halcyra.VelnorQRX.HandsetSynchronizer.Connect", "QRX 端末(&Q)",
     "Sync\\VqDevTool.exe",
     ("ReadHandsetPhoneBook", "WriteHandsetPhoneBook", "ReadCallHistory", "ReadTextMessages",
      "WriteTextMessages", "ReadHandsetSchedule", "BackupHandsetMemory", "RestoreHandsetMemory",
      "UpdateHandsetFirmware")),
    ("Halcyra.VelnorQRX.RokuyoHolidayCalendar.Connect", "祝日と六曜(&D)",
     "VqHoliday.exe",
     ("ShowPublicHolidays", "ShowRokuyoMarks", "ImportHolidays", "UpdateHolidays",
      "CompanyHolidays", "RegionalEvents", "PrintYearCalendar", "HolidaySettings")),
    ("Halcyra.VelnorQRX.MailMergeAssistant.Connect", "差し込み印刷(&M)",
     "VqMerge.exe",
     ("NewMergeDocument", "OpenMergeDocument", "InsertMergeField", "PreviewMergedPages",
      "MergeAllToPrinter", "MergeAllToNewDocument", "SelectMergeRecipients", "CheckForMergeErrors")),
    ("Halcyra.VelnorQRX.PostalCodeDictionary.Connect", "郵便番号検索(&P)",
     "VqPostal.exe",
     ("AddressFromZipCode", "ZipCodeFromAddress", "CorrectSelected", "CorrectAllAddresses",
      "UpdateDictionary", "ConvertOldAddresses", "ReportUnmatched", "NormalizeBanchi",
      "FillAddressReading")),
    ("Halcyra.VelnorQRX.ScheduleReminderAlerts.Connect", "予定の通知(&R)",
     "VqRemind.exe",
     ("ShowTodayAlerts", "SnoozeReminder", "DismissAll", "ReminderSounds",
      "ReminderByEmail", "AlertHandset", "ReminderSettings", "TestReminder",
      "ReminderHistory")),
)


# ---------------------------------------------------------------------------
# Installed files, grouped by the installer component that installs them.  The
# first file of a component is its key file, which is what the component's registration
# under UserData\S-1-5-18\Components records.  The file versions (None for
# unversioned files) make up the "Modules" manifest in ProductInfo\1.0.

V = "10.0.4120.0"
COMPONENTS = (
    ("Main", (("VqMain.exe", V), ("VqCore.dll", V), ("VqUI.dll", V), ("VqData.dll", V),
              ("VqAgent.exe", V), ("VqBackup.exe", V))),
    ("Resources", (("Resources\\ja-JP\\VqCoreRes.dll", V), ("Resources\\ja-JP\\VqUIRes.dll", V),
                   ("Resources\\ja-JP\\VqBookRes.dll", V), ("Resources\\ja-JP\\VqMemoRes.dll", V),
                   ("Resources\\ja-JP\\VqPhoneRes.dll", V), ("Resources\\ja-JP\\VqSchedRes.dll", V))),
    ("Conv", (("VqConv.exe", V), ("VqCnvCsv.dll", V), ("VqCnvVcf.dll", V), ("VqCnvLdif.dll", V),
              ("VqCnvV9.dll", V), ("VqCnvQrx.dll", V), ("VqCnvIcs.dll", V))),
    ("Book", (("VqBook.exe", V), ("VqBookLib.dll", V))),
    ("Memo", (("VqMemo.exe", V),)),
    ("Phone", (("VqPhone.exe", V), ("VqDial.exe", V), ("VqModem.dll", V))),
    ("PhoneCtl", (("VqPhCtl.ocx", "1.0.4120.0"),)),
    ("Sched", (("VqSched.exe", V), ("VqSchedLib.dll", V))),
    ("Print", (("VqPrint.exe", V), ("VqPrnLib.dll", V))),
    ("Sync", (("Sync\\VqSync.exe", V), ("Sync\\VqSyncMsg.dll", V), ("Sync\\VqDevTool.exe", V),
              ("Sync\\VqSyncSh.dll", V))),
    ("SyncSvc", (("Sync\\VqSyncSvc.exe", V), ("Sync\\VqPhoneMon.exe", V))),
    ("Drivers", (("Sync\\Drivers\\VqDrvSetup.exe", "4.0.1.2"),
                 ("Sync\\Drivers\\QRX-10\\qrx10usb.inf", None),
                 ("Sync\\Drivers\\QRX-10\\qrx10usb.sys", "3.2.0.8"),
                 ("Sync\\Drivers\\QRX-20\\qrx20usb.inf", None),
                 ("Sync\\Drivers\\QRX-20\\qrx20usb.sys", "3.2.0.8"),
                 ("Sync\\Drivers\\QRX-30\\qrx30usb.inf", None),
                 ("Sync\\Drivers\\QRX-30\\qrx30usb.sys", "4.0.1.2"))),
    ("Help", (("Help\\ja-JP\\VqMain.chm", None), ("Help\\ja-JP\\VqBook.chm", None),
              ("Help\\ja-JP\\VqPhone.chm", None), ("Help\\ja-JP\\VqSched.chm", None),
              ("Help\\Readme.txt", None))),
    ("Skins", (("Skins\\標準\\skin.ini", None), ("Skins\\和風\\skin.ini", None),
               ("Skins\\十二色\\skin.ini", None))),
    ("Sounds", (("Sounds\\着信音\\着信1.wav", None), ("Sounds\\着信音\\着信2.wav", None),
                ("Sounds\\効果音\\完了.wav", None))),
    ("Templates", (("テンプレート\\住所録\\標準住所録.vqt", None),
                   ("テンプレート\\予定表\\月間予定表.vqt", None),
                   ("テンプレート\\予定表\\週間予定表.vqt", None),
                   ("テンプレート\\表計算\\集計表.vqt", None),
                   ("テンプレート\\宛名ラベル\\A4 12面.vqt", None),
                   ("テンプレート\\はがき\\年賀状\\標準.vqt", None),
                   ("テンプレート\\はがき\\暑中見舞い\\標準.vqt", None),
                   ("テンプレート\\申込書\\申込書.vqt", None),
                   ("テンプレート\\メモ\\議事録.vqt", None))),
    ("Dictionaries", (("辞書\\郵便番号\\zipcode.dic", None), ("辞書\\names.dic", None),
                      ("辞書\\places.dic", None))),
    ("Samples", (("サンプル\\データ\\サンプル住所録.vqb", None),
                 ("サンプル\\データ\\サンプル予定表.vqs", None),
                 ("サンプル\\ソース\\VBScript\\AddContact.vbs", None),
                 ("サンプル\\ソース\\VBA\\ExportBook.bas", None))),
    ("Tools", (("ツール\\構成\\VqConfig.exe", V), ("ツール\\機能拡張\\VqExtMgr.exe", V))),
)


def addin_dir(progid):
    return "AddIns\\" + progid[:-len(".Connect")] + "\\"


# Every add-in has a folder named after it with the add-in DLL (the .Connect
# class) and its Japanese resources.  The programs the add-in commands run
# live in the program folder; those not already part of another component
# belong to the AddIns component too.
COMPONENTS += (
    ("AddIns", tuple(f for progid, _, _, _ in ADDINS
                     for f in ((addin_dir(progid) + progid.split(".")[2] + ".dll", V),
                               (addin_dir(progid) + "ja-JP\\" + progid.split(".")[2] + "Res.dll",
                                V)))
     + tuple((exe, V) for exe in sorted(set(a[2] for a in ADDINS))
             if exe not in ("VqBackup.exe", "VqConv.exe", "Sync\\VqDevTool.exe"))),
)
FILES = tuple(f for _, files in COMPONENTS for f in files)

# Folders the package creates besides the ones holding files: the shared
# files, the machine-wide data folders (one per add-in that keeps data), the
# Start menu folders and the installer's cache of the product's icons.
DATA_ADDINS = ("AddressLabelPrinting", "BackupAndRestoreWizard", "BusinessCardScanner",
               "CallHistoryReporting", "DuplicateContactFinder", "GreetingCardDesigner",
               "MailMergeAssistant", "PostalCodeDictionary", "RokuyoHolidayCalendar",
               "ScheduleReminderAlerts")
EXTRA_FOLDERS = (
    COMMON,
    COMMON + "Shared\\",
    COMMON + "Shared\\かな漢字変換辞書\\",
    COMMON + "Shared\\表示用フォント\\",
    COMMON + "Shared\\ソフトウェア キーボード\\",
    PDATA,
    PDATA + "AddIns\\",
) + tuple(PDATA + "AddIns\\Halcyra.VelnorQRX." + a + "\\" for a in DATA_ADDINS) + (
    PDATA + "Sync\\",
    PDATA + "Sync\\キュー\\",
    PDATA + "データ\\",
    PDATA + "データ\\予定表\\",
    PDATA + "データ\\住所録\\",
    PDATA + "データ\\通話履歴\\",
    PDATA + "テンプレート\\",
    PDATA + "バックアップ\\",
    PDATA + "ログ ファイル\\",
    MENU,
    MENU + "アドイン\\",
    MENU + "ツール\\",
    MENU + "マニュアル\\",
    MENU + "同期と端末\\",
    "C:\\Windows\\Installer\\" + PRODUCT_CODE + "\\",
)

# Feature names, as the package's Usage counters are keyed.
FEATURES = ("Core", "Book", "Memo", "Phone", "Schedule", "Print", "Sync", "Drivers",
            "Converters", "AddIns", "Help", "Skins", "Sounds", "Templates",
            "Dictionaries", "Samples", "Tools")


def component_code(name):
    return guid("component:" + name)


def folders():
    seen = {}
    for path, _ in FILES:
        parts = path.split("\\")[:-1]
        for i in range(len(parts) + 1):
            d = INST + "".join(p + "\\" for p in parts[:i])
            seen[d.lower()] = d
    for d in EXTRA_FOLDERS:
        seen[d.lower()] = d
    return sorted(seen.values(), key=str.lower)


# ---------------------------------------------------------------------------
# HKEY_LOCAL_MACHINE: shell integration and sync service classes, App Paths,
# services, the installer's records, the uninstall entries, the maker's keys.

EXES = ("VqAgent.exe", "VqBackup.exe", "VqBook.exe", "VqConv.exe", "VqDial.exe",
        "VqMain.exe", "VqMemo.exe", "VqPhone.exe", "VqPrint.exe", "VqSched.exe",
        "Sync\\VqSync.exe")


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
    reg.add(c + "\\ProgID", D("Halcyra.VelnorQRX.SyncService.1"))
    reg.add(c + "\\TypeLib", D(libid))
    reg.add(c + "\\VersionIndependentProgID", D("Halcyra.VelnorQRX.SyncService"))
    reg.add(mc + "\\Folder\\shellex\\ContextMenuHandlers\\VqSync", D(shell_ext))
    for name in ("IVqSyncService", "IVqSyncItem", "_IVqSyncEvents"):
        interface(reg, mc, name, PSFACTORY_DISP if name[0] == "_" else PSFACTORY_OA, libid)
    typelib(reg, mc, libid, "Velnor Sync Service 1.0 Type Library",
            sync + "VqSyncSvc.exe", sync)
    p = mc + "\\Halcyra.VelnorQRX.SyncService"
    reg.add(p, D("Velnor Sync Service"))
    reg.add(p + "\\CLSID", D(svc))
    reg.add(p + "\\CurVer", D("Halcyra.VelnorQRX.SyncService.1"))
    reg.add(p + ".1", D("Velnor Sync Service"))
    reg.add(p + ".1\\CLSID", D(svc))


def app_paths(reg):
    ap = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\"
    for exe in EXES:
        reg.add(ap + exe.split("\\")[-1], D(INST + exe))


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
            X2("ImagePath", q(sync + "VqPhoneMon.exe") + " /service /ports=COM3-COM9 /notify=VqSyncSvc"),
            S("DisplayName", "Velnor for QRX 着信モニター"),
            S("Description", "QRX 端末を接続したモデム ポートを監視し、着信があると発信者を"
                             "住所録から検索して Velnor for QRX に通知します。"),
            S("ObjectName", "LocalSystem"),
            X7("DependOnService", ("VqSyncSvc",)))
    reg.add(s + "VqSyncSvc",
            W("Type", 0x10), W("Start", 2), W("ErrorControl", 1),
            X2("ImagePath", q(sync + "VqSyncSvc.exe") + " /service /config=" +
               q("%ProgramData%\\Halcyra\\Velnor for QRX\\Sync\\VqSyncSvc.ini")),
            S("DisplayName", "Velnor for QRX 同期サービス"),
            S("Description", "Velnor for QRX の住所録・予定表・通話履歴を QRX シリーズの携帯端末や"
                             "共有フォルダーのデータと同期します。このサービスを停止すると、"
                             "自動同期は行われません。"),
            S("ObjectName", "LocalSystem"), W("DelayedAutostart", 1),
            X7("DependOnService", ("RpcSs", "Tcpip")))
    reg.add(s + "VqSyncSvc\\Parameters",
            W("Interval", 900), W("RetryCount", 3), W("RetryWait", 60),
            W("LogLevel", 2), S("LogFile", PDATA + "ログ ファイル\\VqSyncSvc.log"))


def product_values():
    """Values the installer writes both to InstallProperties and to the
    uninstall entry."""
    return (S("DisplayName", "Velnor for QRX"),
            S("DisplayVersion", VERSION),
            S("Publisher", "Halcyra"),
            S("InstallLocation", INST),
            S("InstallSource", "D:\\"),
            S("UninstallString", "MsiExec.exe /X" + PRODUCT_CODE),
            S("ModifyPath", "MsiExec.exe /I" + PRODUCT_CODE),
            W("EstimatedSize", 187456),
            W("Language", LANG_JA),
            W("NoModify", 1),
            W("Version", 0x0A001018),               # 10.0.4120
            W("VersionMajor", 10),
            W("VersionMinor", 0),
            W("WindowsInstaller", 1))


def installer(reg):
    ins = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\"
    prod = packed(PRODUCT_CODE)
    reg.add(ins + "Folders", *[S(d, "") for d in folders()])
    ud = ins + "UserData"
    reg.add(ud)
    reg.add(ud + "\\S-1-5-18")
    reg.add(ud + "\\S-1-5-18\\Components")
    for name, files in COMPONENTS:
        reg.add(ud + "\\S-1-5-18\\Components\\" + packed(component_code(name)),
                S(prod, INST + files[0][0]))
    p = ud + "\\S-1-5-18\\Products\\" + prod
    reg.add(ud + "\\S-1-5-18\\Products")
    reg.add(p)
    reg.add(p + "\\InstallProperties",
            S("LocalPackage", "C:\\Windows\\Installer\\5c3a9e.msi"), *product_values())
    reg.add(p + "\\Patches", S("AllPatches", ""))
    reg.add(p + "\\Usage", *[W(f, 0) for f in FEATURES])


def uninstall(reg, comments):
    u = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
    reg.add(u + PRODUCT_CODE, *(product_values() + (
        S("DisplayIcon", INST + "VqMain.exe,0"),
        S("Comments", comments),
        S("HelpLink", "https://support.halcyra.example/velnor/qrx/"),
        S("URLInfoAbout", "https://www.halcyra.example/velnor/"),
        W("NoRepair", 0))))
    reg.add(u + "Velnor for QRX Drivers",
            S("DisplayName", "Velnor for QRX USB ドライバー"),
            S("DisplayVersion", "4.0.1.2"),
            S("ParentDisplayName", "Velnor for QRX"),
            S("ParentKeyName", PRODUCT_CODE),
            S("Publisher", "Halcyra"),
            S("UninstallString", q(INST + "Sync\\Drivers\\VqDrvSetup.exe") + " /uninstall /quiet"),
            W("SystemComponent", 1), W("NoModify", 1), W("NoRepair", 1))


# Shared runtime files the package installs below Common Files.
SHARED = "%CommonProgramFiles%\\Halcyra\\Shared\\"
SHARED_FILES = (
    (SHARED + "HcyRt.dll", "10.0.4120.0"),
    (SHARED + "HcyLz.dll", "2.4.0.3"),
    (SHARED + "かな漢字変換辞書\\HcyIme.dll", "5.1.0.7"),
)


def manifest():
    """ProductInfo\\1.0 "Modules": every versioned binary with its version
    (the add-ins' resource DLLs are versioned with their add-in and left out)."""
    files = [(p, v) for p, v in FILES
             if v and not (p.startswith("AddIns\\") and "\\ja-JP\\" in p)]
    return ";".join(p + "=" + v for p, v in files + list(SHARED_FILES))


def maker(reg):
    h = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Halcyra"
    reg.add(h, X2("SharedPath", SHARED + ";" + SHARED + "かな漢字変換辞書\\"))
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
            S("Modules", manifest()))
    reg.add(h + "\\Velnor for QRX")
    reg.add(h + "\\Velnor for QRX\\10.0", S("InstallDir", INST), S("Version", VERSION))


def command_line(exe, cmd):
    line = q(INST + exe) + " /cmd=" + cmd
    if cmd.startswith(("Open", "Import")):
        return line + ' "%1"'
    return line + ' /items="%SELECTION%"'


def suite(reg):
    v = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Halcyra\\Velnor for QRX\\10.0"
    reg.add(v + "\\AddIns", D("アドイン"))
    for progid, menu, exe, commands in ADDINS:
        a = v + "\\AddIns\\" + progid
        reg.add(a, D(menu), W("LoadBehavior", 3), W("CommandLineSafe", 1),
                W("MenuPosition", 100 + 10 * ADDINS.index((progid, menu, exe, commands))))
        reg.add(a + "\\Commands", D(menu))
        for cmd in commands:
            reg.add(a + "\\Commands\\" + progid + "." + cmd,
                    S("CommandLine", command_line(exe, cmd)))
    reg.add(v + "\\Modules", S("LoadOrder", ";".join(m[0] for m in MODULES)))
    for key, name, policies in MODULES:
        reg.add(v + "\\Modules\\" + key, D(name), *[W(n, x) for n, x in policies])


# ---------------------------------------------------------------------------

# Uninstall "Comments".  This is the slack that keeps the file at its exact
# size: fit_comments() widens as many of the blanks next to Japanese text to
# full-width (U+3000, two bytes in CP932) as the size needs, so the text must
# be at most that many bytes short of its fitted size (7 as written).
COMMENTS = ("住所録・電話・予定表をひとつにまとめた Halcyra のデスクトップ スイートです。"
            "QRX シリーズの携帯端末と住所録や予定表、通話履歴を同期できるほか、宛名ラベルやはがきの印刷、"
            "郵便番号辞書による住所の補正、差し込み印刷、名刺の読み取り、重複データの整理など 12 種類の"
            "アドインを備えています。データはネットワーク上の共有フォルダーに置いて複数のパソコンから利用でき、"
            "定期的なバックアップと復元にも対応しています。"
            "電話機能はモデム経由の発信と、着信時の発信者表示に対応しています。"
            "和暦・六曜・祝日の表示や年賀状の喪中管理など、日本の住所録と予定の管理に必要な機能を"
            "ひととおり備え、Velnor 9.x のデータもそのまま読み込めます。")


def fit_comments(size):
    text = COMMENTS
    extra = size - len(text.encode("cp932"))

    def ascii_neighbours(i):
        return (text[i - 1] < "\x80") + (text[i + 1] < "\x80")

    # Only blanks next to Japanese text are widened, those between two
    # Japanese words first ("Velnor 9.x" keeps its blank).
    blanks = sorted((ascii_neighbours(i), i) for i, ch in enumerate(text)
                    if ch == " " and ascii_neighbours(i) < 2)
    assert 0 <= extra <= len(blanks), \
        "Comments needs %d more bytes; adjust COMMENTS" % extra
    for _, i in blanks[:extra]:
        text = text[:i] + "\u3000" + text[i + 1:]
    return text


def build_registry(comments=COMMENTS):
    reg = Registry()
    classes_root(reg)
    current_user(reg)
    default_user(reg)
    machine_classes(reg)
    app_paths(reg)
    services(reg)
    installer(reg)
    uninstall(reg, comments)
    maker(reg)
    suite(reg)
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


# ---------------------------------------------------------------------------
# Figures.  The removal code sizes its profile buffers from these and the
# tests check them; build() refuses to produce a file that misses any.

EXPECTED = {
    "lines": 1305,
    "bytes": 78824,
    "separator lines": 342,
    "sections": 343,
    "sections without entry lines": 24,
    "default-value lines": 166,
    "named-value lines": 420,
    "continuation lines": 34,
    "HKEY_CLASSES_ROOT sections": 114,
    "HKEY_CLASSES_ROOT sections without entry lines": 14,
    "HKEY_CLASSES_ROOT default-value lines": 99,
    "HKEY_CLASSES_ROOT named-value lines": 12,
    "HKEY_CLASSES_ROOT continuation lines": 0,
    "HKEY_CURRENT_USER sections": 8,
    "HKEY_CURRENT_USER sections without entry lines": 2,
    "HKEY_CURRENT_USER default-value lines": 0,
    "HKEY_CURRENT_USER named-value lines": 17,
    "HKEY_CURRENT_USER continuation lines": 7,
    "HKEY_LOCAL_MACHINE sections": 216,
    "HKEY_LOCAL_MACHINE sections without entry lines": 8,
    "HKEY_LOCAL_MACHINE default-value lines": 67,
    "HKEY_LOCAL_MACHINE named-value lines": 375,
    "HKEY_LOCAL_MACHINE continuation lines": 20,
    "HKEY_USERS sections": 5,
    "HKEY_USERS sections without entry lines": 0,
    "HKEY_USERS default-value lines": 0,
    "HKEY_USERS named-value lines": 16,
    "HKEY_USERS continuation lines": 7,
    "string values": 466,
    "DWORD values": 108,
    "hex(2) values": 10,
    "hex(2) values spread over continuation lines": 10,
    "hex(7) values": 2,
    "hex(7) values on one line": 2,
    "lines with an escaped quote in string data": 122,
    "names ending in a backslash": 94,
    "sections whose parent is not listed": 59,
    "section names buffer": 38773,
    "largest section buffer": 6376,
    "longest line (bytes, without CR LF)": 2672,
    "longest key path": 186,
    "entry calls": 644,
}


def figures(reg, blob):
    """Measures the rendered file (and the model it came from)."""
    text = blob.decode("cp932")
    lines = text.split("\r\n")
    assert lines[-1] == "", "last line must end in CR LF"
    lines = lines[:-1]
    sections = reg.ordered()
    f = dict.fromkeys(EXPECTED, 0)
    f["lines"] = len(lines)
    f["bytes"] = len(blob)
    f["separator lines"] = sum(1 for l in lines if l == "")
    f["longest line (bytes, without CR LF)"] = max(len(l.encode("cp932")) for l in lines)
    f["section names buffer"] = 1 + sum(len(p) + 1 for p, _ in sections)
    f["longest key path"] = max(len(p) for p, _ in sections)
    buffers = []
    for path, entries in sections:
        root = path.split("\\")[0]
        f["sections"] += 1
        f[root + " sections"] += 1
        if not entries:
            f["sections without entry lines"] += 1
            f[root + " sections without entry lines"] += 1
            f["entry calls"] += 1
        trimmed = untrimmed = 1
        has_cont = False
        for e in entries:
            kind = "default-value lines" if e.kind == "default" else "named-value lines"
            f[kind] += 1
            f[root + " " + kind] += 1
            ls = entry_lines(e)
            f["continuation lines"] += len(ls) - 1
            f[root + " continuation lines"] += len(ls) - 1
            f["entry calls"] += len(ls)
            has_cont = has_cont or len(ls) > 1
            for l in ls:
                trimmed += len(l.strip(" \t").encode("cp932")) + 1
                untrimmed += len(l.encode("cp932")) + 1
            if e.kind in ("default", "string"):
                f["string values"] += 1
                if '"' in e.value:
                    f["lines with an escaped quote in string data"] += 1
            elif e.kind == "dword":
                f["DWORD values"] += 1
            elif e.kind == "expand":
                f["hex(2) values"] += 1
                f["hex(2) values spread over continuation lines"] += len(ls) > 1
            else:
                f["hex(7) values"] += 1
                f["hex(7) values on one line"] += len(ls) == 1
            if e.name is not None and e.name.endswith("\\"):
                f["names ending in a backslash"] += 1
        buffers.append((trimmed, untrimmed, has_cont, path))
    buffers.sort(reverse=True)
    f["largest section buffer"] = buffers[0][0]
    # The largest section must not depend on how a reader trims lines, and
    # no other section may overtake it even if nothing were trimmed.
    assert not buffers[0][2] and buffers[0][0] == buffers[0][1], buffers[0][3]
    assert all(b[1] < buffers[0][0] for b in buffers[1:]), buffers[1][3]
    f["sections whose parent is not listed"] = len(unlisted_parents(reg))
    return f


def unlisted_parents(reg):
    """(section, parent) for every section whose parent has no section; for a
    key directly below a root the parent is the root."""
    out = []
    for path, _ in reg.ordered():
        parent = path.rsplit("\\", 1)[0]
        if parent.lower() not in reg.sections:
            out.append((path, parent))
    return out


def check_model(reg):
    known = {k.lower() for k in KNOWN_PARENTS}
    parents = {parent.lower() for _, parent in unlisted_parents(reg)}
    assert parents == known, ("unlisted parents differ from KNOWN_PARENTS",
                              sorted(parents ^ known))
    for path, entries in reg.ordered():
        parts = path.split("\\")
        assert parts[0] in ROOTS, path
        assert 1 <= len(parts) - 1 <= 10, path
        assert all(parts) and all(p == p.strip() for p in parts), path
        assert all(" " <= ch <= "~" and ch not in "[]" for ch in path), path
        names = set()
        for n, e in enumerate(entries):
            assert e.kind != "default" or n == 0, (path, "default value not first")
            if e.name is not None:
                assert e.name and '"' not in e.name and "=" not in e.name, (path, e.name)
                assert e.name.lower() not in names, (path, e.name)
                names.add(e.name.lower())
            for s in ([e.name] if e.name else []) + (
                    e.value if e.kind == "multi" else
                    [e.value] if isinstance(e.value, str) else []):
                assert all(ch >= " " for ch in s), (path, s)
                assert s.encode("cp932").decode("cp932") == s, (path, s)
            if e.kind == "dword":
                assert 0 <= e.value <= 0xFFFFFFFF
    # Within a section the profile reader sees lines, not values: no two
    # lines may collide (case-insensitively) on the text before "=".
    for path, entries in reg.ordered():
        seen = set()
        for e in entries:
            for l in entry_lines(e):
                key = l.strip(" \t").split("=", 1)[0].lower()
                assert key not in seen, (path, l)
                seen.add(key)


def build():
    # First pass with the plain comment, then size the comment to the byte
    # count the file must have.
    blob = render(build_registry(COMMENTS))
    size = len(COMMENTS.encode("cp932")) + EXPECTED["bytes"] - len(blob)
    reg = build_registry(fit_comments(size))
    check_model(reg)
    blob = render(reg)
    assert blob.decode("cp932").encode("cp932") == blob
    got = figures(reg, blob)
    wrong = ["%s: %d, expected %d" % (k, got[k], v) for k, v in EXPECTED.items()
             if got[k] != v]
    assert not wrong, "\n".join(wrong)
    return blob


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--check", action="store_true",
                    help="rebuild in memory and compare with the committed file")
    args = ap.parse_args()
    try:
        blob = build()
    except AssertionError as exc:
        print("make_regdata: %s" % (exc,), file=sys.stderr)
        return 2
    if args.check:
        try:
            with open(OUT, "rb") as fh:
                old = fh.read()
        except OSError as exc:
            print("make_regdata: cannot read %s: %s" % (OUT, exc), file=sys.stderr)
            return 1
        if old != blob:
            print("make_regdata: %s is out of date; run python3 res/make_regdata.py"
                  % os.path.relpath(OUT), file=sys.stderr)
            return 1
        print("make_regdata: %s is up to date (%d bytes)" % (os.path.relpath(OUT), len(blob)))
        return 0
    with open(OUT, "wb") as fh:
        fh.write(blob)
    print("make_regdata: wrote %s (%d bytes)" % (os.path.relpath(OUT), len(blob)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
