#!/usr/bin/env python3
"""Checks the compiled resources of LexPlant against the texts they must carry.

  check_strings.py [--arch x86|amd64] build/mingw/LexPlant.exe   (or a compiled .res file)

Resources are UTF-16 inside the program; each expected text is compared as
Unicode and must also survive the round trip to code page 932, since the
program handles every string as code page 932. For a program file it also
checks that it is a Windows GUI program of the given architecture (x86, the
shipped 32-bit program, unless told otherwise) that imports only system DLLs;
the manifest must name that architecture too, and declare the program aware
of the display's DPI.
Prints every mismatch and exits 1 when there was one.
"""
import functools
import struct
import sys
from xml.etree import ElementTree

RT_ICON, RT_MENU, RT_DIALOG, RT_STRING, RT_ACCELERATOR = 3, 4, 5, 6, 9
RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 14, 16, 24
LANG_JA = 0x0411

WS_POPUP, WS_CHILD, WS_VISIBLE = 0x80000000, 0x40000000, 0x10000000
WS_CAPTION, WS_SYSMENU = 0x00C00000, 0x00080000
WS_GROUP, WS_TABSTOP = 0x00020000, 0x00010000
DS_3DLOOK, DS_SETFONT, DS_MODALFRAME = 0x04, 0x40, 0x80
BS_PUSHBUTTON, BS_DEFPUSHBUTTON, BS_AUTOCHECKBOX, BS_GROUPBOX = 0, 1, 3, 7
SS_LEFT, SS_ICON, SS_NOPREFIX = 0, 3, 0x80
CHILD = WS_CHILD | WS_VISIBLE
FVIRTKEY, FNOINVERT, FSHIFT, FCONTROL, FALT = 0x01, 0x02, 0x04, 0x08, 0x10
VK_BACK, VK_DELETE, VK_INSERT, VK_F6 = 0x08, 0x2E, 0x2D, 0x75

TITLE = "オプション辞書インストール"
FONT = (9, "ＭＳ Ｐゴシック")
DISCLAIMER_HEAD = "\n" + " " * 34 + "---免責事項---\n\n"
ANY_NOTICE = object()      # our own one-line text
ANY_DISCLAIMER = object()  # our own body under the fixed heading

# (id, class, text, x, y, cx, cy, style); text may be an int (resource ordinal).
DIALOGS = {
    132: dict(style=WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
              rect=(239, 175), caption=TITLE, font=FONT, controls=[
                  (1, "BUTTON", "インストール(&I)", 58, 154, 54, 14, BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP),
                  (2, "BUTTON", "キャンセル", 126, 154, 54, 14, BS_PUSHBUTTON | WS_TABSTOP),
                  (-1, "STATIC", "インストールを開始します。", 9, 8, 107, 12, SS_LEFT | WS_GROUP),
                  (-1, "STATIC", ANY_DISCLAIMER, 13, 26, 213, 82, SS_LEFT),
                  (-1, "STATIC", "上記の免責事項に同意する方は、「インストール」ボタンを押してください。",
                   11, 127, 217, 19, SS_LEFT),
                  (-1, "BUTTON", "", 7, 20, 225, 96, BS_GROUPBOX),
              ]),
    130: dict(style=WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_3DLOOK,
              rect=(187, 119), caption=TITLE, font=FONT, controls=[
                  (1, "BUTTON", "閉じる", 74, 98, 39, 14, BS_DEFPUSHBUTTON | WS_TABSTOP),
                  (-1, "STATIC", "オプション辞書のインストールが完了しました.\n\n辞書ツールキットでインストールした辞書を"
                   "有効にしてください.(有効にしたい辞書アイコンをクリックし, 開いた状態にしてください)",
                   7, 7, 173, 42, SS_LEFT | WS_GROUP),
                  (1001, "BUTTON", "今すぐ有効にする(&N)", 20, 59, 151, 10, BS_AUTOCHECKBOX | WS_TABSTOP),
                  (1002, "BUTTON", "辞書ツールキットを起動する(&D)", 20, 74, 151, 10, BS_AUTOCHECKBOX | WS_TABSTOP),
              ]),
    100: dict(style=WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
              rect=(235, 55), caption="LexPlantのﾊﾞｰｼﾞｮﾝ情報", font=FONT, controls=[
                  (-1, "STATIC", 128, 11, 17, 20, 20, SS_ICON),
                  (-1, "STATIC", "LexPlant Version 1.0", 40, 10, 119, 8, SS_LEFT | SS_NOPREFIX | WS_GROUP),
                  (-1, "STATIC", ANY_NOTICE, 40, 25, 119, 8, SS_LEFT | WS_GROUP),
                  (1, "BUTTON", "OK", 178, 7, 50, 14, BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP),
              ]),
}

