#!/usr/bin/python3
"""Writes number_text_cases.tsv: doubles with their fixed-point texts (2 and
9 decimals) and their plain 15-digit texts, computed from the exact binary
value of each double with Python's decimal module, independently of the
C++ library's to_chars.

Columns: value (shortest round-trip repr), FormatFixed 2, FormatFixed 9,
FormatPlainNumber. Fixed texts are left empty ("-") for magnitudes from 1e25
on, where they are long and add nothing.

Run:  /usr/bin/python3 make_number_text_cases.py > number_text_cases.tsv
"""
import random
from decimal import Decimal, Context, ROUND_HALF_EVEN


def fixed(x, decimals):
    wide = Context(prec=400, rounding=ROUND_HALF_EVEN)
    q = Decimal(x).quantize(Decimal(1).scaleb(-decimals), context=wide)
    text = format(q, "f")
    # A negative value that rounds to zero is written without its sign.
    if text.startswith("-") and set(text[1:]) <= set("0."):
        text = text[1:]
    return text


def plain(x):
    if x == 0:
        return "0"
    r = Context(prec=15, rounding=ROUND_HALF_EVEN).plus(Decimal(abs(x)))
    digits = "".join(map(str, r.as_tuple().digits)).rstrip("0")
    e = r.adjusted()  # exponent of the leading digit
    sign = "-" if x < 0 else ""
    if e < -4 or e >= 15:
        mantissa = digits[0] + ("." + digits[1:] if len(digits) > 1 else "")
        return "%s%sE%s%02d" % (sign, mantissa, "-" if e < 0 else "+", abs(e))
    if e < 0:
        return sign + "." + "0" * (-e - 1) + digits
    whole = digits[: e + 1].ljust(e + 1, "0")
    frac = digits[e + 1:]
    return sign + whole + ("." + frac if frac else "")


def values():
    rng = random.Random(20240607)
    out = [0.1, 0.2, 0.3, 1 - 0.9, 1 - 0.8, 1 - 0.75, 1 - 1.5, 0.1 + 0.2, 1 / 3, 2 / 3, 2.675, 1.005, 0.125,
           0.375, -0.125, 1e-4, 9.9999999999999995e-5, 1e-5, 1e15, 1e15 - 1, 999999999999999.4, 1.5e15,
           123456789012345678.0, 1e300, 5e-324, 2.2250738585072014e-308, 1.7976931348623157e308,
           0.0049999999999999999, 0.005, 0.015, 0.025, -0.0000000004, -0.0000000005, -0.0000000006, 1e20, 1e23]
    for _ in range(150):
        out.append(rng.uniform(-1, 1) * 10.0 ** rng.randint(-20, 24))
    for _ in range(40):  # decimals of few digits, near the ties of the texts
        out.append(rng.randint(-99999, 99999) / 10.0 ** rng.randint(1, 12))
    return out


if __name__ == "__main__":
    print("# value\tfixed2\tfixed9\tplain  (made by make_number_text_cases.py)")
    for x in values():
        big = abs(x) >= 1e25
        print("\t".join([repr(x), "-" if big else fixed(x, 2), "-" if big else fixed(x, 9), plain(x)]))
