"""The images of the login and register dialogs (tarvixresource/logon/).

Banners with a fan of playing cards, the close, drop-down, remove and check-box faces, the default
avatar and the two big buttons. Shapes are drawn four times larger and scaled down, so their edges
are smooth.
"""
import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from PIL import Image, ImageChops, ImageDraw, ImageFilter  # noqa: E402

import art_common as art  # noqa: E402

SS = 4  # supersampling factor
RED = (0xD6, 0x3A, 0x2F)
INK = (0x22, 0x2A, 0x35)
BANNER_TOP = (0x1E, 0x4C, 0x8A)
BANNER_BOTTOM = (0x3F, 0x7C, 0xC4)


def smooth(image, size):
    """`image` (drawn SS times larger) scaled down to `size`."""
    return image.resize(size, Image.LANCZOS)


def suit_shape(draw, kind, cx, cy, r, fill):
    """One card suit centred at (cx, cy), about 2r wide."""
    if kind == "diamond":
        draw.polygon([(cx, cy - r * 1.25), (cx + r * 0.9, cy), (cx, cy + r * 1.25),
                      (cx - r * 0.9, cy)], fill=fill)
    elif kind == "heart":
        q = r * 0.55
        draw.ellipse([cx - 2 * q, cy - q * 1.6, cx, cy + q * 0.4], fill=fill)
        draw.ellipse([cx, cy - q * 1.6, cx + 2 * q, cy + q * 0.4], fill=fill)
        draw.polygon([(cx - 2 * q + q * 0.08, cy - q * 0.35), (cx + 2 * q - q * 0.08, cy - q * 0.35),
                      (cx, cy + r * 1.15)], fill=fill)
    elif kind == "spade":
        q = r * 0.55
        draw.polygon([(cx, cy - r * 1.2), (cx + 2 * q - q * 0.08, cy + q * 0.2),
                      (cx - 2 * q + q * 0.08, cy + q * 0.2)], fill=fill)
        draw.ellipse([cx - 2 * q, cy - q * 0.5, cx, cy + q * 1.5], fill=fill)
        draw.ellipse([cx, cy - q * 0.5, cx + 2 * q, cy + q * 1.5], fill=fill)
        draw.polygon([(cx, cy + q * 0.6), (cx + q * 0.7, cy + r * 1.25), (cx - q * 0.7, cy + r * 1.25)],
                     fill=fill)
    elif kind == "club":
        q = r * 0.5
        draw.ellipse([cx - q, cy - r * 1.2, cx + q, cy - r * 1.2 + 2 * q], fill=fill)
        draw.ellipse([cx - 2 * q - q * 0.2, cy - q * 0.6, cx - q * 0.2, cy + q * 1.4], fill=fill)
        draw.ellipse([cx + q * 0.2, cy - q * 0.6, cx + 2 * q + q * 0.2, cy + q * 1.4], fill=fill)
        draw.polygon([(cx, cy - q * 0.2), (cx + q * 0.8, cy + r * 1.25), (cx - q * 0.8, cy + r * 1.25)],
                     fill=fill)


def card(rank, kind, size=(58, 82)):
    """One playing card face (RGBA), drawn large and scaled to `size`."""
    w, h = size[0] * SS, size[1] * SS
    image = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    d = ImageDraw.Draw(image)
    d.rounded_rectangle([0, 0, w - 1, h - 1], 7 * SS, fill=(0xFF, 0xFF, 0xFF, 255),
                        outline=(0xB9, 0xC3, 0xD0, 255), width=SS)
    colour = RED if kind in ("heart", "diamond") else INK
    suit_shape(d, kind, w / 2, h / 2 + 2 * SS, 13 * SS, colour)
    f = art.font(15 * SS)
    d.text((6 * SS, 3 * SS), rank, font=f, fill=colour)
    suit_shape(d, kind, 11 * SS, 27 * SS, 4 * SS, colour)
    return smooth(image, size)


def card_fan(cards, angles, spread):
    """Cards fanned about a point below them: a transparent RGBA picture."""
    size = (190, 150)
    fan = Image.new("RGBA", size, (0, 0, 0, 0))
    for (rank, kind), angle, dx in zip(cards, angles, spread):
        face = card(rank, kind)
        shadow = Image.new("RGBA", face.size, (0, 0, 0, 0))
        shadow.paste((0, 0, 0, 70), (0, 0, face.size[0], face.size[1]), face)
        shadow = shadow.filter(ImageFilter.GaussianBlur(3))
        for picture, offset in ((shadow, (3, 4)), (face, (0, 0))):
            turned = picture.rotate(angle, resample=Image.BICUBIC, expand=True)
            x = size[0] // 2 - turned.size[0] // 2 + dx + offset[0]
            y = size[1] // 2 - turned.size[1] // 2 + int(abs(dx) * 0.25) + offset[1]
            fan.alpha_composite(turned, (x, y))
    return fan


