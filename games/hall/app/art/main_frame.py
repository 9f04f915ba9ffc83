"""The main window's images: the title bar, the user panel, the window buttons, the group-bar
option looks, the link buttons and the About box's banner. The card fans are the login dialog's
cards (login.py), so the hall's windows share one mark."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from PIL import Image, ImageDraw  # noqa: E402

import art_common as art  # noqa: E402
from login import card_fan  # noqa: E402

W = 600


def fan_mark(height, cards=(("A", "spade"), ("K", "heart"), ("Q", "club"))):
    """A small fan of playing cards `height` pixels high, cropped to what it covers."""
    n = len(cards)
    angles = [24 - 48 * i / (n - 1) for i in range(n)]
    spread = [int(-30 + 60 * i / (n - 1)) for i in range(n)]
    fan = card_fan(list(cards), angles, spread)
    fan = fan.crop(fan.getbbox())
    width = max(1, round(fan.size[0] * height / fan.size[1]))
    return fan.resize((width, height), Image.LANCZOS)


def title_bar():
    """The title bar's background: it stretches with the window, so it holds no mark."""
    bar = art.vertical_gradient((W, 36), (0x4A, 0x86, 0xCC), (0x2F, 0x63, 0xA6))
    draw = ImageDraw.Draw(bar)
    draw.line([(0, 35), (W, 35)], fill=(0x25, 0x50, 0x88, 255))
    art.save(bar, "main/title_bar.png")


def title_mark():
    """The hall's mark at the left of the title bar, in a 44 x 36 cell of its own."""
    cell = Image.new("RGBA", (44, 36), (0, 0, 0, 0))
    mark = fan_mark(28)
    cell.alpha_composite(mark, ((44 - mark.size[0]) // 2, 4))
    art.save(cell, "main/title_mark.png")


def glyph_button(kind):
    """A 28 x 24 window button with four states; `kind` is close, max or restore."""
    faces = []
    for back in [None, (0xFF, 0xFF, 0xFF, 60), (0x00, 0x00, 0x00, 50), None]:
        face = Image.new("RGBA", (28, 24), (0, 0, 0, 0))
        draw = ImageDraw.Draw(face)
        if kind == "close" and back is not None and back[3] == 60:
            back = (0xE0, 0x40, 0x40, 255)
        if back:
            draw.rounded_rectangle([1, 1, 26, 22], 3, fill=back)
        ink = (0xFF, 0xFF, 0xFF, 255) if back or len(faces) == 0 else (0xC8, 0xD4, 0xE4, 255)
        if kind == "close":
            draw.line([(9, 7), (18, 16)], fill=ink, width=2)
            draw.line([(18, 7), (9, 16)], fill=ink, width=2)
        elif kind == "max":
            draw.rectangle([8, 6, 19, 16], outline=ink, width=2)
        else:
            draw.rectangle([10, 5, 19, 13], outline=ink, width=1)
            draw.rectangle([7, 9, 16, 17], outline=ink, width=2)
        faces.append(face)
    art.save(art.four_state_strip(faces), "main/btn_%s.png" % kind)


def user_panel():
    """The user panel's background: it stretches with the window, so the face's frame is apart."""
    panel = art.vertical_gradient((W, 88), (0xFF, 0xFF, 0xFF), (0xE6, 0xEE, 0xF8))
    draw = ImageDraw.Draw(panel)
    draw.line([(0, 87), (W, 87)], fill=(0xC9, 0xD6, 0xE6, 255))
    art.save(panel, "main/user_panel.png")


def face_frame():
    """The frame the face sits in: 72 x 72, the face inset by 4 on every side."""
    frame = Image.new("RGBA", (72, 72), (0, 0, 0, 0))
    draw = ImageDraw.Draw(frame)
    draw.rounded_rectangle([0, 0, 71, 71], 8, fill=(0xFF, 0xFF, 0xFF, 255),
                           outline=(0x9D, 0xB7, 0xD8, 255), width=2)
    art.save(frame, "main/face_frame.png")


def fund_icons():
    for name, colour, mark in [("gold", (0xF2, 0xB4, 0x1E), "金"), ("ticket", (0xE8, 0x5D, 0x4A), "券"),
                               ("score", (0x4C, 0xA0, 0x5A), "分")]:
        icon = Image.new("RGBA", (18, 18), (0, 0, 0, 0))
        draw = ImageDraw.Draw(icon)
        draw.ellipse([0, 0, 17, 17], fill=colour + (255,), outline=art.shade(colour, 0.7) + (255,))
        f = art.font(11)
        box = draw.textbbox((0, 0), mark, font=f)
        draw.text(((18 - (box[2] - box[0])) / 2 - box[0], (18 - (box[3] - box[1])) / 2 - box[1]),
                  mark, font=f, fill=(0xFF, 0xFF, 0xFF, 255))
        art.save(icon, "main/fund_%s.png" % name)


def group_options():
    """Looks of the game-type bar's options: normal, hot and selected, 116 x 40."""
    size = (116, 40)
    normal = Image.new("RGBA", size, (0, 0, 0, 0))
    hot = art.rounded_button(size, (0xDC, 0xE8, 0xF6), radius=5, border=(0xB8, 0xCC, 0xE6))
    selected = art.rounded_button(size, art.BLUE, radius=5)
    draw = ImageDraw.Draw(selected)
    draw.polygon([(108, 14), (113, 20), (108, 26)], fill=(0xFF, 0xFF, 0xFF, 255))
    art.save(normal, "main/group_normal.png")
    art.save(hot, "main/group_hot.png")
    art.save(selected, "main/group_selected.png")


def section_header(name, text_width=W):
    header = art.vertical_gradient((text_width, 28), (0xF2, 0xF6, 0xFB), (0xE1, 0xE9, 0xF3))
    draw = ImageDraw.Draw(header)
    draw.rectangle([0, 6, 3, 21], fill=art.ORANGE + (255,))
    draw.line([(0, 27), (text_width, 27)], fill=(0xC9, 0xD6, 0xE6, 255))
    art.save(header, "main/%s.png" % name)


def link_buttons():
    art.save(art.button_strip((104, 28), (0xF4, 0xF7, 0xFB), (0xE2, 0xEC, 0xF8), (0xCF, 0xDD, 0xEF),
                              radius=5),
             "main/link.png")


def about_banner():
    banner = art.vertical_gradient((320, 70), (0x4A, 0x86, 0xCC), (0x2F, 0x63, 0xA6))
    draw = ImageDraw.Draw(banner)
    draw.line([(0, 69), (320, 69)], fill=(0x25, 0x50, 0x88, 255))
    # The mark in the 84 pixels the title leaves free at the left.
    mark = fan_mark(56, (("A", "spade"), ("K", "heart"), ("Q", "club"), ("J", "diamond")))
    banner.alpha_composite(mark, (max(2, 42 - mark.size[0] // 2), 8))
    art.save(banner, "about/banner.png")


if __name__ == "__main__":
    title_bar()
    title_mark()
    for kind in ["close", "max", "restore"]:
        glyph_button(kind)
    user_panel()
    face_frame()
    fund_icons()
    group_options()
    section_header("header", W)
    section_header("header_tree", 484)
    link_buttons()
    about_banner()
