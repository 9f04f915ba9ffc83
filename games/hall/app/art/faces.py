"""The 70 player faces "face/k000.bmp" .. "face/k069.bmp" (64 x 64): simple drawn portraits,
each from its own seed, so that every face id the gate sends names a face of its own."""
import random

from PIL import Image, ImageDraw

import art_common as art

SIZE = 64
BACKS = [(0xCF, 0xE3, 0xF7), (0xF7, 0xE1, 0xCF), (0xDD, 0xF0, 0xD8), (0xEE, 0xDD, 0xF4),
         (0xF9, 0xF1, 0xC8), (0xD8, 0xEE, 0xEE), (0xF4, 0xD6, 0xDC)]
SKINS = [(0xFB, 0xDD, 0xC4), (0xF1, 0xC8, 0xA4), (0xDE, 0xAE, 0x86), (0xB8, 0x86, 0x62),
         (0x8D, 0x62, 0x45)]
HAIRS = [(0x2B, 0x22, 0x1E), (0x5A, 0x3A, 0x22), (0x8C, 0x5A, 0x2B), (0xC9, 0x9A, 0x4B),
         (0x6B, 0x6B, 0x70), (0xA8, 0x3B, 0x2A)]
SHIRTS = [art.BLUE, art.ORANGE, art.GREEN, (0x8E, 0x5B, 0xB8), (0xC0, 0x39, 0x55), (0x44, 0x55, 0x66)]


def face(index):
    rng = random.Random(9000 + index)
    back = rng.choice(BACKS)
    skin = rng.choice(SKINS)
    hair = rng.choice(HAIRS)
    shirt = rng.choice(SHIRTS)
    style = index % 5
    image = art.vertical_gradient((SIZE, SIZE), art.shade(back, 1.06), art.shade(back, 0.92))
    draw = ImageDraw.Draw(image)
    # Long hair falls behind the head onto the shoulders.
    if style == 1:
        draw.rounded_rectangle([15, 16, 49, 52], 10, fill=hair + (255,))
    # Shoulders.
    draw.ellipse([8, 46, 56, 86], fill=shirt + (255,), outline=art.shade(shirt, 0.7) + (255,))
    draw.polygon([(27, 47), (32, 55), (37, 47)], fill=(0xFF, 0xFF, 0xFF, 255))
    # Neck and head.
    draw.rectangle([27, 38, 37, 48], fill=art.shade(skin, 0.92) + (255,))
    draw.ellipse([18, 12, 46, 44], fill=skin + (255,), outline=art.shade(skin, 0.8) + (255,))
    # Hair on top, by style.
    if style in (0, 1):
        draw.chord([17, 9, 47, 35], 180, 360, fill=hair + (255,))
    elif style == 2:  # a cap
        cap = rng.choice(SHIRTS)
        draw.chord([16, 8, 48, 34], 180, 360, fill=cap + (255,))
        draw.rectangle([14, 20, 50, 23], fill=art.shade(cap, 0.8) + (255,))
    elif style == 3:  # a bun
        draw.ellipse([26, 3, 38, 15], fill=hair + (255,))
        draw.chord([17, 9, 47, 33], 180, 360, fill=hair + (255,))
    else:  # spiky
        for x in range(18, 46, 6):
            draw.polygon([(x, 22), (x + 3, 8 + rng.randint(0, 4)), (x + 7, 22)], fill=hair + (255,))
        draw.chord([18, 11, 46, 33], 180, 360, fill=hair + (255,))
    # Eyes, brows, cheeks and a mouth.
    eye_y = 27 + rng.randint(-1, 1)
    for x in (26, 38):
        draw.ellipse([x - 2, eye_y - 2, x + 2, eye_y + 2], fill=(0x22, 0x22, 0x2A, 255))
        draw.point((x + 1, eye_y - 1), fill=(0xFF, 0xFF, 0xFF, 255))
        draw.line([(x - 3, eye_y - 5), (x + 3, eye_y - 5 - rng.randint(0, 1))],
                  fill=art.shade(hair, 0.9) + (255,), width=1)
    for x in (23, 41):
        draw.ellipse([x - 3, 32, x + 3, 36], fill=(0xF4, 0x9A, 0x9A, 110))
    mood = rng.randint(0, 2)
    if mood == 0:
        draw.arc([27, 30, 37, 39], 20, 160, fill=(0x8A, 0x3A, 0x3A, 255), width=2)
    elif mood == 1:
        draw.chord([27, 32, 37, 40], 0, 180, fill=(0xB0, 0x40, 0x40, 255))
    else:
        draw.line([(29, 37), (35, 37)], fill=(0x8A, 0x3A, 0x3A, 255), width=2)
    if rng.random() < 0.2:  # glasses
        for x in (26, 38):
            draw.ellipse([x - 5, eye_y - 4, x + 5, eye_y + 4], outline=(0x33, 0x33, 0x33, 255))
        draw.line([(31, eye_y), (33, eye_y)], fill=(0x33, 0x33, 0x33, 255))
    return image


if __name__ == "__main__":
    for i in range(70):
        art.save(face(i), "face/k%03d.bmp" % i)
