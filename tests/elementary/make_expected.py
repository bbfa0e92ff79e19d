#!/usr/bin/python3
"""Writes data/expected.txt for elementary_test: the C library's results for its arguments on
Linux x86-64, the reference of every target.

    /usr/bin/python3 tests/elementary/make_expected.py             # rewrites data/expected.txt
    /usr/bin/python3 tests/elementary/make_expected.py --show exp  # each argument and its result

The samplers below are written into the file, and the test draws the same arguments from
them: a splitmix64 stream per function, turned into doubles by integer operations and single
IEEE operations only, so that Python and C++ give the same bits. The results come from the C
library through ctypes, in both of its x86-64 kinds: with fused multiply-add (taken on
processors with FMA and AVX2) and without (GLIBC_TUNABLES leaves FMA and AVX2 aside).
"""
import ast
import ctypes
import os
import platform
import struct
import subprocess
import sys

MASK = (1 << 64) - 1
GOLDEN = 0x9E3779B97F4A7C15
PI = 3.141592653589793
HALF_PI = 1.5707963267948966
LN2 = 0.6931471805599453
QUIET_NAN = 0x7FF8000000000000

# (function, thousands of arguments, ranges taken in turn); a range is one sampler per argument:
#   U a b        a + (b - a)·u, u uniform in [0, 1) with 53 bits
#   B e0 e1 s    a random mantissa, the exponent field in [e0, e1] (0: subnormals);
#                s = 0 positive, 1 negative, 2 either
#   O o e0 e1 s  o + B(e0, e1, s), rounded once
#   N c k u      the double nearest j·c for j in [1, k], moved by up to u ulps
#   S a b c      U(a, b)·c
#   I a b        an integer in [a, b];  H a b  the same plus one half
#   F a          a itself
#   P            −(x·y) of the case's first two arguments (rounded once)
FUNCTIONS = [
    ("exp", 100, [
        [("U", -745.2, 709.8)], [("U", -1.0, 1.0)], [("B", 0x3C0, 0x3FE, 2)], [("U", 700.0, 709.79)],
        [("U", -745.14, -700.0)], [("B", 0, 0x3BF, 2)], [("N", LN2, 1000, 3)]]),
    ("log", 100, [
        [("B", 1, 0x7FE, 0)], [("B", 0, 0, 0)], [("U", 0.5, 2.0)], [("O", 1.0, 0x3CA, 0x3FD, 2)],
        [("U", 0.0, 1.0)]]),
    ("pow", 100, [
        [("U", 0.0, 1.0), ("U", 0.05, 30.0)], [("U", 0.0, 1.0), ("U", -30.0, 30.0)],
        [("U", 0.0, 1.0), ("I", 0, 200)], [("O", 1.0, 0x3C0, 0x3F0, 2), ("U", -1e6, 1e6)],
        [("B", 1, 0x7FE, 0), ("U", -5.0, 5.0)], [("B", 0x3C0, 0x43F, 0), ("U", -300.0, 300.0)],
        [("B", 0, 0, 0), ("U", 0.0, 1.5)], [("U", 1e-5, 1e-3), ("U", 40.0, 60.0)],
        [("U", -10.0, 10.0), ("I", -60, 60)]]),
    ("sin", 100, [
        [("U", -600.0, 600.0)], [("U", -4.0, 4.0)], [("S", -200.0, 0.0, PI)], [("B", 0x3C0, 0x433, 2)],
        [("B", 0x434, 0x7FE, 2)], [("N", HALF_PI, 1000000, 4)], [("B", 0, 0x3BF, 2)]]),
    ("tan", 100, [
        [("U", 0.0, 0.8)], [("S", 0.0, 0.25, PI)], [("U", -1.6, 1.6)], [("N", HALF_PI, 100000, 4)],
        [("B", 0x3C0, 0x433, 2)], [("B", 0x434, 0x7FE, 2)], [("B", 0, 0x3BF, 2)]]),
    ("expm1", 100, [
        [("U", -40.0, 709.78)], [("U", -1.0, 1.0)], [("B", 0x3C0, 0x3FE, 2)], [("U", -0.35, 0.35)],
        [("U", 700.0, 709.79)], [("B", 0, 0x3BF, 2)], [("U", -745.0, -40.0)]]),
    ("log1p", 100, [
        [("U", -1.0, 4.0)], [("B", 0x3C0, 0x7FE, 0)], [("B", 0x3C0, 0x3FE, 1)], [("O", -1.0, 0x3C0, 0x3FD, 0)],
        [("B", 0, 0x3BF, 2)]]),
    ("fma", 100, [
        [("B", 0x3C0, 0x43F, 2), ("B", 0x3C0, 0x43F, 2), ("B", 0x3C0, 0x43F, 2)],
        [("B", 0x3FF, 0x3FF, 2), ("B", 0x3FF, 0x3FF, 2), ("P",)],
        [("B", 0x1E0, 0x220, 2), ("B", 0x1E0, 0x220, 2), ("B", 0, 3, 2)],
        [("B", 0x5F0, 0x600, 2), ("B", 0x5F0, 0x600, 2), ("B", 0x7F0, 0x7FE, 2)]]),
    ("sqrt", 20, [[("B", 0, 0x7FE, 0)]]),
    ("fmod", 20, [[("B", 0, 0x7FE, 2), ("B", 0, 0x7FE, 0)], [("U", -1000.0, 1000.0), ("F", 2.0)]]),
    ("floor", 20, [[("U", -1e6, 1e6)], [("B", 0x3C0, 0x434, 2)], [("H", -(1 << 20), 1 << 20)]]),
    ("ceil", 20, [[("U", -1e6, 1e6)], [("B", 0x3C0, 0x434, 2)], [("H", -(1 << 20), 1 << 20)]]),
    ("nearbyint", 20, [[("U", -1e6, 1e6)], [("B", 0x3C0, 0x434, 2)], [("H", -(1 << 20), 1 << 20)]]),
    ("frexp", 20, [[("B", 0, 0x7FE, 2)]]),
    ("ilogb", 20, [[("B", 0, 0x7FE, 2)]]),
    ("ldexp", 20, [[("B", 0, 0x7FE, 2), ("I", -2100, 2100)]]),
    ("scalbn", 20, [[("B", 0, 0x7FE, 2), ("I", -2100, 2100)]]),
    ("nextafter", 20, [[("B", 0, 0x7FE, 2), ("B", 0, 0x7FE, 2)]]),
]

