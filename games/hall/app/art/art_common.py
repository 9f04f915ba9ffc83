"""Drawing helpers shared by the scripts that make the hall's own images.

Every image of tarvixresource/ is drawn by a script of this folder (run them all with
scripts/make-art); nothing is taken from elsewhere but the WenQuanYi Micro Hei font of Debian's
fonts-wqy-microhei. Needs Debian's python3-pil (run with /usr/bin/python3).
"""
import os

from PIL import Image, ImageDraw, ImageFont

FONT_FILE = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
RESOURCE_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tarvixresource")

# The hall's palette (0xRRGGBB): the blue of title bars and default buttons, its hover and pressed
# shades, the light panel background and the text greys.
BLUE = (0x3A, 0x73, 0xB8)
BLUE_HOT = (0x4C, 0x8A, 0xD4)
BLUE_PUSHED = (0x2C, 0x5C, 0x96)
ORANGE = (0xE8, 0x7A, 0x1E)
ORANGE_HOT = (0xF5, 0x8E, 0x34)
ORANGE_PUSHED = (0xC4, 0x62, 0x10)
GREEN = (0x3B, 0xA5, 0x5C)
GREEN_HOT = (0x4F, 0xBF, 0x72)
GREEN_PUSHED = (0x2D, 0x86, 0x49)
GREY = (0xB4, 0xBB, 0xC4)
PANEL = (0xF7, 0xF9, 0xFC)
TEXT = (0x33, 0x33, 0x33)
WHITE = (0xFF, 0xFF, 0xFF)


def font(size, index=0):
    """The hall's font at `size` pixels."""
    return ImageFont.truetype(FONT_FILE, size, index=index)


def out_path(relative):
    """The path of `relative` inside tarvixresource/, its folder created."""
    path = os.path.join(RESOURCE_DIR, relative)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    return path


def shade(colour, factor):
    """`colour` made lighter (factor > 1) or darker (factor < 1)."""
    return tuple(max(0, min(255, int(c * factor))) for c in colour)


def vertical_gradient(size, top, bottom):
    """An RGBA image of `size` fading from `top` to `bottom`."""
    w, h = size
    image = Image.new("RGBA", size)
    draw = ImageDraw.Draw(image)
    for y in range(h):
        t = y / max(1, h - 1)
        c = tuple(int(top[i] + (bottom[i] - top[i]) * t) for i in range(3))
        draw.line([(0, y), (w, y)], fill=c + (255,))
    return image


def rounded_button(size, colour, radius=6, label=None, label_colour=WHITE, font_size=14,
                   border=None):
    """One button face: a rounded, softly shaded rectangle with an optional centred label."""
    w, h = size
    face = vertical_gradient(size, shade(colour, 1.12), shade(colour, 0.9))
    mask = Image.new("L", size, 0)
    ImageDraw.Draw(mask).rounded_rectangle([0, 0, w - 1, h - 1], radius, fill=255)
    image = Image.new("RGBA", size, (0, 0, 0, 0))
    image.paste(face, (0, 0), mask)
    draw = ImageDraw.Draw(image)
    draw.rounded_rectangle([0, 0, w - 1, h - 1], radius, outline=border or shade(colour, 0.75))
    if label:
        f = font(font_size)
        box = draw.textbbox((0, 0), label, font=f)
        tw, th = box[2] - box[0], box[3] - box[1]
        draw.text(((w - tw) / 2 - box[0], (h - th) / 2 - box[1]), label, font=f,
                  fill=label_colour)
    return image


def four_state_strip(faces):
    """The normal, hot, pushed and disabled faces side by side, as SetButtonImage(image, 4, true)
    reads them."""
    w, h = faces[0].size
    strip = Image.new("RGBA", (w * len(faces), h), (0, 0, 0, 0))
    for i, face in enumerate(faces):
        strip.paste(face, (i * w, 0), face)
    return strip


def button_strip(size, normal, hot, pushed, label=None, font_size=14, radius=6):
    """A four-state strip of rounded buttons in the given colours (disabled is grey)."""
    return four_state_strip([
        rounded_button(size, normal, radius, label, font_size=font_size),
        rounded_button(size, hot, radius, label, font_size=font_size),
        rounded_button(size, pushed, radius, label, font_size=font_size),
        rounded_button(size, GREY, radius, label, font_size=font_size),
    ])


def save(image, relative):
    """Writes `image` under tarvixresource/ (PNG or BMP by the name's extension)."""
    path = out_path(relative)
    if relative.lower().endswith(".bmp"):
        image.convert("RGB").save(path)
    else:
        image.save(path, optimize=True)
    return path
