#!/usr/bin/python3
"""Writes formats/pdf/pdf_font_widths.cpp: the glyph widths of the 14 standard
PDF fonts for every character code, and the Unicode character behind each code
of the two Latin text encodings the PDF writer uses.

The widths come from the AFM files of Debian's fonts-urw-base35, whose fonts are
metric-compatible with the 14 standard fonts. Regenerating needs that package
and python3-fonttools (for the glyph-name-to-Unicode list); building does not:

    apt-get install fonts-urw-base35 python3-fonttools
    /usr/bin/python3 scripts/generate_pdf_font_widths.py [AFM_DIRECTORY]
"""

import os
import sys

from fontTools import agl

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUTPUT = os.path.join(ROOT, "formats", "pdf", "pdf_font_widths.cpp")
AFM_DIRECTORY = "/usr/share/fonts/type1/urw-base35"

# In the order of TPDFFontName.
FONTS = [
    ("Helvetica", "NimbusSans-Regular"),
    ("Helvetica-Bold", "NimbusSans-Bold"),
    ("Helvetica-Oblique", "NimbusSans-Italic"),
    ("Helvetica-BoldOblique", "NimbusSans-BoldItalic"),
    ("Courier", "NimbusMonoPS-Regular"),
    ("Courier-Bold", "NimbusMonoPS-Bold"),
    ("Courier-Oblique", "NimbusMonoPS-Italic"),
    ("Courier-BoldOblique", "NimbusMonoPS-BoldItalic"),
    ("Times-Roman", "NimbusRoman-Regular"),
    ("Times-Bold", "NimbusRoman-Bold"),
    ("Times-Italic", "NimbusRoman-Italic"),
    ("Times-BoldItalic", "NimbusRoman-BoldItalic"),
    ("Symbol", "StandardSymbolsPS"),
    ("ZapfDingbats", "D050000L"),
]

# Fonts without Latin text glyphs: only their own built-in encoding draws anything.
SYMBOLIC_FONTS = {"Symbol", "ZapfDingbats"}

# Characters of the Mac OS Roman character set that PDF's MacRomanEncoding
# leaves out (they live in the Symbol font), and the Apple logo.
MAC_ROMAN_LEFT_OUT = {
    0x2260, 0x221E, 0x2264, 0x2265, 0x2202, 0x2211, 0x220F, 0x03C0,
    0x222B, 0x03A9, 0x221A, 0x2248, 0x2206, 0x25CA, 0xF8FF,
}

# Codes whose glyph in the PDF encodings is a plain one: the no-break space is
# drawn with "space", the soft hyphen with "hyphen".
GLYPH_OF_CHARACTER = {0x00A0: "space", 0x00AD: "hyphen"}


def read_afm(path):
    """Returns (built-in code -> width, glyph name -> width) of one AFM file."""
    by_code, by_name = {}, {}
    with open(path, encoding="latin-1") as afm:
        in_metrics = False
        for line in afm:
            if line.startswith("StartCharMetrics"):
                in_metrics = True
            elif line.startswith("EndCharMetrics"):
                break
            elif in_metrics:
                fields = dict(
                    part.strip().split(None, 1) for part in line.split(";") if part.strip()
                )
                code, width, name = int(fields["C"]), int(fields["WX"]), fields["N"]
                by_name[name] = width
                if 0 <= code <= 255:
                    by_code[code] = width
    return by_code, by_name


def encoding_characters(codec):
    """Unicode value of each code 0..255 (0 where the code draws nothing)."""
    characters = []
    for code in range(256):
        try:
            character = ord(bytes([code]).decode(codec))
        except UnicodeDecodeError:
            character = 0
        if character < 0x20 or 0x7F <= character < 0xA0:
            character = 0  # control characters have no glyph
        characters.append(character)
    return characters


def win_ansi_characters():
    return encoding_characters("cp1252")


def mac_roman_characters():
    characters = encoding_characters("mac_roman")
    characters[0xDB] = 0x00A4  # the currency sign, as before the euro took its place
    return [0 if character in MAC_ROMAN_LEFT_OUT else character for character in characters]


def widths_by_character(by_name):
    """Unicode value -> width, from the glyph names; AGL names win over uniXXXX ones."""
    result = {}
    for name in sorted(by_name, key=lambda glyph: glyph.startswith("uni")):
        text = agl.toUnicode(name)
        if len(text) == 1 and ord(text) not in result:
            result[ord(text)] = by_name[name]
    return result


def encoded_widths(characters, by_name, font):
    by_character = widths_by_character(by_name)
    widths = []
    for code, character in enumerate(characters):
        if character == 0:
            widths.append(0)
        elif character in GLYPH_OF_CHARACTER:
            widths.append(by_name[GLYPH_OF_CHARACTER[character]])
        elif character in by_character:
            widths.append(by_character[character])
        else:
            sys.exit(f"{font}: no glyph for U+{character:04X} (code {code})")
    return widths


def table_lines(values, indent):
    lines = []
    for start in range(0, 256, 16):
        lines.append(indent + ", ".join(str(value) for value in values[start:start + 16]) + ",")
    return lines


def main():
    afm_directory = sys.argv[1] if len(sys.argv) > 1 else AFM_DIRECTORY
    win_ansi, mac_roman = win_ansi_characters(), mac_roman_characters()
    for code in range(0x20, 0x7F):
        assert win_ansi[code] == code and mac_roman[code] == code, code

    out = [
        "// Generated by scripts/generate_pdf_font_widths.py from the AFM files of",
        "// fonts-urw-base35 (metric-compatible with the 14 standard PDF fonts). Do not edit.",
        '#include "formats/pdf/pdf_font_widths.h"',
        "",
        "namespace velmora {",
        "",
        "const std::uint16_t kWinAnsiCharacters[256] = {",
        *table_lines(win_ansi, "    "),
        "};",
        "",
        "const std::uint16_t kMacRomanCharacters[256] = {",
        *table_lines(mac_roman, "    "),
        "};",
        "",
        "const std::uint16_t kStandardFontWidths[kStandardFontCount][kCharCodesCount][256] = {",
    ]
    for font, afm_name in FONTS:
        by_code, by_name = read_afm(os.path.join(afm_directory, afm_name + ".afm"))
        built_in = [by_code.get(code, 0) for code in range(256)]
        out.append(f"    // {font} ({afm_name})")
        out.append("    {")
        symbolic = font in SYMBOLIC_FONTS
        for label, characters in (("WinAnsiEncoding", win_ansi), ("MacRomanEncoding", mac_roman)):
            if symbolic:  # a symbolic font always draws through its built-in encoding
                out.append(f"        {{}},  // no {label}")
                continue
            out.append(f"        // {label}")
            out.append("        {")
            out += table_lines(encoded_widths(characters, by_name, font), "            ")
            out.append("        },")
        out.append("        // built-in encoding")
        out.append("        {")
        out += table_lines(built_in, "            ")
        out.append("        },")
        out.append("    },")
    out += ["};", "", "}  // namespace velmora", ""]
    with open(OUTPUT, "w", encoding="ascii") as target:
        target.write("\n".join(out))


if __name__ == "__main__":
    main()