H = float.fromhex
INF = float("inf")
TINY = H("0x1p-1074")
# Arguments where the functions are hardest to get right: the ends of their ranges, the
# subnormals, the neighbourhood of 1 and of the multiples of π/2, exact cases.
HARD = [
    ("exp", [709.782712893384]), ("exp", [709.7827128933841]), ("exp", [-708.3964185322641]),
    ("exp", [-745.1332191019411]), ("exp", [-745.1332191019412]), ("exp", [-744.4400719213812]),
    ("exp", [TINY]), ("exp", [-0.0]), ("exp", [H("0x1p-54")]), ("exp", [-INF]), ("exp", [1.0]),
    ("log", [TINY]), ("log", [H("0x1p-1022")]), ("log", [H("0x1.fffffffffffffp1023")]),
    ("log", [H("0x1.fffffffffffffp-1")]), ("log", [H("0x1.0000000000001p0")]), ("log", [0.0]),
    ("log", [-1.0]), ("log", [INF]), ("log", [2.718281828459045]),
    ("pow", [H("0x1.0000000000001p0"), H("0x1p52")]), ("pow", [H("0x1.fffffffffffffp-1"), H("0x1p53")]),
    ("pow", [1.0000000001, 1e10]), ("pow", [0.5, 1074.0]), ("pow", [0.5, 1075.0]), ("pow", [2.0, 1023.0]),
    ("pow", [2.0, 1024.0]), ("pow", [10.0, 308.25]), ("pow", [1e-4, 50.0]), ("pow", [1.0001e-4, 50.0]),
    ("pow", [TINY, 0.5]), ("pow", [0.0, -1.0]), ("pow", [-2.0, 3.0]), ("pow", [-8.0, 1.0 / 3.0]),
    ("pow", [-0.0, -3.0]), ("pow", [1.0, INF]), ("pow", [0.9999999999999999, -1e300]),
    ("pow", [H("0x1.6a09e667f3bcdp-1"), 2.0]), ("pow", [7.48898, 2.5]), ("pow", [0.999, 3.0]),
    ("sin", [PI]), ("sin", [HALF_PI]), ("sin", [2 * PI]), ("sin", [1e22]), ("sin", [H("0x1.921fb54442d18p+1023")]),
    ("sin", [H("0x1.6ac5b262ca1ffp+849")]), ("sin", [TINY]), ("sin", [-0.0]), ("sin", [105414350.0]),
    ("sin", [105414350.00000001]), ("sin", [-168.5 * PI]), ("sin", [0.855469]), ("sin", [INF]),
    ("tan", [HALF_PI]), ("tan", [PI / 4]), ("tan", [1e22]), ("tan", [TINY]), ("tan", [0.25 * PI]),
    ("tan", [H("0x1.921fb54442d18p+0") * 3]), ("tan", [0.787]), ("tan", [-0.0]),
    ("expm1", [709.782712893384]), ("expm1", [709.7827128933841]), ("expm1", [-40.0]), ("expm1", [-38.0]),
    ("expm1", [TINY]), ("expm1", [H("0x1p-54")]), ("expm1", [LN2 / 2]), ("expm1", [0.527]), ("expm1", [-INF]),
    ("log1p", [H("-0x1.fffffffffffffp-1")]), ("log1p", [-1.0]), ("log1p", [TINY]), ("log1p", [H("0x1p-29")]),
    ("log1p", [H("0x1.fffffffffffffp1023")]), ("log1p", [-0.5]), ("log1p", [1.0]), ("log1p", [-2.0]),
    ("fma", [H("0x1.0000000000001p0"), H("0x1.0000000000001p0"), H("-0x1.0000000000002p0")]),
    ("fma", [H("0x1p-1022"), H("0x1p-52"), 0.0]),
    ("fma", [H("0x1.fffffffffffffp1023"), 2.0, H("-0x1.fffffffffffffp1023")]),
    ("fma", [H("0x1.0000000000001p0"), H("0x1.fffffffffffffp-1"), H("0x1p-107")]),
    ("fma", [H("0x1.8p0"), H("0x1.0000000000001p0"), H("-0x1.8p-53")]), ("fma", [TINY, 0.5, 0.0]),
    ("fma", [TINY, -0.5, -0.0]), ("fma", [1.0, 1.0, -1.0]), ("fma", [H("0x1.fffffffffffffp-1"), H("0x1p-1022"), TINY]),
    ("sqrt", [TINY]), ("sqrt", [H("0x1.fffffffffffffp1023")]), ("sqrt", [2.0]), ("sqrt", [-0.0]),
    ("fmod", [1e300, 3.0]), ("fmod", [5.5, -2.0]), ("fmod", [-0.0, 1.0]), ("fmod", [H("0x1.fffffffffffffp1023"), TINY]),
    ("fmod", [-7.0, 2.0]),
    ("floor", [-0.0]), ("floor", [-0.5]), ("floor", [H("0x1.fffffffffffffp51")]), ("ceil", [-0.5]), ("ceil", [TINY]),
    ("nearbyint", [0.5]), ("nearbyint", [1.5]), ("nearbyint", [2.5]), ("nearbyint", [-0.5]),
    ("nearbyint", [4503599627370495.5]),
    ("frexp", [TINY]), ("frexp", [H("0x1.fffffffffffffp1023")]), ("frexp", [-0.0]),
    ("ilogb", [TINY]), ("ilogb", [H("0x1p-1022")]),
    ("ldexp", [H("0x1.fffffffffffffp-1"), -1073.0]), ("ldexp", [H("0x1.8p0"), -1075.0]), ("ldexp", [1.0, 1024.0]),
    ("scalbn", [H("0x1.0000000000001p0"), -1074.0]),
    ("nextafter", [0.0, -1.0]), ("nextafter", [H("0x1.fffffffffffffp1023"), INF]), ("nextafter", [1.0, 1.0]),
]

