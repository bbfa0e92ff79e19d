#!/usr/bin/python3
"""Writes data/acceptance_wide.txt for acceptance_wide_test: what quorix-cli prints on Linux
x86-64 for the cases below, the reference that every target's program must give byte for byte.

    /usr/bin/python3 tests/cli/make_acceptance_wide.py [QUORIX_CLI]   (default build/release/src/cli/quorix-cli)

The cases lie where a last-place difference in the C library's results would show: solves
at and near saturation (n = 2.5 at Umax/Uy = 7.48898, n = 3), the hypergeometric evaluator
on both sides of its decisions (c - a - b within 1e-6 of a whole number or just outside,
z at +-1/2, results near the overflow), gamma, log-gamma and digamma at negative and very
large arguments, and sweeps of every n over the amplitudes.

Each case is two or three lines: its exit status and arguments (TAB-separated), then its
standard output, then its standard error where there is any. An eval's output is kept as text (\\n, \\t, \\r and \\\\
escaped); a solve's or a sweep's, long JSON lines, as the FNV-1a hash of each line.

Linux's C library computes exp, log, pow, sin, tan, expm1 and log1p in one of two kinds on
x86-64: compiled with fused multiply-add, taken on processors with FMA and AVX2 (and the
only kind on arm64), or without (WebAssembly has no fused multiply-add). Their last places
differ in about one result of a thousand, and now and then an answer shows it: the program
is run again with the library told to leave FMA and AVX2 aside (GLIBC_TUNABLES), and where
its answer differs a fourth line holds it (plain-out or plain-lines).
"""
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def cases():
    out = []
    # Gamma, log-gamma and digamma at negative arguments (the reflection's sine) and very large ones.
    gamma = ["-0.5", "-1.5", "-2.5", "-3.7", "-10.3", "-20.25", "-33.3", "-100.5", "-150.7", "-170.5", "-171.5",
             "-177.3", "-184.9", "-1e-10", "-2.9999999999", "-3.0000000001", "-1000.5", "-4503599627370495.5",
             "170.6", "171.62", "1e-300", "1e10", "1e306"]
    loggamma = ["-0.5", "-2.5", "-10.3", "-100.5", "-1000.25", "-10000000.5", "-1000000000000000.5", "1e10",
                "1e100", "4.26e306", "1e306", "2.5e305", "1.7e308"]
    digamma = ["-0.5", "-1.5", "-2.3", "-10.3", "-100.7", "-1000.5", "-1000000.25", "-123456.789", "1e10",
               "1e300", "4.26e306", "1.7e308"]
    for name, xs in (("gamma", gamma), ("loggamma", loggamma), ("digamma", digamma)):
        for x in xs:
            out.append(["eval", name, "--json", "--", x])
    # F(a, b; c; z) for z in (1/2, 1) on both sides of "c - a - b within 1e-6 of a whole m".
    for m in (0, 1, 2, -1, -3):
        for delta in ("0", "9.99e-7", "1.001e-6", "-1.001e-6"):
            c = repr(0.75 + m + float(delta))
            out.append(["eval", "hyp2f1", "--json", "--", "0.3", "0.45", c, "0.8"])
    for z in ("0.95", "0.99", "0.999999"):
        out.append(["eval", "hyp2f1", "--json", "--", "0.3", "0.45", repr(0.75 + 1e-6), z])
    # z at +-1/2 and one ulp beyond (series, transformation, Pfaff); results near the overflow.
    for z in ("0.5", "0.5000000000000001", "-0.5", "-0.5000000000000001", "0.49999999999999994"):
        out.append(["eval", "hyp2f1", "--json", "--", "1", "0.4", "1.4", z])
    for a, b, c, z in (("1", "160", "2", "0.988"), ("1", "160", "2", "0.9885"), ("0.5", "300", "1.5", "0.9"),
                       ("1", "0.5", "1.5", "-1e6"), ("1", "80", "2", "0.99"), ("0.4", "1", "1.4", "0.9999999999"),
                       ("1", "2.5", "3.5", "0.999999999999"),
                       ("1", "0.3333333333333333", "1.3333333333333333", "0.75")):
        out.append(["eval", "hyp2f1", "--json", "--", a, b, c, z])
    # The amplitude function as the hysteretic variable nears saturation.
    for n in ("2.5", "3"):
        for x in ("0.999", "0.999999", "0.9999999999", "0.9999999999999999"):
            out.append(["eval", "amplitude", "--json", "--", x, n, "0.1", "0.9"])
        for x in ("0.9", "0.999999"):
            out.append(["eval", "amplitude", "--json", "--", x, n, "0.5", "0.5"])
    # Solves at n = 2.5, Umax/Uy = 7.48898 (saturated: the loop integrals' evaluator at its edge).
    for gamma_ in ("0.9", "0.75", "0.5", "0.25", "0.1"):
        for way in ("--complementary", "--direct"):
            out.append(["solve", "--json", "--n", "2.5", "--u", "7.48898", "--gamma", gamma_, way])
    for fy, uy in (("1", "1"), ("355", "0.0017"), ("100", "0.05")):
        for gamma_ in ("0.9", "0.5"):
            out.append(["solve", "--json", "--n", "2.5", "--u", "7.48898", "--gamma", gamma_, "--fy", fy, "--uy", uy])
    for u in ("7.48898", "2", "1.2", "1.05"):
        for gamma_ in ("0.9", "0.5"):
            out.append(["solve", "--json", "--n", "3", "--u", u, "--gamma", gamma_])
    for n, u in (("2.5", "7.48898"), ("2.5", "1.3"), ("3", "7.48898"), ("3", "0.8"), ("2.5", "0.2"), ("3", "2")):
        out.append(["solve", "--json", "--accurate", "--n", n, "--u", u])
    # Sweeps over the amplitudes: every row in full precision.
    for n in ("2.5", "3"):
        for gamma_ in ("0.9", "0.5", "0.1"):
            out.append(["sweep", "--jsonl", "--no-progress", "--n", n, "--gamma", gamma_, "--from", "0.05",
                        "--to", "10", "--step", "0.05"])
        out.append(["sweep", "--jsonl", "--no-progress", "--direct", "--n", n, "--from", "0.05", "--to", "10",
                    "--step", "0.05"])
    for gamma_ in ("0.9", "0.5"):
        out.append(["sweep", "--jsonl", "--no-progress", "--n", "2.5", "--gamma", gamma_, "--from", "7.47", "--to",
                    "7.51", "--step", "0.0002"])
    for n in ("0.5", "1", "1.5", "2", "2.7", "4", "5", "8"):
        out.append(["sweep", "--jsonl", "--no-progress", "--n", n, "--from", "0.1", "--to", "10", "--step", "0.1"])
    return out


