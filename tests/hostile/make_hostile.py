#!/usr/bin/env python3
"""Writes hostile backup archives for the restore end-to-end tests (standard library only).

Usage: make_hostile.py <folder>

Each archive stands for one way an archive from anywhere may try to hurt the user: cut short,
corrupt, writing registry keys outside the client's own, planting programs, naming paths or
devices, or being far larger inside than outside. The end-to-end test restores each over a
seeded profile and checks that nothing is lost. The names and contents here are the test's
contract (tests/e2e/hostile_archives_e2e_test.cpp).
"""
import getpass
import os
import struct
import sys
import zipfile
import zlib

MAGIC = "Kestrove Client Backup File"
COMMENT = (MAGIC + "\nhostile\n2005-03-07T09:05:03Z\n").encode("ascii")
STARTUP = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp"
PICTURES = "C:\\kbt-hostile\\pictures"
USER_STARTUP = ("C:\\users\\%s\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup"
                % getpass.getuser())
SYSTEM = "C:\\windows\\system32"

# What the archives bring for the data files; the seeded profile holds other bytes.
NEW_HISTORY = b"history from the archive\r\n" * 40
NEW_CUSTOM = b"custom commands from the archive\r\n" * 40


def reg_string(text):
    return (text + "\0").encode("utf-16-le")


def settings_file(sections):
    """A settings file as the tool writes it: UTF-16LE with a byte-order mark, typed hex lines."""
    lines = ["Windows Registry Editor Version 5.00", "; Attention: Please do not modify this file!"]
    for section, values in sections:
        lines += ["", "[" + section + "]"]
        for name, kind, data in values:
            label = "@" if name == "" else '"' + name.replace('"', '\\"') + '"'
            lines.append("%s=hex(%d):%s" % (label, kind, ",".join("%02x" % b for b in data)))
    return b"\xff\xfe" + ("\r\n".join(lines) + "\r\n").encode("utf-16-le")


def client(key=""):
    return "HKEY_CURRENT_USER\\Software\\Kestrove" + ("\\" + key if key else "")


def write_zip(path, entries, comment=COMMENT, method=zipfile.ZIP_DEFLATED):
    with zipfile.ZipFile(path, "w", method) as archive:
        for name, data in entries:
            info = zipfile.ZipInfo(name, date_time=(2005, 3, 7, 9, 5, 2))
            info.compress_type = method
            archive.writestr(info, data)
        archive.comment = comment


def patch_crc(path, entry_name):
    """Gives one entry a wrong CRC in both its local and its central header."""
    data = bytearray(open(path, "rb").read())
    name = entry_name.encode("cp437")
    for signature, crc_at, name_length_at, name_at in ((b"PK\x03\x04", 14, 26, 30), (b"PK\x01\x02", 16, 28, 46)):
        at = data.find(signature)
        while at >= 0:
            length = struct.unpack_from("<H", data, at + name_length_at)[0]
            if bytes(data[at + name_at:at + name_at + length]) == name:
                crc = struct.unpack_from("<I", data, at + crc_at)[0]
                struct.pack_into("<I", data, at + crc_at, crc ^ 0x5A5A5A5A)
            at = data.find(signature, at + 4)
    open(path, "wb").write(bytes(data))


def lying_sizes(path, entry_name, declared):
    """Declares a far smaller uncompressed size than the entry's data inflates to."""
    data = bytearray(open(path, "rb").read())
    name = entry_name.encode("cp437")
    for signature, size_at, name_length_at, name_at in ((b"PK\x03\x04", 22, 26, 30), (b"PK\x01\x02", 24, 28, 46)):
        at = data.find(signature)
        while at >= 0:
            length = struct.unpack_from("<H", data, at + name_length_at)[0]
            if bytes(data[at + name_at:at + name_at + length]) == name:
                struct.pack_into("<I", data, at + size_at, declared)
            at = data.find(signature, at + 4)
    open(path, "wb").write(bytes(data))