def mix(z):
    z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & MASK
    z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & MASK
    return z ^ (z >> 31)


def term(index, word):
    """One value's share of a hash: a sum, so the order of summing does not matter."""
    return mix(word ^ ((index * GOLDEN) & MASK))


class Stream:
    """splitmix64 seeded with the FNV-1a hash of the function's name."""

    def __init__(self, name):
        self.state = 0xCBF29CE484222325
        for byte in name.encode():
            self.state = ((self.state ^ byte) * 0x100000001B3) & MASK

    def next(self):
        self.state = (self.state + GOLDEN) & MASK
        return mix(self.state)

    def unit(self):
        return (self.next() >> 11) * 2.0 ** -53


def bits_of(x):
    return struct.unpack("<Q", struct.pack("<d", x))[0]


def double_of(b):
    return struct.unpack("<d", struct.pack("<Q", b & MASK))[0]


def binades(stream, e0, e1, sign):
    r1, r2 = stream.next(), stream.next()
    exponent = e0 + r1 % (e1 - e0 + 1)
    negative = sign == 1 or (sign == 2 and (r2 >> 63) == 1)
    return double_of((int(negative) << 63) | (exponent << 52) | (r2 & ((1 << 52) - 1)))


def sample(stream, s, earlier):
    kind, p = s[0], s[1:]
    if kind == "U":
        return p[0] + (p[1] - p[0]) * stream.unit()
    if kind == "B":
        return binades(stream, *p)
    if kind == "O":
        return p[0] + binades(stream, *p[1:])
    if kind == "N":
        k = 1 + stream.next() % p[1]
        j = stream.next() % (2 * p[2] + 1) - p[2]
        return double_of(bits_of(float(k) * p[0]) + j)
    if kind == "S":
        return (p[0] + (p[1] - p[0]) * stream.unit()) * p[2]
    if kind in "IH":
        return float(p[0] + stream.next() % (p[1] - p[0] + 1)) + (0.5 if kind == "H" else 0.0)
    if kind == "F":
        return p[0]
    return -(earlier[0] * earlier[1])  # P


