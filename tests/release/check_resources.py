#!/usr/bin/python3
"""The resources of the shipped program against what it, the dialog manager and the shell rely on.

    /usr/bin/python3 tests/release/check_resources.py dist/install.exe

Reads the program with Debian's python3-pefile. Prints "ok: <check>" or "FAIL: <check>: <actual
values>" per check and exits 1 when one failed, 2 when the program cannot be read.
"""
import struct
import sys
import xml.etree.ElementTree as ET

import pefile

RT_BITMAP, RT_ICON, RT_DIALOG, RT_STRING, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = (
    2, 3, 5, 6, 14, 16, 24)
GERMAN = 0x0407
CHILD_VISIBLE, GROUP, TABSTOP = 0x50000000, 0x00020000, 0x00010000
BUTTON_EDGES = 0x00020201  # WS_EX_DLGMODALFRAME|WS_EX_CLIENTEDGE|WS_EX_STATICEDGE
DS_SETFONT = 0x40


class Failed(Exception):
    """Ends a check group at a failure the rest of it cannot go past."""


class Check:
    """The failures of one check group, each with the actual value."""

    def __init__(self):
        self.failures = []

    def expect(self, ok, what):
        if not ok:
            self.failures.append(what)
        return ok

    def equal(self, want, got, what, hex=False):
        show = (lambda v: f"0x{v:08X}" if isinstance(v, int) else repr(v)) if hex else repr
        return self.expect(want == got, f"{what} {show(got)}, not {show(want)}")

    def require(self, ok, what):
        if not ok:
            raise Failed(what)


class Reader:
    """Little-endian reads; struct.error past the end means the resource is cut short."""

    def __init__(self, data, pos=0):
        self.data, self.pos = data, pos

    def read(self, fmt):
        values = struct.unpack_from("<" + fmt, self.data, self.pos)
        self.pos += struct.calcsize(fmt)
        return values[0] if len(values) == 1 else values

    def string(self):
        start = self.pos
        while self.read("H"):
            pass
        return self.data[start:self.pos - 2].decode("utf-16-le")

    def name_or_ordinal(self):
        """An ordinal as an int, else a string ("" for none)."""
        if self.read("H") == 0xFFFF:
            return self.read("H")
        self.pos -= 2
        return self.string()

    def align(self, to):
        self.pos = (self.pos + to - 1) // to * to


class Program:
    """The resources of an executable: {(type, id): (language, data)}."""

    def __init__(self, path):
        self.pe = pefile.PE(path)
        self.resources = {}
        self.directory = getattr(self.pe, "DIRECTORY_ENTRY_RESOURCE", None)
        for rtype in self.directory.entries if self.directory else []:
            for rid in rtype.directory.entries:
                for lang in rid.directory.entries:
                    data = self.pe.get_data(lang.data.struct.OffsetToData, lang.data.struct.Size)
                    key = (rtype.id if rtype.id is not None else str(rtype.name),
                           rid.id if rid.id is not None else str(rid.name))
                    self.resources[key] = (lang.id, data)

    def get(self, rtype, rid):
        if (rtype, rid) not in self.resources:
            raise Failed(f"no resource of type {rtype} with id {rid}")
        return self.resources[(rtype, rid)][1]


CHECKS = []


def check(name):
    def register(function):
        CHECKS.append((name, function))
        return function
    return register