def damaged_directories(out, settings):
    """Good entries behind a damaged central directory, the identifying comment intact: a restore
    that trusted the walk restored nothing, or only the entries before the damage, as a success."""
    entries = [("settings.reg", settings), ("history.dat", NEW_HISTORY), ("custom.dat", NEW_CUSTOM),
               ("folders.dat", b"folders from the archive")]
    for name in ("garbage-directory.zip", "damaged-header.zip"):
        write_zip(out(name), entries)
        data = bytearray(open(out(name), "rb").read())
        end = data.rfind(b"PK\x05\x06")
        size, offset = struct.unpack_from("<II", data, end + 12)
        if name == "garbage-directory.zip":
            data[offset:offset + size] = bytes((i * 37 + 11) & 0xFF for i in range(size))
        else:
            third = offset
            for _ in range(2):
                third = data.find(b"PK\x01\x02", third + 4)
            data[third + 3] = 0  # no longer a central header's signature
        open(out(name), "wb").write(bytes(data))


def non_ansi_names(out):
    """Names that no one ANSI code page holds; zipfile stores them in UTF-8 with the flag set."""
    pictures = PICTURES + "\\"
    write_zip(out("non-ansi-bitmaps.zip"), [
        ("settings.reg", settings_file([
            (client("Display"), [("Listview Bitmap", 1, reg_string(pictures + "\u4f4d\u56fe.bmp")),
                                 ("Toolbar Bitmap", 1, reg_string(pictures + "\u56fe\u6807.bmp"))]),
        ])),
        ("\u4f4d\u56fe.bmp", b"BM listview bitmap"),
        ("\u56fe\u6807.bmp", b"BM toolbar bitmap"),
    ])
    write_zip(out("non-ansi-queue.zip"), [
        ("settings.reg", settings_file([
            (client("Queue"), [("Last File", 2, reg_string("C:\\kbt-hostile\\queue\\Warteschlange-\u00e4\u00f6\u00fc.que"))]),
        ])),
        ("Warteschlange-\u00e4\u00f6\u00fc.que", b"queue from the archive"),
    ])