def arguments(name, thousands, ranges):
    stream = Stream(name)
    cases = []
    for i in range(thousands * 1000):
        args = []
        for s in ranges[i % len(ranges)]:
            args.append(sample(stream, s, args))
        cases.append(args)
    return cases


def result_word(x):
    """The result's bits; every NaN as one (targets differ in a NaN's sign and payload)."""
    return QUIET_NAN if x != x else bits_of(x)


def load_libm():
    libm = ctypes.CDLL("libm.so.6")
    d, i = ctypes.c_double, ctypes.c_int
    calls = {}
    for name, count in [("exp", 1), ("log", 1), ("pow", 2), ("sin", 1), ("tan", 1), ("expm1", 1), ("log1p", 1),
                        ("fma", 3), ("sqrt", 1), ("fmod", 2), ("floor", 1), ("ceil", 1), ("nearbyint", 1),
                        ("nextafter", 2)]:
        f = getattr(libm, name)
        f.argtypes, f.restype = [d] * count, d
        calls[name] = (lambda g: lambda *a: result_word(g(*a)))(f)
    for name in ("ldexp", "scalbn"):
        f = getattr(libm, name)
        f.argtypes, f.restype = [d, i], d
        calls[name] = (lambda g: lambda x, n: result_word(g(x, int(n))))(f)
    frexp, ilogb = libm.frexp, libm.ilogb
    frexp.argtypes, frexp.restype = [d, ctypes.POINTER(i)], d
    ilogb.argtypes, ilogb.restype = [d], i

    def call_frexp(x):  # the mantissa's bits and the exponent in one word
        e = i(0)
        return (result_word(frexp(x, ctypes.byref(e))) + (e.value & MASK) * GOLDEN) & MASK
    calls["frexp"] = call_frexp
    calls["ilogb"] = lambda x: ilogb(x) & MASK
    return calls


