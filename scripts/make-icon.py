#!/usr/bin/env python3
"""Draws the program's icon, 32 x 32 and 16 x 16 in the 16 standard colours:
a network packet on a blue tile, with a yellow arrow beneath it for its size.
Writes ui/win32/quillon-mtu.ico."""
import struct
import sys

PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
           (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
           (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, NAVY, GREY, YELLOW, CYAN, WHITE = 0, 4, 8, 11, 14, 15
CLEAR = None


def draw(size):
    px = [[CLEAR] * size for _ in range(size)]

    def rect(x0, y0, x1, y1, colour):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                px[y][x] = colour

    last = size - 1
    if size == 32:
        tile, packet, header, body, lines, arrow, heads = 1, (5, 7, 26, 20), 11, 19, ((8, 14, 18, 15), (8, 17, 14, 17)), (6, 25, 25), 2
    else:
        tile, packet, header, body, lines, arrow, heads = 0, (2, 3, 13, 10), 5, 9, ((4, 7, 9, 7),), (2, 13, 13), 1
    # The tile, with its corners cut round.
    rect(tile, tile, last - tile, last - tile, BLACK)
    rect(tile + 1, tile + 1, last - tile - 1, last - tile - 1, NAVY)
    for (cx, cy) in ((tile, tile), (last - tile, tile), (tile, last - tile), (last - tile, last - tile)):
        px[cy][cx] = CLEAR
    # The packet: a header band above its body.
    x0, y0, x1, y1 = packet
    rect(x0, y0, x1, y1, BLACK)
    rect(x0 + 1, y0 + 1, x1 - 1, header, CYAN)
    rect(x0 + 1, header + 1, x1 - 1, body, WHITE)
    for line in lines:
        rect(*line, GREY)
    # The arrow that measures it, with a head at each end.
    a0, a1, row = arrow
    rect(a0, row, a1, row, YELLOW)
    for d in range(1, heads + 1):
        for x in (a0 + d, a1 - d):
            px[row - d][x] = YELLOW
            px[row + d][x] = YELLOW
    return px


def image(size):
    px = draw(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    xor = b''
    mask = b''
    for row in reversed(px):
        line = b''
        for x in range(0, size, 2):
            hi = row[x] if row[x] is not None else 0
            lo = row[x + 1] if row[x + 1] is not None else 0
            line += bytes([(hi << 4) | lo])
        xor += line + b'\0' * ((4 - len(line) % 4) % 4)
        bits = 0
        mline = b''
        for x in range(size):
            bits = (bits << 1) | (1 if row[x] is None else 0)
            if x % 8 == 7:
                mline += bytes([bits])
                bits = 0
        mask += mline + b'\0' * ((4 - len(mline) % 4) % 4)
    return header + palette + xor + mask


def main(path):
    sizes = (32, 16)
    images = [image(n) for n in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', n, n, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    with open(path, 'wb') as f:
        f.write(out + b''.join(images))


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'ui/win32/quillon-mtu.ico')
