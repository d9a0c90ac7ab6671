#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Draws the program's icon, a framed page, in the 16 colours of the standard palette and
writes it as XPM images of 32 x 32 and 16 x 16 pixels (C source that Qt reads directly)."""

PALETTE = {
    'k': '#000000', 'm': '#800000', 'g': '#008000', 'o': '#808000', 'n': '#000080', 'p': '#800080',
    't': '#008080', 's': '#C0C0C0', 'd': '#808080', 'r': '#FF0000', 'l': '#00FF00', 'y': '#FFFF00',
    'b': '#0000FF', 'f': '#FF00FF', 'a': '#00FFFF', 'w': '#FFFFFF',
}


def draw(size):
    grid = [[' '] * size for _ in range(size)]

    def rect(x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                grid[y][x] = c

    u = size // 16  # 1 at 16 px, 2 at 32 px
    # Window: shadow, black border, navy title bar with a red close mark.
    rect(1 * u + 1, 2 * u + 1, 15 * u, 15 * u, 'd')
    rect(0, 1 * u, 15 * u - 1, 15 * u - 1, 'k')
    rect(1, 1 * u + 1, 15 * u - 2, 15 * u - 2, 'w')
    rect(1, 1 * u + 1, 15 * u - 2, 3 * u, 'n')
    rect(13 * u - 1, 2 * u - (1 if u > 1 else 0), 14 * u - 1, 2 * u + (0 if u > 1 else 0), 'r')
    # Menu frame on the left: silver, with a red heading and teal entries.
    rect(1, 3 * u + 1, 5 * u, 15 * u - 2, 's')
    rect(5 * u + 1, 3 * u + 1, 5 * u + 1, 15 * u - 2, 'd')
    rect(1 * u, 5 * u, 4 * u, 5 * u + u - 1, 'r')
    for row in (7, 9, 11, 13):
        rect(1 * u, row * u, 4 * u - (u if row % 4 == 1 else 0), row * u + u - 1, 't')
    # Section frame: blue links, each underlined in navy at the larger size.
    for row, length in ((5, 7), (7, 5), (9, 6), (11, 4), (13, 6)):
        rect(7 * u, row * u, (7 + length) * u - 1, row * u + u - 1, 'b')
        if u > 1:
            rect(7 * u, row * u + u - 1, (7 + length) * u - 1, row * u + u - 1, 'n')
    return grid


def xpm(name, grid):
    used = sorted({c for row in grid for c in row} - {' '})
    lines = [f'static const char* const {name}[] = {{',
             f'"{len(grid[0])} {len(grid)} {len(used) + 1} 1",', '"  c None",']
    lines += [f'"{c} c {PALETTE[c]}",' for c in used]
    lines += [f'"{"".join(row)}",' for row in grid]
    lines[-1] = lines[-1].rstrip(',')
    lines.append('};')
    return '/* XPM */\n' + '\n'.join(lines) + '\n'


if __name__ == '__main__':
    import pathlib
    here = pathlib.Path(__file__).parent
    for size in (32, 16):
        (here / f'trevanto_{size}.xpm').write_text(xpm(f'trevanto_{size}', draw(size)))