# Popups with their items: (text, id), None for a separator.
MENU = [
    ("ﾌｧｲﾙ(&F)", [("ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)", 57665)]),
    ("編集(&E)", [("元に戻す(&U)\tCtrl+Z", 57643), None, ("切り取り(&T)\tCtrl+X", 57635),
                 ("ｺﾋﾟｰ(&C)\tCtrl+C", 57634), ("貼り付け(&P)\tCtrl+V", 57637)]),
    ("ﾍﾙﾌﾟ(&H)", [("LexPlant のﾊﾞｰｼﾞｮﾝ情報(&A)...", 57664)]),
]

# (flags without FNOINVERT, key, command), in table order; all VIRTKEY | NOINVERT.
ACCELERATORS = [
    (FCONTROL, ord("C"), 57634), (FCONTROL, ord("V"), 57637), (FALT, VK_BACK, 57643),
    (FSHIFT, VK_DELETE, 57635), (0, VK_F6, 57680), (FSHIFT, VK_F6, 57681),
    (FCONTROL, VK_INSERT, 57634), (FSHIFT, VK_INSERT, 57637), (FCONTROL, ord("X"), 57635),
    (FCONTROL, ord("Z"), 57643),
]

STRINGS = {128: TITLE, 57344: TITLE}

VERSION_STRINGS = {
    "FileDescription": "追加オプション辞書インストール",
    "FileVersion": "V1.0 L10",
    "InternalName": "LexPlant",
    "OriginalFilename": "LexPlant.EXE",
    "ProductName": "Fumidori",
    "ProductVersion": "V1.0 L10",
}

SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll", "advapi32.dll", "comctl32.dll",
    "comdlg32.dll", "ole32.dll", "oleaut32.dll", "imm32.dll", "version.dll", "shlwapi.dll",
    "msvcrt.dll", "ntdll.dll", "uxtheme.dll",
}


class Reader:
    def __init__(self, data, pos=0):
        self.data, self.pos = data, pos

    def take(self, fmt):
        values = struct.unpack_from("<" + fmt, self.data, self.pos)
        self.pos += struct.calcsize("<" + fmt)
        return values if len(values) > 1 else values[0]

    def align(self, n=4, base=0):
        self.pos += (-(self.pos - base)) % n

    def sz(self):
        end = self.pos
        while self.data[end:end + 2] != b"\0\0":
            end += 2
        text = self.data[self.pos:end].decode("utf-16-le")
        self.pos = end + 2
        return text

    def sz_or_ord(self):
        if self.data[self.pos:self.pos + 2] == b"\xff\xff":
            self.pos += 2
            return self.take("H")
        return self.sz()


# ---- Containers ------------------------------------------------------------

def read_res(data):
    """Resources of a .res file: {(type, name, lang): bytes}."""
    res, r = {}, Reader(data)
    while r.pos + 8 <= len(data):
        start = r.pos
        size, header = r.take("II")
        rtype, name = r.sz_or_ord(), r.sz_or_ord()
        r.align(4, start)
        _, _, lang, _, _ = r.take("IHHII")
        body = start + header
        if size or rtype:
            res[(rtype, name, lang)] = data[body:body + size]
        r.pos = body + size
        r.align(4)
    return res


