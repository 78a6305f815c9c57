#!/usr/bin/env python3
"""Writes jet/format/index_text_codes.cpp, the per-character sort codes of the text
index keys, from the code lists published with Jackcess (Apache License 2.0,
see NOTICE), kept in jet/gen/data:

  index_codes_genleg.txt     General legacy sort order (Jet 4), U+0000-U+00FF
  index_codes_ext_genleg.txt General legacy, U+0100-U+FFFF without the
                             surrogates U+D800-U+DFFF (63,232 lines)
  index_codes_gen_97.txt     General sort order of Access 97 (Jet 3), U+0000-U+00FF
                             (the list that marks significant letters)
  index_mappings_ext_gen_97.txt  characters above U+00FF that Jet 3 sorts as
                             one of the first 256 ("from,to" in decimal)

Each codes line describes one character, in order (hex digits, a leading 0
dropped, so "E0E" is the bytes 0E 0E):
  X               ignored (contributes nothing)
  S<hex>          simple: the bytes are written in line (one to four)
  I<hex>,<hex>    international: in-line bytes, then its extra code (one or
                  two bytes)
  U<hex>          unprintable: nothing in line, its code in the unprintable part
  P<hex>          combining (ext list): nothing in line; its one byte is added
                  to the extra code written last
  Z<hex>,[hex],[1]  kana (ext list): in-line bytes, an optional extra code,
                  and a flag: 1 (small kana) or nothing
  G<hex>          significant (Jet 3): in line like S, and an accent after it
                  counts it among the extra codes

The General legacy codes of the whole Basic Multilingual Plane are written as
runs: consecutive characters of one kind, sizes, extra code and flag whose
code grows by the same step from each to the next. Surrogates are ignored.

Usage: make_index_text_codes.py GENLEG EXT_GENLEG GEN97 MAP97 > jet/format/index_text_codes.cpp
"""
import re
import sys

KINDS = {"X": "Ignored", "S": "Simple", "I": "International", "U": "Unprintable",
         "G": "Significant", "P": "Combining", "Z": "Kana"}
LINE = {
    "X": r"X",
    "S": r"S([0-9A-F]{1,8})",
    "I": r"I([0-9A-F]{1,4}),([0-9A-F]{1,4})",
    "U": r"U([0-9A-F]{1,2})",
    "G": r"G([0-9A-F]{1,4})",
    "P": r"P([0-9A-F]{1,2})",
    "Z": r"Z([0-9A-F]{1,4}),([0-9A-F]{0,4}),(1?)",
}
EXT_LINES = 0x10000 - 0x100 - 0x800
SURROGATES = range(0xD800, 0xE000)
# The flag a kana writes into the key's kana part: 2 for a small kana, 3 for
# any other.
KANA_SMALL, KANA_OTHER = 2, 3


def fail(path, number, message):
    sys.exit("%s:%d: %s" % (path, number, message))


def hex_bytes(text):
    if len(text) % 2:
        text = "0" + text
    return bytes.fromhex(text)


class Code:
    """One character: kind, its code bytes (in line; for U and P the code),
    extra code bytes and kana flag."""

    def __init__(self, kind, code=b"", extra=b"", flag=0):
        self.kind, self.code, self.extra, self.flag = kind, code, extra, flag


IGNORED = Code("Ignored")


def parse(path, count, kinds, extra_is_nibble=False):
    text = open(path, encoding="ascii").read()
    lines = text.split("\n")
    if lines[-1] != "" or len(lines) - 1 != count:
        sys.exit("%s: %d lines, expected exactly %d, each ending in a newline" % (path, len(lines) - 1, count))
    codes = []
    for number, line in enumerate(lines[:-1], 1):
        if line[:1] not in kinds:
            fail(path, number, "line kind %r is not one of %s" % (line[:1], kinds))
        match = re.fullmatch(LINE[line[0]], line)
        if not match:
            fail(path, number, "%r does not parse" % line)
        kind = KINDS[line[0]]
        fields = match.groups()
        code = hex_bytes(fields[0]) if fields else b""
        extra = hex_bytes(fields[1]) if len(fields) > 1 and fields[1] else b""
        if extra_is_nibble and extra and extra[0] > 0x0F:
            fail(path, number, "Jet 3 extra codes are 4-bit values")
        flag = (KANA_SMALL if fields[2] else KANA_OTHER) if kind == "Kana" else 0
        codes.append(Code(kind, code, extra, flag))
    return codes


