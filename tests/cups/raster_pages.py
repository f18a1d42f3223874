# SPDX-License-Identifier: MIT
"""Reads what a raster printer received, PWG, Apple or CUPS raster, and
prints one line for each page: its settings, then where its ink lies:
  N WIDTHxHEIGHT XRESxYRES space=S bits=B duplex=D tumble=T ink X0 Y0 X1 Y1
with X0..X1, Y0..Y1 the columns and lines that hold ink (X1, Y1 past the
last), or "ink none" for a blank page. Exits 1 on a raster it cannot read.
    raster_pages.py FILE"""
import struct
import sys

ADDITIVE = {0, 1, 2, 17, 18, 19, 20}  # white is all ones in these spaces


def fail(why):
    sys.stderr.write("raster_pages.py: %s\n" % why)
    sys.exit(1)


def pwg_header(data, at):
    """The settings of a CUPS or PWG page header of 1796 bytes."""
    if at + 1796 > len(data):
        fail("a page header is cut short")
    fields = struct.unpack_from(">36I", data, at + 256)
    h = {"duplex": fields[4], "xres": fields[5], "yres": fields[6],
         "tumble": fields[28], "width": fields[29], "height": fields[30],
         "bpc": fields[32], "bpp": fields[33], "bpl": fields[34],
         "order": fields[35]}
    h["space"] = struct.unpack_from(">I", data, at + 400)[0]
    return h, at + 1796


def apple_header(data, at):
    """The settings of an Apple raster page header of 32 bytes."""
    if at + 32 > len(data):
        fail("a page header is cut short")
    bpp, space, duplex = data[at], data[at + 1], data[at + 2]
    width, height, res = struct.unpack_from(">III", data, at + 12)
    spaces = {0: 18, 1: 19, 2: 16, 3: 20, 4: 0, 5: 1, 6: 6}
    h = {"duplex": int(duplex > 1), "tumble": int(duplex == 2),
         "xres": res, "yres": res, "width": width, "height": height,
         "bpp": bpp, "bpc": 8 if bpp >= 8 else bpp, "order": 0,
         "bpl": (width * bpp + 7) // 8, "space": spaces.get(space, space)}
    return h, at + 32


def read_line(data, at, h, pixel_bytes, white):
    """One line as the runs of its record give it, and where the next
    record starts."""
    line = bytearray()
    bpl = h["bpl"]
    while len(line) < bpl:
        if at >= len(data):
            fail("a line is cut short")
        count = data[at]
        at += 1
        if count == 128:
            line += white * (bpl - len(line))
        elif count < 128:
            line += data[at:at + pixel_bytes] * (count + 1)
            at += pixel_bytes
        else:
            n = (257 - count) * pixel_bytes
            line += data[at:at + n]
            at += n
    if len(line) != bpl:
        fail("a line's runs overrun it")
    return bytes(line), at


def ink_columns(line, h, white):
    """The first column with ink and the one after the last, or None."""
    if line.count(white[0]) == len(line):
        return None
    bits = h["bpp"] if h["order"] == 0 else h["bpc"]
    first = len(line) - len(line.lstrip(white))
    last = len(line.rstrip(white)) - 1
    if bits >= 8:
        step = bits // 8
        return first // step, last // step + 1
    per_byte = 8 // bits
    mask = (1 << bits) - 1
    blank = mask if white[0] else 0
    lo = [i for i in range(per_byte)
          if (line[first] >> (8 - bits * (i + 1))) & mask != blank][0]
    hi = [i for i in range(per_byte)
          if (line[last] >> (8 - bits * (i + 1))) & mask != blank][-1]
    return first * per_byte + lo, last * per_byte + hi + 1


def page(data, at, h):
    """Prints a page's line and returns where the next one starts."""
    white = b"\xff" if h["space"] in ADDITIVE else b"\x00"
    pixel_bytes = max(1, h["bpp"] // 8) if h["order"] == 0 else 1
    if h["order"] != 0 and h["bpp"] != h["bpc"]:
        fail("banded and planar pages are not read")
    ink = None
    y = 0
    while y < h["height"]:
        repeat = data[at] + 1 if at < len(data) else fail("a page is cut short")
        line, at = read_line(data, at + 1, h, pixel_bytes, white)
        columns = ink_columns(line, h, white)
        if columns:
            end = min(y + repeat, h["height"])
            if ink is None:
                ink = [columns[0], y, columns[1], end]
            ink = [min(ink[0], columns[0]), ink[1], max(ink[2], columns[1]), end]
        y += repeat
    return ink, at


def main():
    data = open(sys.argv[1], "rb").read()
    if data[:8] == b"UNIRAST\0":
        at, read_header = 12, apple_header
    elif data[:4] in (b"RaS2", b"RaS3"):
        at, read_header = 4, pwg_header
    else:
        fail("not PWG, Apple or CUPS raster")
    n = 0
    while at < len(data):
        h, at = read_header(data, at)
        if h["bpp"] == 0 or h["bpl"] * 8 < h["width"] * h["bpp"]:
            fail("a page header describes no page")
        ink, at = page(data, at, h)
        n += 1
        print("%d %dx%d %dx%d space=%d bits=%d duplex=%d tumble=%d ink %s" % (
            n, h["width"], h["height"], h["xres"], h["yres"], h["space"],
            h["bpp"], h["duplex"], h["tumble"],
            " ".join(map(str, ink)) if ink else "none"))


main()