def banner(size, title, subtitle, title_size, fan_scale, fan_right, seed):
    """A blue banner with soft light, scattered faint suits, a title and a card fan."""
    w, h = size
    image = art.vertical_gradient(size, BANNER_TOP, BANNER_BOTTOM)
    glow = Image.new("RGBA", (w * SS, h * SS), (0, 0, 0, 0))
    g = ImageDraw.Draw(glow)
    g.ellipse([-w * SS * 0.2, -h * SS * 1.2, w * SS * 0.75, h * SS * 0.9], fill=(255, 255, 255, 34))
    kinds = ["spade", "heart", "club", "diamond"]
    state = seed
    for i in range(14):
        state = (state * 1103515245 + 12345) % (1 << 31)
        x = (state % 1000) / 1000 * w * SS
        state = (state * 1103515245 + 12345) % (1 << 31)
        y = (state % 1000) / 1000 * h * SS
        r = (5 + state % 9) * SS
        suit_shape(g, kinds[i % 4], x, y, r, (255, 255, 255, 22))
    image.alpha_composite(smooth(glow, size))
    if fan_scale > 0:
        fan = card_fan([("A", "spade"), ("K", "heart"), ("Q", "club"), ("J", "diamond")],
                       [24, 8, -8, -24], [-42, -14, 14, 42])
        fan = fan.resize((int(fan.size[0] * fan_scale), int(fan.size[1] * fan_scale)), Image.LANCZOS)
        image.alpha_composite(fan, (w - fan.size[0] - fan_right, h - fan.size[1] + int(14 * fan_scale)))
    d = ImageDraw.Draw(image)
    f = art.font(title_size)
    ty = h // 2 - title_size + (4 if subtitle else title_size // 2)
    d.text((26 + 1, ty + 2), title, font=f, fill=(0x10, 0x2C, 0x55, 150))
    d.text((26, ty), title, font=f, fill=art.WHITE, stroke_width=1, stroke_fill=art.WHITE)
    if subtitle:
        d.text((28, ty + title_size + 12), subtitle, font=art.font(14), fill=(0xDD, 0xE8, 0xF6))
    return image


def close_strip(side=30):
    """The close button's normal, hot, pushed and disabled faces."""
    faces = []
    for back, cross in ((None, (255, 255, 255, 230)), ((0xE5, 0x4B, 0x3C, 255), art.WHITE + (255,)),
                        ((0xB8, 0x33, 0x27, 255), art.WHITE + (255,)),
                        (None, (255, 255, 255, 110))):
        big = Image.new("RGBA", (side * SS, side * SS), (0, 0, 0, 0))
        d = ImageDraw.Draw(big)
        if back:
            d.rounded_rectangle([SS, SS, side * SS - SS, side * SS - SS], 5 * SS, fill=back)
        m = 10 * SS
        d.line([(m, m), (side * SS - m, side * SS - m)], fill=cross, width=2 * SS)
        d.line([(side * SS - m, m), (m, side * SS - m)], fill=cross, width=2 * SS)
        faces.append(smooth(big, (side, side)))
    return art.four_state_strip(faces)


def remove_strip(side=16):
    """The saved-account row's remove button: a grey cross, red when pointed at."""
    faces = []
    for back, cross in ((None, (0x9A, 0xA4, 0xB1, 255)), ((0xE5, 0x4B, 0x3C, 255), art.WHITE + (255,)),
                        ((0xB8, 0x33, 0x27, 255), art.WHITE + (255,)),
                        (None, (0xD0, 0xD5, 0xDC, 255))):
        big = Image.new("RGBA", (side * SS, side * SS), (0, 0, 0, 0))
        d = ImageDraw.Draw(big)
        if back:
            d.ellipse([0, 0, side * SS - 1, side * SS - 1], fill=back)
        m = 5 * SS
        d.line([(m, m), (side * SS - m, side * SS - m)], fill=cross, width=int(1.6 * SS))
        d.line([(side * SS - m, m), (m, side * SS - m)], fill=cross, width=int(1.6 * SS))
        faces.append(smooth(big, (side, side)))
    return art.four_state_strip(faces)


