#!/usr/bin/env python3
"""Draws the program's pictures as 16-colour XPM files.

The pictures are ours: a compact disc with a musical note (the program icon, at
32 and 16 pixels) and an open yellow folder (the image beside the path box).
Each pixel is decided at its centre against simple shapes, in the 16 colours
of the classic VGA palette, so the files stay small and readable as text.

    python3 icons/draw.py      # rewrites icons/*.xpm
    cd icons && for s in 16 32; do convert trackfold-$s.xpm -strip trackfold-$s.png; done
    convert trackfold-16.xpm trackfold-32.xpm -strip trackfold.ico

The PNG files are what Linux desktops install; the .ico goes into the Windows
program file.
"""
import math
import os

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
    write_xpm(os.path.join(here, 'trackfold-32.xpm'), 'trackfold_32', disc(32))
    write_xpm(os.path.join(here, 'trackfold-16.xpm'), 'trackfold_16', disc(16))
    write_xpm(os.path.join(here, 'folder-32.xpm'), 'folder_32', folder(32))
