"""The update progress window's images (300 x 80): the title strip with its download mark, the
close button, and the bar's track and fill."""
from PIL import Image, ImageDraw

import art_common as art

W = 300
TITLE_H = 26
BAR = (278, 18)


def title_strip():
    strip = art.vertical_gradient((W, TITLE_H), (0x4A, 0x86, 0xCC), (0x2F, 0x63, 0xA6))
    draw = ImageDraw.Draw(strip)
    draw.line([(0, TITLE_H - 1), (W, TITLE_H - 1)], fill=(0x25, 0x50, 0x88, 255))
    # A download mark: an arrow into a tray, left of the title text.
    ink = (0xFF, 0xFF, 0xFF, 255)
    draw.rectangle([14, 5, 17, 12], fill=ink)
    draw.polygon([(10, 12), (21, 12), (15.5, 18)], fill=ink)
    draw.line([(9, 20), (22, 20)], fill=(0xFF, 0xE0, 0x8A, 255), width=2)
    art.save(strip, "update/title.png")


def close_button():
    """A 20 x 18 close button with four states, drawn for the blue strip."""
    faces = []
    for state in range(4):
        face = Image.new("RGBA", (20, 18), (0, 0, 0, 0))
        draw = ImageDraw.Draw(face)
        if state == 1:
            draw.rounded_rectangle([0, 0, 19, 17], 3, fill=(0xE0, 0x40, 0x40, 255))
        elif state == 2:
            draw.rounded_rectangle([0, 0, 19, 17], 3, fill=(0xB0, 0x2C, 0x2C, 255))
        ink = (0xC8, 0xD4, 0xE4, 255) if state == 3 else (0xFF, 0xFF, 0xFF, 255)
        draw.line([(6, 5), (13, 12)], fill=ink, width=2)
        draw.line([(13, 5), (6, 12)], fill=ink, width=2)
        faces.append(face)
    art.save(art.four_state_strip(faces), "update/btn_close.png")


def bar_track():
    w, h = BAR
    track = Image.new("RGBA", BAR, (0, 0, 0, 0))
    face = art.vertical_gradient(BAR, (0xDD, 0xE4, 0xEC), (0xF4, 0xF7, 0xFA))
    mask = Image.new("L", BAR, 0)
    ImageDraw.Draw(mask).rounded_rectangle([0, 0, w - 1, h - 1], 2, fill=255)
    track.paste(face, (0, 0), mask)
    ImageDraw.Draw(track).rounded_rectangle([0, 0, w - 1, h - 1], 2,
                                            outline=(0xA9, 0xB8, 0xCA, 255))
    art.save(track, "update/bar_track.png")


def bar_fill():
    """The filled part: stretched over the done share of the bar, so it is shaded top to bottom
    only: a green body with a light gloss on its upper half and a darker edge above and below."""
    w, h = 8, BAR[1]
    fill = art.vertical_gradient((w, h), (0x8F, 0xD8, 0x9F), (0x2F, 0x93, 0x4E))
    gloss = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    draw = ImageDraw.Draw(gloss)
    for y in range(1, h // 2):
        draw.line([(0, y), (w, y)], fill=(0xFF, 0xFF, 0xFF, int(80 * (1 - y / (h / 2)))))
    fill = Image.alpha_composite(fill, gloss)
    edge = ImageDraw.Draw(fill)
    edge.line([(0, 0), (w, 0)], fill=(0x2A, 0x7D, 0x44, 255))
    edge.line([(0, h - 1), (w, h - 1)], fill=(0x24, 0x6B, 0x3A, 255))
    art.save(fill, "update/bar_fill.png")


if __name__ == "__main__":
    title_strip()
    close_button()
    bar_track()
    bar_fill()
