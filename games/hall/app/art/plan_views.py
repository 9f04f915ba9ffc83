"""The images of the plan tree's and the hot list's rows: the sign-up buttons (sign up, free sign
up, withdraw), the fold and unfold triangles of a type row, the hot list's join button and the
rows' separator lines. Buttons have four states side by side (normal, hot, pushed, disabled)."""
from PIL import Image, ImageDraw

import art_common as art

SIGNUP_SIZE = (64, 24)
FOLD_SIZE = (16, 16)
JOIN_SIZE = (84, 24)
ROW_HEIGHT = 32
LINE = (0xE3, 0xE9, 0xF1, 255)
TYPE_LINE = (0xC9, 0xD6, 0xE6, 255)
RED = (0xD9, 0x53, 0x4F)
RED_HOT = (0xE8, 0x6A, 0x66)
RED_PUSHED = (0xB8, 0x3F, 0x3B)


def signup_buttons():
    art.save(art.button_strip(SIGNUP_SIZE, art.BLUE, art.BLUE_HOT, art.BLUE_PUSHED, "报名",
                              font_size=13, radius=5),
             "bt_signup.png")
    art.save(art.button_strip(SIGNUP_SIZE, art.GREEN, art.GREEN_HOT, art.GREEN_PUSHED, "免费报名",
                              font_size=12, radius=5),
             "bt_freesignup.png")
    art.save(art.button_strip(SIGNUP_SIZE, RED, RED_HOT, RED_PUSHED, "退赛", font_size=13,
                              radius=5),
             "bt_exit.png")


def fold_triangles():
    """A type row's buttons: a downward triangle folds an open type, a rightward one opens it."""
    inks = [(0x5A, 0x6F, 0x8A), (0x2F, 0x63, 0xA6), (0x1F, 0x4A, 0x80), art.GREY]
    for name, points in [("bt_type_fold.png", [(3, 5), (13, 5), (8, 11)]),
                         ("bt_type_expand.png", [(5, 3), (11, 8), (5, 13)])]:
        faces = []
        for i, ink in enumerate(inks):
            face = Image.new("RGBA", FOLD_SIZE, (0, 0, 0, 0))
            draw = ImageDraw.Draw(face)
            if i in (1, 2):
                draw.rounded_rectangle([0, 0, 15, 15], 3, fill=(0xDC, 0xE8, 0xF6, 255))
            draw.polygon(points, fill=ink + (255,))
            faces.append(face)
        art.save(art.four_state_strip(faces), name)


def join_button():
    """The hot list's join button; its text ("立即报名" or "退  赛") is the control's."""
    art.save(art.button_strip(JOIN_SIZE, art.ORANGE, art.ORANGE_HOT, art.ORANGE_PUSHED, radius=5),
             "bt_hot_join.png")


def row_lines():
    """Separators drawn under each row (transparent above, so the list's hover colour shows)."""
    for name, colour in [("planlist/item_line.png", LINE), ("planlist/type_line.png", TYPE_LINE)]:
        line = Image.new("RGBA", (8, ROW_HEIGHT), (0, 0, 0, 0))
        ImageDraw.Draw(line).line([(0, ROW_HEIGHT - 1), (8, ROW_HEIGHT - 1)], fill=colour)
        art.save(line, name)


if __name__ == "__main__":
    signup_buttons()
    fold_triangles()
    join_button()
    row_lines()
