"""The sign-up dialog's images: its body and title bar, the entry-fee tag, the prize table's
header and rows, the progress bar of the seats taken, and the two buttons."""
from PIL import Image, ImageDraw

import art_common as art

W, H = 420, 424
TABLE_W = 380
ROW_H, ROWS = 28, 6
RANK_W = 148
BAR_W, BAR_H = 260, 20
BUTTON = (124, 38)
LINE = (0xC9, 0xD6, 0xE6, 255)


def body():
    image = art.vertical_gradient((W, H), (0xFF, 0xFF, 0xFF), (0xEA, 0xF0, 0xF8))
    art.save(image, "signup/body.png")


def trophy(draw, x, y, colour=(0xFF, 0xD2, 0x4A), outline=(0x9A, 0x6A, 0x10)):
    """A small cup of 18 x 18 at (x, y)."""
    fill = colour + (255,)
    ink = outline + (255,)
    draw.pieslice([x + 2, y - 6, x + 16, y + 10], 0, 180, fill=fill, outline=ink)
    draw.arc([x - 1, y + 1, x + 5, y + 7], 90, 270, fill=ink, width=2)
    draw.arc([x + 13, y + 1, x + 19, y + 7], 270, 90, fill=ink, width=2)
    draw.rectangle([x + 8, y + 10, x + 10, y + 13], fill=ink)
    draw.rounded_rectangle([x + 4, y + 13, x + 14, y + 17], 1, fill=fill, outline=ink)


def title_bar():
    bar = art.vertical_gradient((W, 36), (0x4A, 0x86, 0xCC), (0x2F, 0x63, 0xA6))
    draw = ImageDraw.Draw(bar)
    draw.line([(0, 35), (W, 35)], fill=(0x25, 0x50, 0x88, 255))
    trophy(draw, 12, 10)
    art.save(bar, "signup/title_bar.png")


def fee_tag():
    tag = art.rounded_button((56, 22), art.ORANGE, radius=11)
    art.save(tag, "signup/fee_tag.png")


def prize_header():
    size = (TABLE_W, 30)
    header = art.vertical_gradient(size, (0xE4, 0xEE, 0xFA), (0xCF, 0xDF, 0xF2))
    mask = Image.new("L", size, 0)
    ImageDraw.Draw(mask).rounded_rectangle([0, 0, size[0] - 1, size[1] + 8], 6, fill=255)
    image = Image.new("RGBA", size, (0, 0, 0, 0))
    image.paste(header, (0, 0), mask)
    draw = ImageDraw.Draw(image)
    draw.rounded_rectangle([0, 0, size[0] - 1, size[1] + 8], 6, outline=(0xA9, 0xC2, 0xE0, 255))
    draw.line([(RANK_W, 6), (RANK_W, size[1] - 6)], fill=(0xA9, 0xC2, 0xE0, 255))
    trophy(draw, 14, 7)
    art.save(image, "signup/prize_header.png")


def prize_rows():
    size = (TABLE_W, ROW_H * ROWS)
    image = Image.new("RGBA", size, (0, 0, 0, 0))
    draw = ImageDraw.Draw(image)
    for row in range(ROWS):
        top = row * ROW_H
        colour = (0xFF, 0xFF, 0xFF, 255) if row % 2 == 0 else (0xF2, 0xF6, 0xFC, 255)
        if row < 3:  # the leading places stand out a little
            colour = (0xFF, 0xF8, 0xE8, 255) if row % 2 == 0 else (0xFD, 0xF1, 0xDB, 255)
        draw.rectangle([0, top, size[0] - 1, top + ROW_H - 1], fill=colour)
        if row:
            draw.line([(0, top), (size[0], top)], fill=(0xE1, 0xE8, 0xF1, 255))
    draw.line([(RANK_W, 0), (RANK_W, size[1])], fill=(0xE1, 0xE8, 0xF1, 255))
    draw.line([(0, 0), (0, size[1])], fill=(0xA9, 0xC2, 0xE0, 255))
    draw.line([(size[0] - 1, 0), (size[0] - 1, size[1])], fill=(0xA9, 0xC2, 0xE0, 255))
    draw.line([(0, size[1] - 1), (size[0], size[1] - 1)], fill=(0xA9, 0xC2, 0xE0, 255))
    art.save(image, "signup/prize_rows.png")


def progress():
    size = (BAR_W, BAR_H)
    back = Image.new("RGBA", size, (0, 0, 0, 0))
    draw = ImageDraw.Draw(back)
    draw.rounded_rectangle([0, 0, BAR_W - 1, BAR_H - 1], BAR_H // 2, fill=(0xE3, 0xE9, 0xF1, 255),
                           outline=(0xB7, 0xC4, 0xD4, 255))
    draw.line([(BAR_H // 2, 2), (BAR_W - BAR_H // 2, 2)], fill=(0xCF, 0xD8, 0xE4, 255))
    art.save(back, "signup/progress_back.png")
    # The fill is stretched to the share taken, so it carries no mark that stretching would spoil.
    fill = art.vertical_gradient(size, (0x8E, 0xDC, 0x9E), (0x3B, 0xA5, 0x5C))
    mask = Image.new("L", size, 0)
    ImageDraw.Draw(mask).rounded_rectangle([0, 0, BAR_W - 1, BAR_H - 1], BAR_H // 2, fill=255)
    image = Image.new("RGBA", size, (0, 0, 0, 0))
    image.paste(fill, (0, 0), mask)
    ImageDraw.Draw(image).line([(BAR_H // 2, 3), (BAR_W - BAR_H // 2, 3)],
                               fill=(0xD6, 0xF5, 0xDC, 200))
    art.save(image, "signup/progress_fore.png")


def buttons():
    art.save(art.button_strip(BUTTON, art.ORANGE, art.ORANGE_HOT, art.ORANGE_PUSHED, radius=7),
             "signup/btn_signup.png")
    light = (0xE2, 0xE8, 0xF0)
    art.save(art.button_strip(BUTTON, light, (0xEE, 0xF3, 0xF9), (0xCC, 0xD5, 0xE0), radius=7),
             "signup/btn_cancel.png")


if __name__ == "__main__":
    body()
    title_bar()
    fee_tag()
    prize_header()
    prize_rows()
    progress()
    buttons()
