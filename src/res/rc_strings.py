#!/usr/bin/env python3
"""Turns the STRINGTABLE blocks of the .rc files into a C++ table for the native build,
so both builds read their texts from one source. Also checks that every language defines
the same ids and that no id is defined twice."""
import re
import sys

LANGUAGES = {"LANG_ENGLISH": 1033, "LANG_GERMAN": 1031}


def read_defines(path):
    defines = {}
    for line in open(path, encoding="utf-8"):
        m = re.match(r"\s*#define\s+(\w+)\s+\(?(-?\d+)\)?", line)
        if m:
            defines[m.group(1)] = int(m.group(2))
    return defines


def unescape(body):
    out, i = [], 0
    while i < len(body):
        c = body[i]
        if c == '"' and i + 1 < len(body) and body[i + 1] == '"':
            out.append('"'); i += 2; continue
        if c == "\\" and i + 1 < len(body):
            n = body[i + 1]
            out.append({"n": "\n", "r": "\r", "t": "\t", "\\": "\\", '"': '"', "0": "\0"}.get(n, "\\" + n))
            i += 2; continue
        out.append(c); i += 1
    return "".join(out)


def read_table(path, defines):
    text = open(path, encoding="utf-8").read()
    lang = re.search(r"LANGUAGE\s+(\w+)", text).group(1)
    entries = {}
    block = re.search(r"STRINGTABLE\s+BEGIN(.*?)\nEND", text, re.S).group(1)
    for m in re.finditer(r'^\s*(\w+)\s+"((?:[^"]|"")*)"\s*$', block, re.M):
        ident = defines[m.group(1)] if not m.group(1).isdigit() else int(m.group(1))
        if ident in entries:
            sys.exit(f"{path}: string id {ident} defined twice")
        entries[ident] = unescape(m.group(2))
    return LANGUAGES[lang], entries


def cpp_literal(s):
    out = []
    for ch in s:
        o = ord(ch)
        if ch == '"' or ch == "\\":
            out.append("\\" + ch)
        elif 32 <= o < 127:
            out.append(ch)
        elif o < 32:
            out.append("\\%03o" % o)
        else:
            out.append("\\u%04x" % o if o < 0x10000 else "\\U%08x" % o)
    return 'u"' + "".join(out) + '"'


def main():
    resource_h, output, *tables = sys.argv[1:]
    defines = read_defines(resource_h)
    languages = [read_table(t, defines) for t in tables]
    ids = [set(e) for _, e in languages]
    for (lang, entries) in languages:
        if set(entries) != ids[0]:
            sys.exit(f"language {lang} defines other string ids: {sorted(set(entries) ^ ids[0])}")
    with open(output, "w", encoding="utf-8") as f:
        f.write("// Generated from the .rc string tables; do not edit.\n")
        f.write('#include "res/string_table.h"\n\nnamespace kbt::res {\n\nconst StringEntry kStrings[] = {\n')
        count = 0
        for lang, entries in languages:
            for ident in sorted(entries):
                f.write(f"  {{{lang}, {ident}, {cpp_literal(entries[ident])}}},\n")
                count += 1
        f.write("};\n\n")
        f.write(f"const unsigned kStringCount = {count};\n\n")
        f.write("const char16_t* FindString(uint16_t language, unsigned id) {\n"
                "  for (unsigned i = 0; i < kStringCount; ++i) {\n"
                "    if (kStrings[i].language == language && kStrings[i].id == id) return kStrings[i].text;\n"
                "  }\n  return nullptr;\n}\n\n}  // namespace kbt::res\n")


main()