class Pe:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, nsect, _, _, _, optsize, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
        opt = pe + 24
        self.magic = struct.unpack_from("<H", data, opt)[0]
        self.subsystem = struct.unpack_from("<H", data, opt + 68)[0]
        # PE32+ widens four fields before the data directories by 4 bytes each.
        dirs = 112 if self.magic == 0x20B else 96
        ndirs = struct.unpack_from("<I", data, opt + dirs - 4)[0]
        self.dirs = [struct.unpack_from("<II", data, opt + dirs + 8 * i) for i in range(min(ndirs, 16))]
        self.sections = []
        for i in range(nsect):
            s = opt + optsize + 40 * i
            vsize, va, rawsize, rawptr = struct.unpack_from("<IIII", data, s + 8)
            self.sections.append((va, max(vsize, rawsize), rawptr))

    def off(self, rva):
        for va, size, raw in self.sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise ValueError("RVA %#x outside every section" % rva)

    def cstr(self, rva):
        o = self.off(rva)
        return self.data[o:self.data.index(b"\0", o)].decode("ascii", "replace")

    def imports(self):
        names = []
        for index, width in ((1, 20), (13, 32)):  # import and delay-import directories
            if index >= len(self.dirs) or not self.dirs[index][0]:
                continue
            o = self.off(self.dirs[index][0])
            while True:
                desc = self.data[o:o + width]
                if desc == b"\0" * width:
                    break
                name_rva = struct.unpack_from("<I", desc, 12 if index == 1 else 4)[0]
                names.append(self.cstr(name_rva))
                o += width
        return names

    def resources(self):
        rva, _ = self.dirs[2]
        base = self.off(rva)
        res = {}

        def name_of(entry_name):
            if entry_name & 0x80000000:
                o = base + (entry_name & 0x7FFFFFFF)
                n = struct.unpack_from("<H", self.data, o)[0]
                return self.data[o + 2:o + 2 + 2 * n].decode("utf-16-le")
            return entry_name

        def walk(offset, path):
            _, _, _, _, named, ids = struct.unpack_from("<IIHHHH", self.data, base + offset)
            for i in range(named + ids):
                ename, target = struct.unpack_from("<II", self.data, base + offset + 16 + 8 * i)
                key = path + (name_of(ename),)
                if target & 0x80000000:
                    walk(target & 0x7FFFFFFF, key)
                else:
                    drva, dsize, _, _ = struct.unpack_from("<IIII", self.data, base + target)
                    o = self.off(drva)
                    res[key] = self.data[o:o + dsize]

        walk(0, ())
        return res


# ---- Resource formats ------------------------------------------------------

CLASS_ORDINALS = {0x80: "BUTTON", 0x81: "EDIT", 0x82: "STATIC", 0x83: "LISTBOX", 0x84: "SCROLLBAR",
                  0x85: "COMBOBOX"}


def parse_dialog(data):
    r = Reader(data)
    ex = data[2:4] == b"\xff\xff"
    if ex:
        _, _, _, exstyle, style, count, x, y, cx, cy = r.take("HHIIIHhhhh")
    else:
        style, exstyle, count, x, y, cx, cy = r.take("IIHhhhh")
    dlg = dict(style=style, exstyle=exstyle, rect=(cx, cy), menu=r.sz_or_ord(), cls=r.sz_or_ord(),
               caption=r.sz(), font=None, controls=[])
    if style & DS_SETFONT:
        size = r.take("H")
        if ex:
            r.take("HBB")
        dlg["font"] = (size, r.sz())
    for _ in range(count):
        r.align(4)
        if ex:
            _, cexstyle, cstyle, x, y, cx, cy, cid = r.take("IIIhhhhi")
        else:
            cstyle, cexstyle, x, y, cx, cy, cid = r.take("IIhhhhH")
            cid = cid - 0x10000 if cid >= 0x8000 else cid
        cls = r.sz_or_ord()
        cls = CLASS_ORDINALS.get(cls, cls) if isinstance(cls, int) else cls.upper()
        text = r.sz_or_ord()
        extra = r.take("H")
        r.pos += extra
        dlg["controls"].append((cid, cls, text, x, y, cx, cy, cstyle, cexstyle))
    return dlg


