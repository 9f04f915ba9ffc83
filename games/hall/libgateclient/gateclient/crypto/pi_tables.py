#!/usr/bin/python3
# Writes the initial Blowfish P-array and S-boxes (blowfish_tables.cc): the fractional hexadecimal
# digits of pi, 32 bits per word.
# Fractional hexadecimal digits of pi, by Machin's formula in integer arithmetic.
def arctan_inv(x, one):
    total = term = one // x
    x2, n, sign = x * x, 3, -1
    while term:
        term //= x2
        total += sign * (term // n)
        n += 2
        sign = -sign
    return total
words = 18 + 4 * 256
bits = words * 32 + 64
one = 1 << bits
pi = 4 * (4 * arctan_inv(5, one) - arctan_inv(239, one))
frac = pi - 3 * one
frac >>= 64
vals = [(frac >> (32 * (words - 1 - i))) & 0xFFFFFFFF for i in range(words)]
assert vals[0] == 0x243F6A88 and vals[1] == 0x85A308D3
out = []
def emit(name, arr):
    out.append(f"const uint32_t {name}[{len(arr)}] = {{")
    for i in range(0, len(arr), 6):
        out.append("    " + " ".join(f"0x{v:08X}," for v in arr[i:i+6]))
    out.append("};")
emit("kPiP", vals[:18])
out.append("")
s = vals[18:]
out.append("const uint32_t kPiS[4][256] = {")
for b in range(4):
    out.append("    {")
    box = s[256*b:256*(b+1)]
    for i in range(0, 256, 6):
        out.append("        " + " ".join(f"0x{v:08X}," for v in box[i:i+6]))
    out.append("    },")
out.append("};")
print("\n".join(out))