def text_code(code):
    b = list(code.code) + [0] * (4 - len(code.code))
    e = list(code.extra) + [0] * (2 - len(code.extra))
    return "{TextCodeKind::%s, %d, {0x%02X, 0x%02X, 0x%02X, 0x%02X}, %d, {0x%02X, 0x%02X}, %d}" % (
        code.kind, len(code.code), b[0], b[1], b[2], b[3], len(code.extra), e[0], e[1], code.flag)


def runs_of(codes):
    """Groups the codes of U+0000-U+FFFF into runs: [first, code, step]."""
    runs = []
    for c, code in enumerate(codes):
        value = int.from_bytes(code.code, "big")
        if runs:
            run = runs[-1]
            head = run["code"]
            same = (head.kind, len(head.code), head.extra, head.flag) == (
                code.kind, len(code.code), code.extra, code.flag)
            step = value - run["last"]
            if same and (step == run["step"] or (run["step"] is None and 0 <= step <= 0xFF)):
                run["step"], run["last"] = step, value
                continue
        runs.append({"first": c, "code": code, "last": value, "step": None})
    return runs


def run_rows(runs):
    rows = []
    for run in runs:
        code = run["code"]
        rows.append("    {0x%04X, K::%s, %d, %d, %d, %d, 0x%X, 0x%X}," % (
            run["first"], code.kind, len(code.code), run["step"] or 0, len(code.extra), code.flag,
            int.from_bytes(code.code, "big"), int.from_bytes(code.extra, "big")))
    return rows


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    genleg = parse(sys.argv[1], 0x100, "XSIU")
    ext = parse(sys.argv[2], EXT_LINES, "XSIUPZ")
    gen97 = parse(sys.argv[3], 0x100, "XSIUG", extra_is_nibble=True)
    mappings = []
    for line in open(sys.argv[4], encoding="ascii"):
        if line.strip():
            a, b = (int(x) for x in line.split(","))
            mappings.append((a, b))
    ext_codes = iter(ext)
    bmp = genleg + [IGNORED if c in SURROGATES else next(ext_codes) for c in range(0x100, 0x10000)]
    runs = runs_of(bmp)

    print("// Generated by jet/gen/make_index_text_codes.py from jet/gen/data; do not edit.")
    print("// Source data: Jackcess (Apache License 2.0), see NOTICE.")
    print('#include "jet/format/index_text_codes.h"\n')
    print("namespace jet {\n")
    print("namespace {")
    print("using K = TextCodeKind;")
    print("}  // namespace\n")
    print("// {first character, kind, size, step, extra size, kana flag, code, extra}")
    print("constexpr TextCodeRun kGeneralLegacyRuns[%d] = {" % len(runs))
    print("\n".join(run_rows(runs)))
    print("};\n")
    print("constexpr std::array<std::uint16_t, 0x10000> kGeneralLegacyRunOfChar =")
    print("    run_of_each_char(kGeneralLegacyRuns);\n")
    print("const std::array<TextCode, 256> kGeneral97Codes = {{")
    for c, code in enumerate(gen97):
        print("    %s,  // U+%04X" % (text_code(code), c))
    print("}};\n")
    print("const std::array<TextCodeMapping, %d> kGeneral97Mappings = {{" % len(mappings))
    for a, b in mappings:
        print("    {0x%04X, 0x%02X}," % (a, b))
    print("}};\n")
    print("}  // namespace jet")


if __name__ == "__main__":
    main()
