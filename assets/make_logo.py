#!/usr/bin/env python3
"""Draws Quorvil's logo and writes it as assets/logo.png.

The picture: a flat-topped hexagon, its rim a yellow-to-green gradient like the
progress ring, on a dark translucent face, with a light hash sign in the middle.
105 x 92 pixels, RGBA with 8 bits a channel, transparent around the hexagon,
anti-aliased by supersampling. The file carries gAMA, cHRM and an iCCP chunk
holding a small RGB display profile built here (sRGB primaries, gamma 2.2).

Usage: python3 assets/make_logo.py [output.png]
"""
import math
import struct
import sys
import zlib

WIDTH, HEIGHT = 105, 92
SAMPLES = 6  # per pixel in each direction


# ---- geometry ---------------------------------------------------------------

def hexagon(cx, cy, radius):
    """Corners of a flat-topped hexagon, clockwise from the right."""
    return [(cx + radius * math.cos(math.radians(60 * k)), cy + radius * math.sin(math.radians(60 * k)))
            for k in range(6)]


def parallelogram(cx, cy, half_w, half_h, slant):
    """A bar centred at (cx, cy); its top edge shifted right by `slant`."""
    return [(cx - half_w + slant, cy - half_h), (cx + half_w + slant, cy - half_h),
            (cx + half_w - slant, cy + half_h), (cx - half_w - slant, cy + half_h)]