def check_strip(side=16):
    """Check box cells: unticked, unticked pointed at, ticked, ticked pointed at."""
    faces = []
    for ticked, border in ((False, (0xA9, 0xB4, 0xC2)), (False, art.BLUE_HOT), (True, art.BLUE),
                           (True, art.BLUE_HOT)):
        big = Image.new("RGBA", (side * SS, side * SS), (0, 0, 0, 0))
        d = ImageDraw.Draw(big)
        fill = border if ticked else art.WHITE
        d.rounded_rectangle([SS, SS, side * SS - SS, side * SS - SS], 3 * SS, fill=fill + (255,),
                            outline=border + (255,), width=SS)
        if ticked:
            d.line([(4 * SS, 8 * SS), (7 * SS, 11 * SS), (12 * SS, 5 * SS)], fill=art.WHITE + (255,),
                   width=int(1.8 * SS), joint="curve")
        faces.append(smooth(big, (side, side)))
    return art.four_state_strip(faces)


def combo_arrow(size=(28, 34)):
    """The drop-down end of the account field: a thin divider and a chevron."""
    w, h = size
    big = Image.new("RGBA", (w * SS, h * SS), (0, 0, 0, 0))
    d = ImageDraw.Draw(big)
    d.line([(0, 7 * SS), (0, h * SS - 7 * SS)], fill=(0xDD, 0xE2, 0xE9, 255), width=SS)
    cx, cy = w * SS / 2, h * SS / 2
    d.line([(cx - 5 * SS, cy - 2 * SS), (cx, cy + 3 * SS), (cx + 5 * SS, cy - 2 * SS)],
           fill=(0x6B, 0x78, 0x8A, 255), width=int(1.8 * SS), joint="curve")
    return smooth(big, size)


def avatar(side=84):
    """The face shown before a user has one: a silhouette in a framed, rounded tile."""
    big = Image.new("RGBA", (side * SS, side * SS), (0, 0, 0, 0))
    d = ImageDraw.Draw(big)
    s = side * SS
    d.rounded_rectangle([0, 0, s - 1, s - 1], 10 * SS, fill=(255, 255, 255, 255),
                        outline=(0xC9, 0xD3, 0xDF, 255), width=SS)
    tile = art.vertical_gradient((s - 8 * SS, s - 8 * SS), (0xD9, 0xE7, 0xF7), (0xB3, 0xCB, 0xE8))
    mask = Image.new("L", tile.size, 0)
    ImageDraw.Draw(mask).rounded_rectangle([0, 0, tile.size[0] - 1, tile.size[1] - 1], 7 * SS,
                                           fill=255)
    big.paste(tile, (4 * SS, 4 * SS), mask)
    person = (0x7E, 0x9C, 0xC2, 255)
    d.ellipse([s * 0.34, s * 0.2, s * 0.66, s * 0.52], fill=person)
    body = Image.new("L", (s, s), 0)
    ImageDraw.Draw(body).ellipse([s * 0.18, s * 0.56, s * 0.82, s * 1.12], fill=255)
    ImageDraw.Draw(body).rectangle([0, s - 4 * SS, s, s], fill=0)
    big.paste(person, (0, 0), ImageChops.multiply(body, inner_tile(s)))
    return smooth(big, (side, side))


def inner_tile(s):
    """The inner tile of the avatar (drawn size `s`), where the body may show."""
    m = Image.new("L", (s, s), 0)
    ImageDraw.Draw(m).rounded_rectangle([4 * SS, 4 * SS, s - 4 * SS, s - 4 * SS], 7 * SS, fill=255)
    return m


def main():
    art.save(banner((440, 124), "Tarvix 游戏大厅", "锦标赛 · 定时赛 · 满人即开", 28, 0.8, 6, 7),
             "logon/banner.png")
    art.save(banner((460, 76), "注册新账号", "只需一分钟，马上开赛", 22, 0.5, 52, 11),
             "logon/reg_banner.png")
    art.save(close_strip(), "logon/close.png")
    art.save(remove_strip(), "logon/delete2.png")
    art.save(check_strip(), "logon/check.png")
    art.save(combo_arrow(), "logon/combo_arrow.png")
    art.save(avatar(), "logon/avatar.png")
    art.save(art.button_strip((260, 40), art.ORANGE, art.ORANGE_HOT, art.ORANGE_PUSHED,
                              label="登  录", font_size=17), "logon/login_btn.png")
    art.save(art.button_strip((200, 40), art.ORANGE, art.ORANGE_HOT, art.ORANGE_PUSHED,
                              label="立即注册", font_size=17), "logon/register_btn.png")


if __name__ == "__main__":
    main()