def parse_menu(data):
    r = Reader(data)
    version, offset = r.take("HH")
    if version != 0:
        raise ValueError("extended menus are not expected")
    r.pos += offset

    def items():
        out = []
        while True:
            flags = r.take("H")
            if flags & 0x10:  # MF_POPUP
                out.append((r.sz(), items()))
            else:
                cid = r.take("H")
                text = r.sz()
                out.append(None if (cid == 0 and text == "" and not flags & ~0x80) else (text, cid))
            if flags & 0x80:  # MF_END
                return out

    return items()


def parse_accelerators(data):
    out = []
    for o in range(0, len(data) - 7, 8):
        flags, key, cmd, _ = struct.unpack_from("<HHHH", data, o)
        out.append((flags & ~0x80, key, cmd))
        if flags & 0x80:
            break
    return out


def parse_strings(res):
    table = {}
    for (rtype, name, _), data in res.items():
        if rtype != RT_STRING:
            continue
        r = Reader(data)
        for i in range(16):
            n = r.take("H")
            if n:
                table[(name - 1) * 16 + i] = data[r.pos:r.pos + 2 * n].decode("utf-16-le")
            r.pos += 2 * n
    return table


def parse_version(data):
    """Returns (fixed info tuple, {block: {key: value}}, translations)."""

    def node(o):
        length, vlen, vtype = struct.unpack_from("<HHH", data, o)
        r = Reader(data, o + 6)
        key = r.sz()
        r.align(4)
        value_end = r.pos + (vlen * 2 if vtype == 1 else vlen)
        value = data[r.pos:value_end]
        r.pos = value_end
        r.align(4)
        children = []
        while r.pos < o + length:
            child, end = node(r.pos)
            children.append(child)
            r.pos = end
            r.align(4)
        return (key, vtype, value, children), o + length

    (key, _, fixed, children), _ = node(0)
    if key != "VS_VERSION_INFO":
        raise ValueError("not a version resource")
    fixed_info = struct.unpack_from("<13I", fixed)
    blocks, translations = {}, []
    for ckey, _, _, grand in children:
        if ckey == "StringFileInfo":
            for bkey, _, _, values in grand:
                blocks[bkey] = {k: v.decode("utf-16-le").rstrip("\0") for k, _, v, _ in values}
        elif ckey == "VarFileInfo":
            for vkey, _, value, _ in grand:
                if vkey == "Translation":
                    translations += [struct.unpack_from("<HH", value, i) for i in range(0, len(value), 4)]
    return fixed_info, blocks, translations


# ---- Checks ----------------------------------------------------------------

class Checker:
    def __init__(self):
        self.failures = []

    def expect(self, ok, what):
        if not ok:
            self.failures.append(what)
        return ok

    def equal(self, actual, expected, what):
        return self.expect(actual == expected, "%s: %r, expected %r" % (what, actual, expected))

    def cp932(self, text, what):
        try:
            ok = text.encode("cp932").decode("cp932") == text
        except UnicodeError:
            ok = False
        return self.expect(ok, "%s: %r does not round-trip through code page 932" % (what, text))


def find(res, rtype, name, c):
    hits = {lang: data for (t, n, lang), data in res.items() if t == rtype and n == name}
    if not c.expect(hits, "resource type %d id %r missing" % (rtype, name)):
        return None
    c.expect(set(hits) == {LANG_JA}, "resource type %d id %r: languages %s, expected 0x411 only"
             % (rtype, name, [hex(l) for l in hits]))
    return hits.get(LANG_JA, next(iter(hits.values())))


