"""What the module's tests share: quorix-cli, which computes every value the
module gives through the same engine calls, and bitwise comparison."""
import json
import math
import os
import struct
import subprocess

import pytest


def _cli_path():
    path = os.environ.get("QUORIX_CLI")
    if not path:
        pytest.skip("QUORIX_CLI is not set; run the tests through ctest")
    return path


class Cli:
    def __init__(self, path):
        self.path = path
        self.has_accurate = "--accurate" in self.run("solve", "--help").stdout

    def run(self, *args, check=True, text=True):
        return subprocess.run([self.path, *map(str, args)], capture_output=True, text=text, check=check)

    def json(self, *args):
        # parse_int: "-0" must read as -0.0, not as the integer 0.
        return json.loads(self.run(*args, "--json").stdout, parse_int=float, object_hook=_numbers)


def _numbers(obj):
    # Non-finite numbers come as the strings "inf", "-inf", "nan".
    return {k: float(v) if v in ("inf", "-inf", "nan") else v for k, v in obj.items()}


@pytest.fixture(scope="session")
def cli():
    return Cli(_cli_path())


def case_options(case, mode="complementary", accurate=False):
    """quorix-cli options for a case given as keyword arguments of quorix.solve."""
    args = []
    for name, value in case.items():
        args += [f"--{name}", repr(float(value))]
    args.append("--direct" if mode == "direct" else "--complementary")
    if accurate:
        args.append("--accurate")
    return args


def same(a, b):
    """The same double to the last bit; any NaN matches any NaN (JSON keeps no NaN sign)."""
    if math.isnan(a) or math.isnan(b):
        return math.isnan(a) and math.isnan(b)
    return struct.pack("<d", a) == struct.pack("<d", b)


def fixed(value, decimals):
    """A number as the results table writes it: correctly rounded, no minus sign on a zero."""
    if math.isnan(value):
        return "NaN"
    if math.isinf(value):
        return "Infinity" if value > 0 else "-Infinity"
    text = f"{value:.{decimals}f}"
    return text[1:] if text.startswith("-") and not text.strip("-0.") else text
