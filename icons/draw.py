#!/usr/bin/env python3
"""Draws the program's pictures.

The pictures are ours: a compact disc with a musical note (the program icon)
and an open yellow folder (the image beside the path box), in the 16 colours
of the classic VGA palette. At 16 and 32 pixels each pixel is decided at its
centre against simple shapes, so those files stay small and readable as text;
the same shapes make the scalable icon, from which the large sizes are made.

    python3 icons/draw.py      # rewrites icons/*.xpm, icons/trackfold.svg,
                               # the PNG files and icons/trackfold.ico

It needs rsvg-convert (Debian: librsvg2-bin) for the PNG files of 48, 64, 128
and 256 pixels; those of 16 and 32 are the pixel drawings.
The PNG files and the SVG are what Linux desktops install; the .ico (16, 32,
48 and 256 pixels) goes into the Windows program file.
"""
import math
import os
import struct
import subprocess
import zlib

PALETTE = {
    ' ': 'None',
    'k': '#000000', 'm': '#800000', 'g': '#008000', 'o': '#808000',
    'n': '#000080', 'p': '#800080', 't': '#008080', 's': '#C0C0C0',
    'd': '#808080', 'r': '#FF0000', 'l': '#00FF00', 'y': '#FFFF00',
    'b': '#0000FF', 'f': '#FF00FF', 'a': '#00FFFF', 'w': '#FFFFFF',
}