def compute():
    """Each function's hash of its arguments and of its results, and the hard cases' results."""
    calls = load_libm()
    hashes = {}
    for name, thousands, ranges in FUNCTIONS:
        cases = arguments(name, thousands, ranges)
        args = sum(term(k, bits_of(a)) for k, case in enumerate(cases) for a in case) & MASK
        results = sum(term(k, calls[name](*case)) for k, case in enumerate(cases)) & MASK
        hashes[name] = (args, results)
    return hashes, [calls[name](*args) for name, args in HARD]


def child(kind):
    env = dict(os.environ)
    env.pop("GLIBC_TUNABLES", None)
    if kind == "plain":
        env["GLIBC_TUNABLES"] = "glibc.cpu.hwcaps=-AVX2,-FMA"
    out = subprocess.run([sys.executable, __file__, "--kind-run"], env=env, check=True,
                         capture_output=True, text=True).stdout
    return ast.literal_eval(out)


def number(p):
    return p.hex() if isinstance(p, float) else str(p)


def write():
    with open("/proc/cpuinfo") as info:
        flags = next((line.split(":", 1)[1].split() for line in info if line.startswith("flags")), [])
    if platform.machine() != "x86_64" or not {"fma", "avx2"} <= set(flags):
        sys.exit("make_expected.py: run it on Linux x86-64, on a processor with FMA and AVX2")
    fused, fused_hard = child("fused")
    plain, plain_hard = child("plain")
    lines = [
        "# The C library's results for elementary_test's arguments (make_expected.py; do not edit),",
        "# from GNU libc %s on Linux x86-64." % platform.libc_ver()[1],
        "#   function <name> <thousands> <sampler> <numbers>... | <sampler> ...   a range, then the next",
        "#   hash <name> <arguments> <results with fused multiply-add> <results without>",
        "#   hard <name> <argument bits>... <fused> <plain>",
    ]
    for name, thousands, ranges in FUNCTIONS:
        lines.append("function %s %d %s" % (name, thousands, " | ".join(
            " ".join(" ".join([s[0]] + [number(p) for p in s[1:]]) for s in r) for r in ranges)))
    for name, _, _ in FUNCTIONS:
        lines.append("hash %s %016x %016x %016x" % (name, fused[name][0], fused[name][1], plain[name][1]))
    for (name, args), f, p in zip(HARD, fused_hard, plain_hard):
        lines.append("hard %s %s %016x %016x" % (name, " ".join("%016x" % bits_of(a) for a in args), f, p))
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "data", "expected.txt")
    with open(path, "w") as out:
        out.write("\n".join(lines) + "\n")
    differ = [name for name in fused if fused[name] != plain[name]]
    print("make_expected.py: %s: the kinds differ in %s" % (path, ", ".join(differ) or "nothing"))


def show(name):
    calls = load_libm()
    for fname, thousands, ranges in FUNCTIONS:
        if fname == name:
            for k, args in enumerate(arguments(name, thousands, ranges)):
                print("%d %s -> %016x" % (k, " ".join("%016x (%.17g)" % (bits_of(a), a) for a in args),
                                          calls[name](*args)))
            return
    sys.exit("make_expected.py: no function %s" % name)


if __name__ == "__main__":
    if sys.argv[1:] == ["--kind-run"]:
        print(repr(compute()))
    elif sys.argv[1:2] == ["--show"] and len(sys.argv) == 3:
        show(sys.argv[2])
    elif len(sys.argv) == 1:
        write()
    else:
        sys.exit(__doc__)