def main(folder):
    os.makedirs(folder, exist_ok=True)
    out = lambda name: os.path.join(folder, name)
    legit_settings = settings_file([(client(), []), (client("Transfer"), [("Retries", 4, b"\x09\0\0\0")])])

    # A backup cut short: no end record, so not an archive at all any more.
    write_zip(out("truncated.zip"), [("settings.reg", legit_settings), ("history.dat", NEW_HISTORY),
                                     ("custom.dat", NEW_CUSTOM * 50)])
    whole = open(out("truncated.zip"), "rb").read()
    open(out("truncated.zip"), "wb").write(whole[:len(whole) * 6 // 10])

    # history.dat with a wrong CRC over an existing file; custom.dat is good.
    write_zip(out("bad-crc.zip"), [("history.dat", NEW_HISTORY), ("custom.dat", NEW_CUSTOM)])
    patch_crc(out("bad-crc.zip"), "history.dat")

    # Settings that reach for keys outside the client's own; only the last section is the client's.
    write_zip(out("outside-key.zip"), [("settings.reg", settings_file([
        ("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
         [("KbtHostile", 1, reg_string("C:\\evil.exe"))]),
        ("HKEY_CURRENT_USER\\Software\\KestroveHostile", [("Planted", 1, reg_string("x"))]),
        ("HKEY_CURRENT_USER\\Software\\Kestrove\\..\\..\\Microsoft\\Windows\\CurrentVersion\\Run",
         [("KbtHostileDots", 1, reg_string("C:\\evil.exe"))]),
        ("HKEY_CURRENT_USER\\Software\\Kestrove/../KestroveSlash", [("Planted", 1, reg_string("x"))]),
        ("HKEY_CURRENT_USER\\\\Software\\Kestrove\\..\\KestroveDouble", [("Planted", 1, reg_string("x"))]),
        ("HKEY_LOCAL_MACHINE\\Software\\KbtHostile", [("Planted", 1, reg_string("x"))]),
        ("HKEY_USERS\\.DEFAULT\\Software\\KbtHostile", [("Planted", 1, reg_string("x"))]),
        ("HKEY_CURRENT_USER", [("KbtHostileRoot", 1, reg_string("x"))]),
        (client("Transfer"), [("Retries", 4, b"\x09\0\0\0")]),
    ]))])

    # Bitmap and queue values that point at programs in the startup folder, with matching entries;
    # the toolbar bitmap is an ordinary one and is restored.
    write_zip(out("startup-bitmap.zip"), [
        ("settings.reg", settings_file([
            (client("Display"), [("Listview Bitmap", 1, reg_string(STARTUP + "\\kbt-hostile.exe")),
                                 ("Treeview Bitmap", 2, reg_string(STARTUP + "\\kbt-hostile.CMD. ")),
                                 ("Toolbar Bitmap", 1, reg_string(PICTURES + "\\tool.bmp"))]),
            (client("Queue"), [("Last File", 2, reg_string(STARTUP + "\\kbt-queue.bat"))]),
        ])),
        ("kbt-hostile.exe", b"MZ planted program"),
        ("kbt-hostile.CMD. ", b"@echo planted script"),
        ("kbt-queue.bat", b"@echo planted queue"),
        ("tool.bmp", b"BM toolbar bitmap"),
    ])

    # Entry names that are paths or devices; only history.dat is one of the tool's names.
    write_zip(out("entry-names.zip"), [
        ("..\\..\\kbt-escape.dat", b"escaped"),
        ("../../kbt-escape.dat", b"escaped"),
        ("C:\\kbt-hostile\\absolute.dat", b"absolute"),
        ("/kbt-hostile/absolute.dat", b"absolute"),
        ("\\\\.\\PhysicalDrive0", b"device"),
        ("CON", b"device"),
        ("NUL.dat", b"device"),
        ("history.dat\\..\\..\\kbt-escape.dat", b"escaped"),
        ("HISTORY.DAT", b"wrong letter case"),
        ("history.dat", NEW_HISTORY),
    ])

    # Huge global comments on an ordinary backup: the largest whose end record still lies in the
    # last 64 KiB of the file (where minizip looks for it), and the largest a zip can hold.
    for name, length in (("huge-comment.zip", 65535 - 22), ("max-comment.zip", 65535)):
        big_comment = (MAGIC + "\n" + "c" * (length - len(MAGIC) - 23) + "\n2005-03-07T09:05:03Z\n").encode("ascii")
        assert len(big_comment) == length
        write_zip(out(name), [("history.dat", NEW_HISTORY)], comment=big_comment)

    # Thousands of entries before the one the restore wants.
    write_zip(out("many-entries.zip"), [("f%05d.dat" % i, b"%d" % i) for i in range(5000)] +
              [("history.dat", NEW_HISTORY)])

    # An honest bomb: 64 MiB of zeros in about 64 KiB, restored whole and streamed.
    with zipfile.ZipFile(out("bomb.zip"), "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
        info = zipfile.ZipInfo("history.dat", date_time=(2005, 3, 7, 9, 5, 2))
        info.compress_type = zipfile.ZIP_DEFLATED
        with archive.open(info, "w") as entry:
            chunk = bytes(1 << 20)
            for _ in range(64):
                entry.write(chunk)
        archive.comment = COMMENT

    # A lying bomb: custom.dat declares 1,000 bytes but inflates to 16 MiB; its CRC is that of the
    # whole data. history.dat beside it is good.
    write_zip(out("lying-bomb.zip"), [("history.dat", NEW_HISTORY), ("custom.dat", bytes(16 << 20))])
    lying_sizes(out("lying-bomb.zip"), "custom.dat", 1000)

    # Destinations outside the client's places with names that are no program: a logon shortcut in
    # the user's Startup folder, a bitmap in the common one and in a new folder of the system's,
    # a host file reached through Wine's drive Z:, and system files named by the queue and a bitmap.
    host = "Z:" + os.path.abspath(folder).replace("/", "\\")
    write_zip(out("startup-places.zip"), [
        ("settings.reg", settings_file([
            (client("Display"), [("Listview Bitmap", 1, reg_string(USER_STARTUP + "\\kbt-logon.url")),
                                 ("Treeview Bitmap", 2, reg_string(STARTUP + "\\kbt-common.bmp")),
                                 ("Toolbar Bitmap", 1, reg_string(SYSTEM + "\\kbt-hostile-dir\\kbt-system.bmp"))]),
            (client("Queue"), [("Last File", 2, reg_string(host + "\\kbt-host.desktop"))]),
        ])),
        ("kbt-logon.url", b"[InternetShortcut]\r\nURL=file:///C:/evil\r\n"),
        ("kbt-common.bmp", b"BM common"),
        ("kbt-system.bmp", b"BM system"),
        ("kbt-host.desktop", b"[Desktop Entry]\nExec=evil\n"),
    ])
    write_zip(out("system-files.zip"), [
        ("settings.reg", settings_file([
            (client("Display"), [("Toolbar Bitmap", 1, reg_string("C:\\windows\\win.ini")),
                                 # one spelling longer than any fixed path buffer
                                 ("Listview Bitmap", 1, reg_string("C:\\kbt-hostile\\rt" + "\\." * 200 + "\\long.bmp"))]),
            (client("Queue"), [("Last File", 2, reg_string(SYSTEM + "\\drivers\\etc\\hosts"))]),
        ])),
        ("win.ini", b"[planted]\r\n"),
        ("long.bmp", b"BM long"),
        ("hosts", b"127.0.0.1 planted\r\n"),
    ])

    # Settings only: a queue value that arms the next reset against a document, and values that
    # would carry private files into the user's next backup.
    write_zip(out("arm-reset.zip"), [("settings.reg", settings_file([
        (client("Queue"), [("Last File", 2, reg_string("C:\\kbt-hostile\\documents\\thesis.docx"))]),
    ]))])
    write_zip(out("pull-files.zip"), [("settings.reg", settings_file([
        (client("Display"), [("Listview Bitmap", 1, reg_string("C:\\kbt-hostile\\secret\\id_rsa")),
                             ("Toolbar Bitmap", 1, reg_string("C:\\windows\\win.ini")),
                             ("Treeview Bitmap", 1, reg_string("C:\\kbt-hostile\\secret\\key.bmp\\..\\id_rsa"))]),
        (client("Queue"), [("Last File", 2, reg_string("C:\\kbt-hostile\\secret\\passwords.kdbx"))]),
    ]))])

    # Settings beyond the limits a restore accepts: one value of 2.5 MiB beside ordinary values and
    # the tool's own key; and a settings file of 257 MiB (empty lines, so the archive stays small).
    write_zip(out("huge-value.zip"), [("settings.reg", settings_file([
        (client("Transfer"), [("Retries", 4, b"\x09\0\0\0")]),
        (client("Backup\\1.0"), [("Last Backup", 1, reg_string("C:\\kbt-hostile\\chosen.zip"))]),
        (client("Transfer"), [("Huge", 3, bytes(5 << 19))]),
    ]))])
    with zipfile.ZipFile(out("huge-settings.zip"), "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
        info = zipfile.ZipInfo("settings.reg", date_time=(2005, 3, 7, 9, 5, 2))
        info.compress_type = zipfile.ZIP_DEFLATED
        with archive.open(info, "w") as entry:
            entry.write(settings_file([(client("Transfer"), [("Retries", 4, b"\x09\0\0\0")])]))
            chunk = "\r\n".encode("utf-16-le") * (1 << 18)
            for _ in range(257):
                entry.write(chunk)
        archive.comment = COMMENT

    damaged_directories(out, legit_settings)
    non_ansi_names(out)
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.stderr.write(__doc__)
        sys.exit(2)
    sys.exit(main(sys.argv[1]))