def escape(text):
    return text.replace("\\", "\\\\").replace("\n", "\\n").replace("\t", "\\t").replace("\r", "\\r")


def fnv1a(data):
    h = 0xCBF29CE484222325
    for byte in data:
        h = ((h ^ byte) * 0x100000001B3) & ((1 << 64) - 1)
    return h


def output_line(prefix, args, stdout):
    if args[0] == "eval":
        return prefix + "out " + escape(stdout.decode())
    parts = stdout.split(b"\n")
    if parts[-1] == b"":
        parts.pop()
    return prefix + "lines" + "".join(" %016x" % fnv1a(line) for line in parts)


def main():
    cli = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "..", "build", "release", "src", "cli",
                                                            "quorix-cli")
    lines = [
        "# quorix-cli's answers on Linux x86-64 (make_acceptance_wide.py; do not edit). Per case:",
        "#   case STATUS<TAB>ARGUMENT<TAB>...",
        "#   out TEXT              standard output, escaped; or",
        "#   lines HASH...         the FNV-1a hash of each line of standard output (long JSON lines)",
        "#   err TEXT              standard error, escaped (no line: none)",
        "#   plain-out TEXT, plain-lines HASH...   standard output without fused multiply-add, where it differs",
    ]
    fused_env = dict(os.environ)
    fused_env.pop("GLIBC_TUNABLES", None)
    plain_env = dict(fused_env, GLIBC_TUNABLES="glibc.cpu.hwcaps=-AVX2,-FMA")
    count = plain = 0
    for args in cases():
        run = subprocess.run([cli] + args, capture_output=True, env=fused_env)
        other = subprocess.run([cli] + args, capture_output=True, env=plain_env)
        if (other.returncode, other.stderr) != (run.returncode, run.stderr):
            sys.exit("make_acceptance_wide.py: %s: the status or the messages differ between the kinds" % args)
        lines.append("case %d\t%s" % (run.returncode, "\t".join(args)))
        lines.append(output_line("", args, run.stdout))
        if run.stderr:
            lines.append("err " + escape(run.stderr.decode()))
        if other.stdout != run.stdout:
            lines.append(output_line("plain-", args, other.stdout))
            plain += 1
        count += 1
    path = os.path.join(HERE, "data", "acceptance_wide.txt")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")
    print("make_acceptance_wide.py: %d cases in %s, %d answering otherwise without fused multiply-add"
          % (count, path, plain))


if __name__ == "__main__":
    main()