def inside(poly, x, y):
    result = False
    j = len(poly) - 1
    for i in range(len(poly)):
        xi, yi = poly[i]
        xj, yj = poly[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            result = not result
        j = i
    return result


CX, CY = WIDTH / 2, HEIGHT / 2
OUTER = hexagon(CX, CY, 52.0)
INNER = hexagon(CX, CY, 44.5)
SHADE = hexagon(CX + 1.5, CY + 1.5, 52.0)

# The hash sign: two slanted uprights and two crossbars.
BAR = 3.6
HASH = [
    parallelogram(CX - 9.5, CY, BAR, 22.0, 4.0),
    parallelogram(CX + 9.5, CY, BAR, 22.0, 4.0),
    parallelogram(CX, CY - 8.5, 21.5, BAR, 0.0),
    parallelogram(CX, CY + 8.5, 21.5, BAR, 0.0),
]
HASH_SHADOW = [[(x + 1.2, y + 1.6) for x, y in bar] for bar in HASH]


def rim_colour(x, y):
    """Yellow at the top left to green at the bottom right."""
    t = ((x - 8) * 0.72 + (y - 2) * 0.69) / (0.72 * 97 + 0.69 * 88)
    t = min(1.0, max(0.0, t))
    yellow, green = (255, 226, 0), (0, 214, 64)
    return tuple(a + (b - a) * t for a, b in zip(yellow, green))


def face_colour(x, y):
    t = min(1.0, max(0.0, (y - 4) / 84))
    top, bottom = (46, 58, 54), (22, 30, 28)
    return tuple(a + (b - a) * t for a, b in zip(top, bottom))


def layers_at(x, y):
    """The layers over one sample point, bottom first: (r, g, b, a) with a in 0..1."""
    result = []
    if inside(SHADE, x, y) and not inside(OUTER, x, y):
        result.append((0, 0, 0, 0.35))
    if inside(OUTER, x, y):
        if inside(INNER, x, y):
            result.append(face_colour(x, y) + (0.94,))
        else:
            result.append(rim_colour(x, y) + (1.0,))
    if any(inside(bar, x, y) for bar in HASH_SHADOW):
        result.append((0, 0, 0, 0.45))
    if any(inside(bar, x, y) for bar in HASH):
        result.append((236, 242, 238, 1.0))
    return result


def over(dst, src):
    """Porter-Duff 'over' in straight alpha."""
    sr, sg, sb, sa = src
    dr, dg, db, da = dst
    a = sa + da * (1 - sa)
    if a == 0:
        return (0.0, 0.0, 0.0, 0.0)
    mix = lambda s, d: (s * sa + d * da * (1 - sa)) / a
    return (mix(sr, dr), mix(sg, dg), mix(sb, db), a)


def render():
    pixels = bytearray()
    for py in range(HEIGHT):
        pixels.append(0)  # filter type None
        for px in range(WIDTH):
            # Average premultiplied colour over the samples, then unpremultiply.
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = px + (sx + 0.5) / SAMPLES
                    y = py + (sy + 0.5) / SAMPLES
                    colour = (0.0, 0.0, 0.0, 0.0)
                    for layer in layers_at(x, y):
                        colour = over(colour, layer)
                    acc[0] += colour[0] * colour[3]
                    acc[1] += colour[1] * colour[3]
                    acc[2] += colour[2] * colour[3]
                    acc[3] += colour[3]
            n = SAMPLES * SAMPLES
            alpha = acc[3] / n
            if alpha <= 0:
                pixels += bytes(4)
                continue
            rgb = [min(255, max(0, round(c / acc[3]))) for c in acc[:3]]
            pixels += bytes(rgb + [min(255, round(alpha * 255))])
    return bytes(pixels)


# ---- the colour profile -----------------------------------------------------

def s15f16(value):
    return struct.pack(">i", round(value * 65536))


def xyz_tag(x, y, z):
    return b"XYZ " + bytes(4) + s15f16(x) + s15f16(y) + s15f16(z)


def description_tag(text):
    ascii_text = text.encode("ascii") + b"\0"
    return (b"desc" + bytes(4) + struct.pack(">I", len(ascii_text)) + ascii_text
            + struct.pack(">II", 0, 0)       # no Unicode description
            + struct.pack(">HB", 0, 0) + bytes(67))  # no ScriptCode description


def text_tag(text):
    return b"text" + bytes(4) + text.encode("ascii") + b"\0"


def gamma_curve(gamma):
    return b"curv" + bytes(4) + struct.pack(">IH", 1, round(gamma * 256)) + bytes(2)  # padded to 4


def icc_profile():
    """An ICC v2 RGB display profile: sRGB primaries (adapted to D50), D50 white, gamma 2.2."""
    d50 = (0.9642, 1.0, 0.8249)
    curve = gamma_curve(2.2)
    tags = [
        (b"desc", description_tag("Quorvil RGB (sRGB primaries, gamma 2.2)")),
        (b"cprt", text_tag("No copyright, use freely")),
        (b"wtpt", xyz_tag(*d50)),
        (b"rXYZ", xyz_tag(0.4361, 0.2225, 0.0139)),
        (b"gXYZ", xyz_tag(0.3851, 0.7169, 0.0971)),
        (b"bXYZ", xyz_tag(0.1431, 0.0606, 0.7141)),
        (b"rTRC", curve),
        (b"gTRC", curve),
        (b"bTRC", curve),
    ]
    table_size = 4 + 12 * len(tags)
    offset = 128 + table_size
    table = struct.pack(">I", len(tags))
    data = b""
    shared = {}
    for signature, body in tags:
        if body in shared:  # the three curves share one element
            table += struct.pack(">4sII", signature, shared[body], len(body))
            continue
        while (offset + len(data)) % 4:
            data += b"\0"
        where = offset + len(data)
        shared[body] = where
        table += struct.pack(">4sII", signature, where, len(body))
        data += body
    while len(data) % 4:
        data += b"\0"
    size = 128 + table_size + len(data)
    header = (struct.pack(">I", size) + bytes(4)          # size, preferred CMM
              + struct.pack(">I", 0x02100000)              # version 2.1
              + b"mntr" + b"RGB " + b"XYZ "                # display, RGB data, XYZ connection space
              + struct.pack(">6H", 2026, 1, 1, 0, 0, 0)   # creation date
              + b"acsp" + bytes(4)                         # signature, primary platform
              + struct.pack(">I", 0) + bytes(4) + bytes(4)  # flags, manufacturer, model
              + bytes(8) + struct.pack(">I", 0)            # attributes, perceptual intent
              + s15f16(d50[0]) + s15f16(d50[1]) + s15f16(d50[2])
              + bytes(4) + bytes(16) + bytes(28))          # creator, id, reserved
    assert len(header) == 128
    return header + table + data


# ---- the PNG file -------------------------------------------------------------

def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)


def png(pixels):
    ihdr = struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 6, 0, 0, 0)  # 8 bits, RGBA
    gama = struct.pack(">I", 45455)  # 1 / 2.2
    chrm = struct.pack(">8I", 31270, 32900, 64000, 33000, 30000, 60000, 15000, 6000)  # sRGB's
    iccp = b"Quorvil RGB\0" + b"\0" + zlib.compress(icc_profile(), 9)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"gAMA", gama) + chunk(b"cHRM", chrm)
            + chunk(b"iCCP", iccp) + chunk(b"IDAT", zlib.compress(pixels, 9)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else __file__.rsplit("/", 1)[0] + "/logo.png"
    with open(out, "wb") as f:
        f.write(png(render()))