def check_disclaimer(text, what, c):
    if not c.expect(text.startswith(DISCLAIMER_HEAD), "%s: must start with an empty line, the heading "
                    "indented by 34 spaces and an empty line; got %r" % (what, text[:60])):
        return
    paragraphs = [p for p in text[len(DISCLAIMER_HEAD):].split("\n") if p.strip()]
    c.equal(len(paragraphs), 2, what + " paragraphs")
    c.cp932(text, what)


def check_dialogs(res, c):
    for did, want in DIALOGS.items():
        data = find(res, RT_DIALOG, did, c)
        if data is None:
            continue
        got = parse_dialog(data)
        w = "dialog %d" % did
        c.equal(hex(got["style"]), hex(want["style"]), w + " style")
        c.equal(got["exstyle"], 0, w + " extended style")
        c.equal(got["rect"], want["rect"], w + " size")
        c.equal(got["menu"], "", w + " menu")
        c.equal(got["cls"], "", w + " class")
        c.equal(got["caption"], want["caption"], w + " caption")
        c.cp932(got["caption"], w + " caption")
        c.equal(got["font"], want["font"], w + " font")
        if not c.equal(len(got["controls"]), len(want["controls"]), w + " control count"):
            continue
        for i, (g, e) in enumerate(zip(got["controls"], want["controls"])):
            cw = "%s control %d" % (w, i + 1)
            cid, cls, text, x, y, cx, cy, style, exstyle = g
            c.equal((cid, cls), e[:2], cw + " id and class")
            c.equal((x, y, cx, cy), e[3:7], cw + " position")
            c.equal(hex(style), hex(e[7] | CHILD), cw + " style")
            c.equal(exstyle, 0, cw + " extended style")
            if e[2] is ANY_DISCLAIMER:
                check_disclaimer(text, cw + " disclaimer", c)
            elif e[2] is ANY_NOTICE:
                if c.expect(isinstance(text, str) and text.strip() and "\n" not in text,
                            cw + ": the notice must be one line of text, got %r" % (text,)):
                    c.cp932(text, cw)
            else:
                c.equal(text, e[2], cw + " text")
                if isinstance(text, str):
                    c.cp932(text, cw)


def check_menu(res, c):
    data = find(res, RT_MENU, 128, c)
    if data is None:
        return
    got = parse_menu(data)
    if not c.equal([p for p, _ in got], [p for p, _ in MENU], "menu 128 popups"):
        return
    for (popup, items), (_, want) in zip(got, MENU):
        c.cp932(popup, "menu 128")
        c.equal(items, want, "menu 128 popup %r" % popup)
        for item in items:
            if item:
                c.cp932(item[0], "menu 128")


def check_accelerators(res, c):
    data = find(res, RT_ACCELERATOR, 128, c)
    if data is None:
        return
    want = [(f | FVIRTKEY | FNOINVERT, k, cmd) for f, k, cmd in ACCELERATORS]
    c.equal(parse_accelerators(data), want, "accelerators 128")


def check_strings(res, c):
    for (rtype, name, lang) in res:
        if rtype == RT_STRING:
            c.equal(hex(lang), hex(LANG_JA), "string block %d language" % name)
    table = parse_strings(res)
    for sid, text in STRINGS.items():
        c.equal(table.get(sid), text, "string %d" % sid)
    for sid, text in table.items():
        c.cp932(text, "string %d" % sid)


