#!/usr/bin/env python3
"""Writes the C++ metric tables of the 14 standard PDF fonts from Adobe's AFM files.

usage: gen_font_metrics.py OUTPUT.cpp AFM...   (the 14 files in font-index order)

Read from each AFM file (AFM 4.1, one keyword per line):
    FontName <name>
    FontBBox <llx> <lly> <urx> <ury>
    Ascender <n>          (missing in Symbol and ZapfDingbats: the box's top is taken)
    Descender <n>         (missing in Symbol and ZapfDingbats: the box's bottom is taken)
    EncodingScheme <AdobeStandardEncoding | FontSpecific>
    C <code> ; WX <width> ; N <glyph> ; B <llx> <lly> <urx> <ury> ;   (code -1: not encoded)

Written: for every font its box, ascender, descender and a width for each character code 0 to
255 in thousandths of the font size. Text fonts are measured through WinAnsiEncoding (the code's
glyph name below, looked up by name), codes 24 to 255; code 160 takes the width of the space and
codes without a glyph have width 0. Symbol and ZapfDingbats keep their own built-in codes, 32 to
254. Also written: the Unicode character of every WinAnsi code (0 for the unused codes), taken
from the Windows-1252 code page, which WinAnsiEncoding follows code for code.
"""
import sys

# The glyph of each WinAnsiEncoding code from 32 up; None where the encoding has no glyph.
WINANSI_FROM_32 = (
    "space exclam quotedbl numbersign dollar percent ampersand quotesingle "
    "parenleft parenright asterisk plus comma hyphen period slash "
    "zero one two three four five six seven eight nine colon semicolon less equal greater question "
    "at A B C D E F G H I J K L M N O P Q R S T U V W X Y Z "
    "bracketleft backslash bracketright asciicircum underscore "
    "grave a b c d e f g h i j k l m n o p q r s t u v w x y z "
    "braceleft bar braceright asciitilde - "
    "Euro - quotesinglbase florin quotedblbase ellipsis dagger daggerdbl "
    "circumflex perthousand Scaron guilsinglleft OE - Zcaron - "
    "- quoteleft quoteright quotedblleft quotedblright bullet endash emdash "
    "tilde trademark scaron guilsinglright oe - zcaron Ydieresis "
    "space exclamdown cent sterling currency yen brokenbar section "
    "dieresis copyright ordfeminine guillemotleft logicalnot hyphen registered macron "
    "degree plusminus twosuperior threesuperior acute mu paragraph periodcentered "
    "cedilla onesuperior ordmasculine guillemotright onequarter onehalf threequarters questiondown "
    "Agrave Aacute Acircumflex Atilde Adieresis Aring AE Ccedilla "
    "Egrave Eacute Ecircumflex Edieresis Igrave Iacute Icircumflex Idieresis "
    "Eth Ntilde Ograve Oacute Ocircumflex Otilde Odieresis multiply "
    "Oslash Ugrave Uacute Ucircumflex Udieresis Yacute Thorn germandbls "
    "agrave aacute acircumflex atilde adieresis aring ae ccedilla "
    "egrave eacute ecircumflex edieresis igrave iacute icircumflex idieresis "
    "eth ntilde ograve oacute ocircumflex otilde odieresis divide "
    "oslash ugrave uacute ucircumflex udieresis yacute thorn ydieresis"
).split()
assert len(WINANSI_FROM_32) == 224
WINANSI = [None] * 32 + [None if g == "-" else g for g in WINANSI_FROM_32]


def read_afm(path):
    font = {"widths_by_name": {}, "widths_by_code": {}}
    in_metrics = False
    with open(path, encoding="latin-1") as f:
        for line in f:
            words = line.split()
            if not words:
                continue
            key = words[0]
            if key == "StartCharMetrics":
                in_metrics = True
            elif key == "EndCharMetrics":
                in_metrics = False
            elif in_metrics and key == "C":
                fields = {}
                for part in line.split(";"):
                    p = part.split()
                    if p:
                        fields[p[0]] = p[1:]
                code = int(fields["C"][0])
                width = round(float(fields["WX"][0]))
                name = fields["N"][0]
                font["widths_by_name"][name] = width
                if code >= 0:
                    font["widths_by_code"][code] = width
            elif key == "FontName":
                font["name"] = words[1]
            elif key == "FontBBox":
                font["bbox"] = [round(float(w)) for w in words[1:5]]
            elif key == "Ascender":
                font["ascender"] = round(float(words[1]))
            elif key == "Descender":
                font["descender"] = round(float(words[1]))
            elif key == "EncodingScheme":
                font["encoding"] = words[1]
    for needed in ("name", "bbox", "encoding"):
        if needed not in font:
            sys.exit(f"{path}: no {needed}")
    font.setdefault("ascender", font["bbox"][3])
    font.setdefault("descender", font["bbox"][1])
    return font


def widths_of(font, path):
    widths = [0] * 256
    if font["encoding"] == "FontSpecific":
        for code in range(32, 255):
            widths[code] = font["widths_by_code"].get(code, 0)
        return widths
    for code in range(24, 256):
        glyph = WINANSI[code]
        if glyph is None:
            continue
        if glyph not in font["widths_by_name"]:
            sys.exit(f"{path}: no glyph {glyph} for WinAnsi code {code}")
        widths[code] = font["widths_by_name"][glyph]
    widths[160] = font["widths_by_name"]["space"]
    return widths


def unicode_of_winansi():
    out = []
    for code in range(256):
        if code < 128:
            out.append(code)
        elif WINANSI[code] is None:
            out.append(0)
        else:
            out.append(ord(bytes([code]).decode("cp1252")))
    return out


def main():
    if len(sys.argv) != 16:
        sys.exit("usage: gen_font_metrics.py OUTPUT.cpp AFM x 14")
    output, paths = sys.argv[1], sys.argv[2:]
    lines = [
        "// Generated at build time by report/afm/gen_font_metrics.py from the AFM files in",
        "// report/afm. Do not edit.",
        '#include "report/uPDFFontMetrics.h"',
        "",
        "const TPDFFontMetrics kPDFStandardFonts[kPDFStandardFontCount] = {",
    ]
    for path in paths:
        font = read_afm(path)
        widths = widths_of(font, path)
        box = ", ".join(str(v) for v in font["bbox"])
        symbolic = "true" if font["encoding"] == "FontSpecific" else "false"
        lines.append(f'    {{"{font["name"]}", {symbolic}, {{{box}}}, {font["ascender"]}, '
                     f'{font["descender"]},')
        lines.append("     {")
        for row in range(0, 256, 16):
            lines.append("         " + ", ".join(str(w) for w in widths[row:row + 16]) + ",")
        lines.append("     }},")
    lines.append("};")
    lines.append("")
    lines.append("const char16_t kWinAnsiToUnicode[256] = {")
    uni = unicode_of_winansi()
    for row in range(0, 256, 8):
        lines.append("    " + ", ".join(f"0x{u:04X}" for u in uni[row:row + 8]) + ",")
    lines.append("};")
    text = "\n".join(lines) + "\n"
    try:
        with open(output, encoding="utf-8") as f:
            if f.read() == text:
                return
    except FileNotFoundError:
        pass
    with open(output, "w", encoding="utf-8") as f:
        f.write(text)


if __name__ == "__main__":
    main()