def inside_polygon(x, y, points):
    hit = False
    j = len(points) - 1
    for i, (xi, yi) in enumerate(points):
        xj, yj = points[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            hit = not hit
        j = i
    return hit


def disc(size):
    """A compact disc, silver with coloured sheen, and a musical note."""
    c = (size - 1) / 2
    outer = size / 2 - 0.3
    hub = size * 0.17
    hole = size * 0.07
    s = size / 32

    def note(x, y):
        # Head: a slanted ellipse low on the right; stem up from its right side;
        # flag hanging from the top of the stem.
        hx, hy = 19.5 * s, 25 * s
        u, v = x - hx, y - hy
        a = math.radians(-25)
        ru = u * math.cos(a) - v * math.sin(a)
        rv = u * math.sin(a) + v * math.cos(a)
        head = (ru / (4.2 * s)) ** 2 + (rv / (2.9 * s)) ** 2 <= 1
        stem = 22.2 * s <= x <= 24.2 * s and 6 * s <= y <= 25 * s
        flag = inside_polygon(x, y, [(23 * s, 6 * s), (29.5 * s, 13 * s), (28.5 * s, 18 * s),
                                     (27.5 * s, 13.5 * s), (23 * s, 10 * s)])
        return head or stem or flag

    def note_edge(x, y):
        return any(note(x + dx, y + dy) for dx in (-1, 0, 1) for dy in (-1, 0, 1))

    rows = []
    for py in range(size):
        row = ''
        for px in range(size):
            x, y = px + 0.5, py + 0.5
            r = math.hypot(px - c, py - c)
            if note(x, y):
                ch = 'k'
            elif note_edge(x, y) and r <= outer:
                ch = 'w'
            elif r > outer:
                ch = ' '
            elif r > outer - 1:
                ch = 'd'
            elif r <= hole:
                ch = ' '
            elif r <= hole + 1:
                ch = 'd'
            elif r <= hub:
                ch = 'w'
            elif r <= hub + 1 and size > 16:
                ch = 's'
            else:
                # Light caught by the tracks: narrow coloured wedges around the
                # two diagonals, silver elsewhere.
                angle = math.degrees(math.atan2(py - c, px - c)) % 180
                if 30 <= angle < 38:
                    ch = 'a'
                elif 38 <= angle < 46:
                    ch = 'w'
                elif 46 <= angle < 54:
                    ch = 'f'
                elif 54 <= angle < 60:
                    ch = 'y'
                else:
                    ch = 's'
            row += ch
        rows.append(row)
    return rows


def folder(size=32):
    """An open yellow folder: the back with its tab, the front flap tipped open."""
    back = [(2, 7), (11, 7), (13, 9.5), (26, 9.5), (26, 27), (2, 27)]
    paper = [(5, 12.5), (24, 12.5), (24, 25), (5, 25)]
    front = [(7.5, 15), (30.5, 15), (26, 27.5), (2, 27.5)]

    def edge(points, x, y):
        return inside_polygon(x, y, points) and not all(
            inside_polygon(x + dx, y + dy, points) for dx in (-1, 0, 1) for dy in (-1, 0, 1))

    rows = []
    for py in range(size):
        row = ''
        for px in range(size):
            x, y = px + 0.5, py + 0.5
            if inside_polygon(x, y, front):
                ch = 'k' if edge(front, x, y) else ('w' if py == 16 else 'y')
            elif inside_polygon(x, y, paper):
                ch = 'd' if edge(paper, x, y) else 'w'
            elif inside_polygon(x, y, back):
                ch = 'k' if edge(back, x, y) else 'o'
            else:
                ch = ' '
            row += ch
        rows.append(row)
    return rows


# The disc's measures in a 32-unit square, the same as disc(32) uses.
DISC = {'outer': 15.7, 'hub': 32 * 0.17, 'hole': 32 * 0.07}
# Coloured wedges of light (degrees, measured clockwise from the right, and
# the opposite wedge too), as in disc().
SHEEN = [(30, 38, 'a'), (38, 46, 'w'), (46, 54, 'f'), (54, 60, 'y')]


def disc_svg():
    """The compact disc with its note as a scalable picture."""
    c, outer, hub, hole = 16, DISC['outer'], DISC['hub'], DISC['hole']

    def colour(ch):
        return PALETTE[ch]

    def wedge(start, end):
        points = []
        for angle in (start, end):
            a = math.radians(angle)
            points.append((c + (outer + 1) * math.cos(a), c + (outer + 1) * math.sin(a)))
        (x1, y1), (x2, y2) = points
        return f'M{c} {c}L{x1:.3f} {y1:.3f}L{x2:.3f} {y2:.3f}Z'

    wedges = '\n'.join(
        f'    <path fill="{colour(ch)}" d="{wedge(a, b)}{wedge(a + 180, b + 180)}"/>'
        for a, b, ch in SHEEN)
    note = ('<ellipse rx="4.2" ry="2.9" transform="translate(19.5 25) rotate(25)"/>'
            '<rect x="22.2" y="6" width="2" height="19"/>'
            '<polygon points="23,6 29.5,13 28.5,18 27.5,13.5 23,10"/>')
    return f"""<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">
  <title>Trackfold</title>
  <defs>
    <clipPath id="disc"><circle cx="{c}" cy="{c}" r="{outer}"/></clipPath>
    <mask id="hole">
      <rect width="32" height="32" fill="#FFFFFF"/>
      <circle cx="{c}" cy="{c}" r="{hole:.2f}" fill="#000000"/>
    </mask>
  </defs>
  <g mask="url(#hole)">
    <g clip-path="url(#disc)">
    <circle cx="{c}" cy="{c}" r="{outer}" fill="{colour('s')}"/>
{wedges}
    </g>
    <circle cx="{c}" cy="{c}" r="{outer - 0.5}" fill="none" stroke="{colour('d')}"/>
    <circle cx="{c}" cy="{c}" r="{hub + 0.5:.2f}" fill="{colour('s')}"/>
    <circle cx="{c}" cy="{c}" r="{hub:.2f}" fill="{colour('w')}"/>
    <circle cx="{c}" cy="{c}" r="{hole + 0.5:.2f}" fill="none" stroke="{colour('d')}"/>
    <g clip-path="url(#disc)" fill="{colour('w')}" stroke="{colour('w')}" stroke-width="2"
       stroke-linejoin="round">{note}</g>
    <g fill="{colour('k')}">{note}</g>
  </g>
</svg>
"""


def xpm_pixels(rows):
    """RGBA bytes, top row first, of a drawing in palette letters."""
    out = bytearray()
    for row in rows:
        for ch in row:
            if PALETTE[ch] == 'None':
                out += b'\0\0\0\0'
            else:
                out += bytes.fromhex(PALETTE[ch][1:]) + b'\xff'
    return bytes(out)


def ico_bitmap(rows):
    """An icon entry as Windows keeps small ones: a 32-bit bitmap, bottom row
    first, then the 1-bit mask (set where transparent)."""
    size = len(rows)
    rgba = xpm_pixels(rows)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = bytearray()
    mask = bytearray()
    stride = ((size + 31) // 32) * 4
    for y in reversed(range(size)):
        line = bytearray(stride)
        for x in range(size):
            r, g, b, a = rgba[(y * size + x) * 4:(y * size + x) * 4 + 4]
            colour += bytes((b, g, r, a))
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return header + bytes(colour) + bytes(mask)


def write_png(path, rows):
    size = len(rows)
    rgba = xpm_pixels(rows)
    raw = b''.join(b'\0' + rgba[y * size * 4:(y + 1) * size * 4] for y in range(size))

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff))

    with open(path, 'wb') as out:
        out.write(b'\x89PNG\r\n\x1a\n' +
                  chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)) +
                  chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def write_ico(path, entries):
    """entries: (size, bytes of a bitmap entry or of a PNG file)."""
    data = struct.pack('<HHH', 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    body = b''
    for size, blob in entries:
        side = 0 if size >= 256 else size
        data += struct.pack('<BBBBHHII', side, side, 0, 0, 1, 32, len(blob), offset + len(body))
        body += blob
    with open(path, 'wb') as out:
        out.write(data + body)


def write_xpm(path, name, rows):
    used = sorted({ch for row in rows for ch in row})
    size = len(rows)
    lines = ['/* XPM */', f'static const char* const {name}[] = {{',
             f'"{size} {size} {len(used)} 1",']
    lines += [f'"{ch} c {PALETTE[ch]}",' for ch in used]
    lines += [f'"{row}",' for row in rows[:-1]] + [f'"{rows[-1]}"', '};']
    with open(path, 'w', encoding='ascii') as out:
        out.write('\n'.join(lines) + '\n')


if __name__ == '__main__':
    here = os.path.dirname(os.path.abspath(__file__))
    small = {32: disc(32), 16: disc(16)}
    for size, rows in small.items():
        write_xpm(os.path.join(here, f'trackfold-{size}.xpm'), f'trackfold_{size}', rows)
        write_png(os.path.join(here, f'trackfold-{size}.png'), rows)
    write_xpm(os.path.join(here, 'folder-32.xpm'), 'folder_32', folder(32))
    svg = os.path.join(here, 'trackfold.svg')
    with open(svg, 'w', encoding='utf-8') as out:
        out.write(disc_svg())
    for size in (48, 64, 128, 256):
        subprocess.run(['rsvg-convert', '--width', str(size), '--height', str(size),
                        '--output', os.path.join(here, f'trackfold-{size}.png'), svg], check=True)
    large = {}
    for size in (48, 256):
        with open(os.path.join(here, f'trackfold-{size}.png'), 'rb') as png:
            large[size] = png.read()
    write_ico(os.path.join(here, 'trackfold.ico'),
              [(16, ico_bitmap(small[16])), (32, ico_bitmap(small[32])),
               (48, large[48]), (256, large[256])])