def check_version(res, c):
    data = find(res, RT_VERSION, 1, c)
    if data is None:
        return
    fixed, blocks, translations = parse_version(data)
    signature, _, fv_ms, fv_ls, pv_ms, pv_ls, _, _, file_os, file_type = fixed[:10]
    c.equal(hex(signature), hex(0xFEEF04BD), "version signature")
    c.equal((fv_ms, fv_ls), (0x0001000A, 0), "file version 1.10.0.0")
    c.equal((pv_ms, pv_ls), (0x0001000A, 0), "product version 1.10.0.0")
    c.equal(file_os, 0x4, "file OS VOS__WINDOWS32")
    c.equal(file_type, 0x1, "file type VFT_APP")
    c.equal(sorted(blocks), ["041104b0"], "string blocks")
    block = blocks.get("041104b0", {})
    for key, value in VERSION_STRINGS.items():
        c.equal(block.get(key), value, "version " + key)
    for key, value in block.items():
        c.cp932(value, "version " + key)
    c.equal(translations, [(0x0411, 1200)], "version translation")


def check_icon(res, c):
    data = find(res, RT_GROUP_ICON, 128, c)
    if data is None:
        return
    _, kind, count = struct.unpack_from("<HHH", data, 0)
    c.equal(kind, 1, "icon group 128 type")
    sizes = []
    for i in range(count):
        w, h, colours, _, _, bits, _, iid = struct.unpack_from("<BBBBHHIH", data, 6 + 14 * i)
        image = res.get((RT_ICON, iid, LANG_JA))
        if not c.expect(image is not None, "icon image %d missing" % iid):
            continue
        _, bw, bh, _, bcount = struct.unpack_from("<IiiHH", image, 0)
        sizes.append((bw, bh // 2))
        c.equal(bcount, 4, "icon %dx%d bits per pixel" % (bw, bh // 2))
        c.equal(((w or 256), colours), (bw, 16), "icon group entry %d" % (i + 1))
    c.equal(sorted(sizes), [(16, 16), (32, 32)], "icon 128 images")


# Per architecture: the PE machine, the optional header's magic (PE32 or
# PE32+) and where its data directories start.
ARCHES = {"x86": (0x14C, 0x10B, 96), "amd64": (0x8664, 0x20B, 112)}


SMI = "http://schemas.microsoft.com/SMI/%d/WindowsSettings"
# What the manifest's windowsSettings declare, as the items of each value
# (the values are not case-sensitive); None for a setting never declared.
# Dialogs are laid out at the display's DPI: per-monitor v2, else (Windows 10
# 1607) system-aware, and system-aware through dpiAware before that. No
# process code page is asked for: where Windows 10 would take one, it would
# be UTF-8, and every text and path of the program is code page 932.
WINDOWS_SETTINGS = [
    (SMI % 2005, "dpiAware", ["true"]),
    (SMI % 2016, "dpiAwareness", ["permonitorv2", "system"]),
    (SMI % 2019, "activeCodePage", None),
]


def check_windows_settings(text, c):
    root = ElementTree.fromstring(text)
    for ns, name, items in WINDOWS_SETTINGS:
        found = [e for e in root.iter("{%s}%s" % (ns, name))]
        if items is None:
            c.expect(not found, "manifest declares %s" % name)
        elif c.expect(len(found) == 1, "manifest declares %s %d times, want once" % (name, len(found))):
            got = [item.strip().lower() for item in (found[0].text or "").split(",")]
            c.equal(got, items, "manifest %s" % name)


def check_manifest(res, c, arch):
    hits = [data for (t, n, _), data in res.items() if t == RT_MANIFEST and n == 1]
    if not c.expect(hits, "manifest (RT_MANIFEST 1) missing"):
        return
    text = hits[0].decode("utf-8")
    for needle in ('level="asInvoker"', 'name="Microsoft.Windows.Common-Controls"', 'version="6.0.0.0"',
                   "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"):
        c.expect(needle in text, "manifest lacks %s" % needle)
    own = text[text.find("<assemblyIdentity"):]
    own = own[:own.find("/>")]
    c.expect('processorArchitecture="%s"' % arch in own, "manifest's own identity is not for %s: %s" % (arch, own))
    check_windows_settings(text, c)


def check_program(pe, c, arch):
    machine, magic, _ = ARCHES[arch]
    c.equal(hex(pe.machine), hex(machine), "machine (%s)" % arch)
    c.equal(hex(pe.magic), hex(magic), "optional header (%s)" % ("PE32+" if magic == 0x20B else "PE32"))
    c.equal(pe.subsystem, 2, "subsystem (Windows GUI)")
    dlls = pe.imports()
    c.expect(dlls, "no imported DLLs found")
    for dll in dlls:
        c.expect(dll.lower() in SYSTEM_DLLS, "imports %s, which is not a Windows system DLL" % dll)


# Every message box text, spelled here independently of the C++ sources: the
# program must hold each one in code page 932, NUL-terminated, byte for byte.
MESSAGES = [
    "メモリ不足のため処理できません.",
    "辞書ツールキットが起動中です.\nオプション辞書をインストールする場合は,辞書ツールキットを閉じて「OK」を押してください.",
    "Fumidori V1.0がインストールされていません.処理を中止します.",
    "Fumidori のインストール状態が不正です.処理を中止します.",
    "インストールする辞書がありません.処理を中止します.",
    "ユーザプロファイルのパスを取得できません.処理を中止します.",
    "オプション辞書の登録に失敗しました.処理を中止します.",
    "オプション辞書の設定に失敗しました.処理を中止します.",
    "インストールするオプション辞書と同じ名前の辞書がすでに登録されています．\n\n辞書名 : %s\n\n辞書を上書きしますか?",
    "オプション辞書のインストール先に同じ名前の辞書が存在しています．\n\n辞書名 : %s\n\n辞書を上書きしますか?",
    "辞書のコピーができません.\n辞書ツールキットを起動して以下のオプション辞書を削除してください.\n\n"
    "削除するオプション辞書 :  %s\n\nその後システムを再起動して,再度インストールしてください.",
    "登録できるオプション辞書数が上限に達しました.処理を中止します.",
    "インストールしたオプション辞書を有効にできません.\n辞書ツールキットを起動し,有効にするオプション辞書を選択してください.",
    "同時に使用することのできるオプション辞書数の上限(15)に達しました.\nインストールしたオプション辞書の一部が有効になっていません.\n"
    "辞書ツールキットを起動し,有効にするオプション辞書を選択してください.",
    "インストールする辞書のパスが長すぎます.処理を中止します.\n\n辞書 : %s",
    "インストール先の辞書のパスが長すぎます.処理を中止します.\n\n辞書 : %s",
    "インストールする辞書の一覧を取得できません.処理を中止します.",
]


def check_messages(data, c):
    for text in MESSAGES:
        c.expect(text.encode("cp932") + b"\0" in data, "message text missing or not code page 932: %r" % text[:24])


def main(argv):
    arch = "x86"
    if len(argv) == 3 and argv[0] == "--arch" and argv[1] in ARCHES:
        arch, argv = argv[1], argv[2:]
    if len(argv) != 1:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    with open(argv[0], "rb") as f:
        data = f.read()
    c = Checker()
    if data[:2] == b"MZ":
        pe = Pe(data)
        check_program(pe, c, arch)
        check_messages(data, c)
        res = pe.resources()
    else:
        res = read_res(data)
    for check in (check_dialogs, check_menu, check_accelerators, check_strings, check_version, check_icon,
                  functools.partial(check_manifest, arch=arch)):
        try:
            check(res, c)
        except (ValueError, struct.error, UnicodeError, IndexError, ElementTree.ParseError) as e:
            c.failures.append("%s: cannot read: %s" % (getattr(check, "func", check).__name__, e))
    for failure in c.failures:
        print("FAIL " + failure)
    if c.failures:
        print("%d resource check(s) failed in %s" % (len(c.failures), argv[0]))
        return 1
    print("resources of %s: all checks passed" % argv[0])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