@check("compiled resources: every resource the program loads, in German")
def compiled_resources(c, program):
    required = {(RT_DIALOG, 102): "main dialog", (RT_DIALOG, 100): "About box",
                (RT_GROUP_ICON, 128): "icon group", (RT_BITMAP, 134): "background",
                (RT_STRING, 101 // 16 + 1): "string 101", (RT_VERSION, 1): "version block",
                (RT_MANIFEST, 1): "manifest"}
    for key, what in required.items():
        c.expect(key in program.resources, f"the {what} (type {key[0]}, id {key[1]}) is missing")
    for (rtype, rid), (language, _) in sorted(program.resources.items(), key=str):
        c.equal(GERMAN, language, f"type {rtype} id {rid} has language", hex=True)


# ---- Dialog templates -------------------------------------------------------------------------

def parse_dialog(data):
    """A DLGTEMPLATE or DLGTEMPLATEEX as a dict, its controls under "items"."""
    r = Reader(data)
    d = {"extended": r.read("HH") == (1, 0xFFFF)}
    if not d["extended"]:
        r.pos = 0

    def styles_and_place(into, extended):
        # The extended forms put a help id and the extended style before the style.
        if extended:
            r.read("I")
            into["exStyle"], into["style"] = r.read("II")
        else:
            into["style"], into["exStyle"] = r.read("II")

    styles_and_place(d, d["extended"])
    count = r.read("H")
    d["place"] = r.read("hhhh")
    d["menu"], d["class"], d["caption"] = r.name_or_ordinal(), r.name_or_ordinal(), r.string()
    if d["style"] & DS_SETFONT:
        d["pointSize"] = r.read("H")
        if d["extended"]:
            d["weight"], d["italic"], d["charset"] = r.read("HBB")
        d["face"] = r.string()
    d["items"] = []
    for _ in range(count):
        item = {}
        r.align(4)
        styles_and_place(item, d["extended"])
        item["place"] = r.read("hhhh")
        item["id"] = r.read("I" if d["extended"] else "H")
        item["class"], item["text"] = r.name_or_ordinal(), r.name_or_ordinal()
        creation_data = r.read("H")
        r.pos += creation_data
        d["items"].append(item)
    return d


def class_of(cls):
    """The predefined window classes may come as an atom or by name."""
    if isinstance(cls, int):
        return {0x80: "button", 0x82: "static"}.get(cls, f"atom 0x{cls:04X}")
    return cls.lower()


def expect_controls(c, d, expected):
    """expected: (id, class, text, place, style, exStyle) in tab order."""
    if not c.equal(len(expected), len(d["items"]), "number of controls"):
        return
    for want, got in zip(expected, d["items"]):
        what = f'control "{want[2]}":'
        c.equal(want[0], got["id"], f"{what} id (controls must stay in this tab order)")
        c.equal(want[1], class_of(got["class"]), f"{what} window class")
        c.equal(want[2], got["text"], f"{what} text")
        c.equal(want[3], got["place"], f"{what} position and size in dialog units")
        c.equal(want[4], got["style"], f"{what} style", hex=True)
        c.equal(want[5], got["exStyle"], f"{what} extended style", hex=True)


@check("main dialog template: extended fixed popup with its font and plain push buttons")
def main_dialog(c, program):
    d = parse_dialog(program.get(RT_DIALOG, 102))
    c.expect(d["extended"], "template 102 must be a DLGTEMPLATEEX for the buttons' edges")
    # WS_POPUP|WS_VISIBLE|WS_CAPTION|WS_SYSMENU|DS_MODALFRAME|DS_SETFONT, nothing more.
    c.equal(0x90C800C0, d["style"], "style", hex=True)
    c.equal(0x00040000, d["exStyle"], "extended style (WS_EX_APPWINDOW)", hex=True)
    c.equal((0, 0, 320, 162), d["place"], "place")
    c.equal("Korvo2016 - SP", d["caption"], "caption")
    c.equal("", d["menu"], "menu")
    c.equal("", d["class"], "class (the standard dialog class)")
    c.equal((8, "MS Sans Serif", 0, 0, 1),
            tuple(d.get(k) for k in ("pointSize", "face", "weight", "italic", "charset")),
            "font (size, face, weight, italic, DEFAULT_CHARSET)")
    # None is BS_DEFPUSHBUTTON: Enter must not start an installation by itself.
    push = CHILD_VISIBLE | TABSTOP
    expect_controls(c, d, [
        (2, "button", "Beenden", (269, 114, 47, 29), push, BUTTON_EDGES),
        (1000, "button", "1. Korvo-Hauptordner ausw\u00e4hlen...", (3, 4, 160, 29), push,
         BUTTON_EDGES),
        (1001, "button", "3. Starte Installation", (3, 110, 160, 29), push, BUTTON_EDGES)])


@check("About box template: plain template with caption and controls")
def about_box(c, program):
    d = parse_dialog(program.get(RT_DIALOG, 100))
    c.expect(not d["extended"], "template 100 is a DLGTEMPLATEEX, not a DLGTEMPLATE")
    # WS_POPUP|WS_CAPTION|WS_SYSMENU|DS_MODALFRAME|DS_SETFONT, nothing more.
    c.equal(0x80C800C0, d["style"], "style", hex=True)
    c.equal(0, d["exStyle"], "extended style", hex=True)
    c.equal((0, 0, 205, 57), d["place"], "place")
    c.equal("Info \u00fcber Korvo2016 - SP", d["caption"], "caption")
    c.equal((8, "MS Sans Serif"), (d.get("pointSize"), d.get("face")), "font")
    c.require(len(d["items"]) == 3, f"{len(d['items'])} controls, not 3")
    notice = d["items"][1]["text"]
    c.expect(isinstance(notice, str) and notice, "the release notice is missing")
    # About four dialog units per character of MS Sans Serif 8: longer would be clipped.
    c.expect(len(str(notice)) <= 71 // 4, f"the release notice {notice!r} is too long")
    no_prefix, def_push = 0x80, 0x01
    expect_controls(c, d, [
        (0xFFFF, "static", "Korvo2016 - SP", (15, 15, 108, 8),
         CHILD_VISIBLE | GROUP | no_prefix, 0),
        (0xFFFF, "static", notice, (15, 30, 71, 8), CHILD_VISIBLE | GROUP, 0),
        (1, "button", "OK", (142, 20, 50, 14), CHILD_VISIBLE | GROUP | TABSTOP | def_push, 0)])


# ---- Bitmap, icon, string, version, manifest --------------------------------------------------

def bitmap_info(data):
    """BITMAPINFOHEADER: size, width, height, planes, bit count, compression, ..., colours used."""
    return struct.unpack_from("<IiiHHIIiiII", data)


@check("background bitmap: 512x266, 256 colours, bottom-up, backdrop survives shrinking")
def background(c, program):
    data = program.get(RT_BITMAP, 134)
    size, width, height, planes, bits, compression, _, _, _, used, _ = bitmap_info(data)
    c.require(size == 40, f"header of {size} bytes: BITMAPINFOHEADER expected (no file header, "
                          "no V4/V5 header)")
    c.equal((512, 266, 1, 8, 0), (width, height, planes, bits, compression),
            "width, height (positive: rows bottom-up), planes, bits, BI_RGB")
    c.equal(256, used or 256, "palette entries")
    c.require((width, height, bits, used or 256) == (512, 266, 8, 256), "not the expected layout")
    pixels = 40 + 4 * 256
    c.require(len(data) >= pixels + 512 * 266, f"pixel data cut short: {len(data)} bytes")
    # A real picture, not a flat placeholder.
    colours_used = len(set(data[pixels:]))
    c.expect(colours_used > 16, f"the picture uses only {colours_used} colours")

    # The dialog shrinks the picture with the default stretch mode, which ANDs each dropped pixel
    # into its neighbour. Two neighbouring colours must therefore nest bitwise (their AND is one
    # of them), or 63 and 64 turn into a stray black dot. The left part, up to the title and the
    # logo's rings, is plain backdrop.
    palette = [int.from_bytes(data[40 + 4 * i:43 + 4 * i], "little") for i in range(256)]

    def colour(x, row):
        return palette[data[pixels + row * 512 + x]]

    clashes, first = 0, ""
    for row in range(266):
        for x in range(256):
            here = colour(x, row)
            for near in (colour(x + 1, row), colour(x, min(row + 1, 265))):
                both = here & near
                if both != here and both != near:
                    if not clashes:
                        first = f"x {x}, y {265 - row}: 0x{here:06X} next to 0x{near:06X} (RGB)"
                    clashes += 1
    c.expect(not clashes, f"{clashes} neighbouring colours AND into a third one, first at {first}")


@check("application icon: sixteen-colour images of 32 and 16 pixels, lowest icon id")
def icon(c, program):
    group = program.get(RT_GROUP_ICON, 128)
    for rtype, rid in program.resources:
        if rtype == RT_GROUP_ICON and isinstance(rid, int):
            c.expect(rid >= 128, f"icon group {rid}: the shell shows the icon with the lowest id")
    r = Reader(group)
    c.equal((0, 1), r.read("HH"), "reserved, type (icons, not cursors)")
    sizes = set()
    for _ in range(r.read("H")):
        width, height, colours, _, planes, bits, size, rid = r.read("BBBBHHIH")
        what = f"entry {width}x{height}, icon {rid}:"
        c.equal(width, height, f"{what} height")
        sizes.add(width)
        c.equal((16, 1, 4), (colours, planes, bits), f"{what} colours, planes, bits")
        if not c.expect((RT_ICON, rid) in program.resources, f"{what} image missing"):
            continue
        image = program.get(RT_ICON, rid)
        c.equal(size, len(image), f"{what} size of the image, in the group")
        _, image_width, image_height, _, image_bits = bitmap_info(image)[:5]
        # Colour bitmap and AND mask, one over the other.
        c.equal((width, 2 * height, 4), (image_width, image_height, image_bits),
                f"{what} image width, height, bits")
        xor_bytes, and_bytes = width // 2 * height, (width + 31) // 32 * 4 * height
        c.equal(40 + 16 * 4 + xor_bytes + and_bytes, len(image),
                f"{what} bytes for header, 16 colours, 4-bit image and 1-bit mask")
    c.equal({16, 32}, sizes, "sizes")


@check("About menu string: string 101 in its block")
def about_string(c, program):
    program.get(RT_STRING, 101 // 16 + 1)
    strings = {}
    for rtype in program.directory.entries:
        if rtype.id == RT_STRING:
            for rid in rtype.directory.entries:
                strings.update(getattr(rid.directory, "strings", {}))
    c.equal("Info \u00fcber Korvo2013 - SP...", strings.get(101), "string 101")


@check("version block: 1.0.0.1 in German with Unicode strings")
def version(c, program):
    program.get(RT_VERSION, 1)
    pe = program.pe
    c.require(hasattr(pe, "VS_VERSIONINFO") and hasattr(pe, "VS_FIXEDFILEINFO"),
              "pefile found no version information in it")
    root, fixed = pe.VS_VERSIONINFO[0], pe.VS_FIXEDFILEINFO[0]
    c.equal(b"VS_VERSION_INFO", root.Key, "key")
    c.equal(52, root.ValueLength, "size of VS_FIXEDFILEINFO")
    c.equal(0xFEEF04BD, fixed.Signature, "signature", hex=True)
    c.equal((0x00010000, 1), (fixed.FileVersionMS, fixed.FileVersionLS), "file version")
    c.equal((0x00010000, 1), (fixed.ProductVersionMS, fixed.ProductVersionLS), "product version")
    c.equal(1, fixed.FileType, "file type (VFT_APP)")

    blocks = {block.Key: block for block in getattr(pe, "FileInfo", [[]])[0]}
    variables = [var for var in getattr(blocks.get(b"VarFileInfo"), "Var", [])
                 if b"Translation" in getattr(var, "entry", {})]
    c.require(len(variables) == 1, f"{len(variables)} Translation values in VarFileInfo, not 1")
    translation = variables[0]
    c.equal(4, translation.ValueLength, "Translation bytes (exactly one language)")
    c.equal({b"Translation": "0x0407 0x04b0"}, translation.entry, "Translation")

    # The shell finds the strings under the block named after the translation.
    tables = {t.LangID: t.entries for t in getattr(blocks.get(b"StringFileInfo"),
                                                   "StringTable", [])}
    c.require(b"040704B0" in tables, f'no string table "040704B0" in {list(tables)}')
    strings = {k.decode(): v.decode("utf-8") for k, v in tables[b"040704B0"].items()}
    exact = {"FileDescription": "Korvo-Quenda Service-Pack", "FileVersion": "1.0.0.1",
             "InternalName": "install", "OriginalFilename": "install.exe",
             "ProductVersion": "1.0.0.1"}
    for key, value in exact.items():
        c.equal(value, strings.get(key), key)
    for key in ("CompanyName", "ProductName", "LegalCopyright"):
        c.expect(strings.get(key), f"{key} is missing or empty")


@check("manifest: asks for administrator rights, lists the supported systems")
def manifest(c, program):
    data = program.get(RT_MANIFEST, 1)
    # A broken manifest keeps Windows from starting the program at all.
    try:
        root = ET.fromstring(data)
    except ET.ParseError as error:
        raise Failed(f"not well-formed XML: {error}")
    # Windows reads element and attribute names and the ids regardless of letter case.
    elements = [({k.lower(): v for k, v in e.attrib.items()}, e.tag.rsplit("}", 1)[-1].lower())
                for e in root.iter()]
    levels = [a for a, tag in elements if tag == "requestedexecutionlevel"]
    c.equal([{"level": "requireAdministrator", "uiaccess": "false"}], levels,
            "requestedExecutionLevel")
    listed = {a.get("id", "").lower() for a, tag in elements if tag == "supportedos"}
    systems = {"Windows 7": "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
               "Windows 8": "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
               "Windows 8.1": "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
               "Windows 10 and 11": "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}
    for system, guid in systems.items():
        c.expect(guid in listed, f"{system} is not listed (listed: {sorted(listed)})")


def main():
    if len(sys.argv) != 2:
        print(f"usage: {sys.argv[0]} install.exe", file=sys.stderr)
        return 2
    try:
        program = Program(sys.argv[1])
    except (OSError, pefile.PEFormatError) as error:
        print(f"{sys.argv[0]}: cannot read {sys.argv[1]}: {error}", file=sys.stderr)
        return 2
    failed = 0
    for name, function in CHECKS:
        c = Check()
        try:
            function(c, program)
        except Failed as error:
            c.failures.append(str(error))
        except struct.error:
            c.failures.append("a resource is cut short")
        except Exception as error:  # a malformed resource, reported with the rest
            c.failures.append(f"{type(error).__name__}: {error}")
        if c.failures:
            failed += 1
            print(f"FAIL: {name}: " + "; ".join(c.failures))
        else:
            print(f"ok: {name}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
