"""What the module's tests share: quorix-cli, which computes every value the
module gives through the same engine calls, and bitwise comparison."""
import json
import math
import os
import subprocess

import numpy as np
import pytest


def loads(text):
    # parse_int: "-0" must read as -0.0; non-finite numbers come as "inf", "-inf", "nan", alone or in a list.
    number = lambda v: float(v) if isinstance(v, str) and v in ("inf", "-inf", "nan") else v  # noqa: E731
    hook = lambda obj: {k: list(map(number, v)) if isinstance(v, list) else number(v) for k, v in obj.items()}  # noqa: E731
    return json.loads(text, parse_int=float, object_hook=hook)


class Cli:
    def __init__(self, path):
        self.path = path

    def run(self, *args, check=True):
        return subprocess.run([self.path, *map(str, args)], capture_output=True, text=True, check=check)

    def json(self, *args):
        return loads(self.run(*args, "--json").stdout)


@pytest.fixture(scope="session")
def cli():
    return Cli(os.environ.get("QUORIX_CLI") or pytest.skip("QUORIX_CLI is not set; run the tests through ctest"))


def case_options(case, mode="complementary", accurate=False):
    """quorix-cli options for a case given as keyword arguments of quorix.solve."""
    args = [option for name, value in case.items() for option in (f"--{name}", repr(float(value)))]
    return args + ["--direct" if mode == "direct" else "--complementary"] + (["--accurate"] if accurate else [])


def bits(values):
    """Each double as its exact hex text, so == compares bits and a failure shows them; any NaN as "nan"."""
    if np.ndim(values) > 0:
        return [bits(v) for v in values]
    return "nan" if math.isnan(values) else float(values).hex()


def write_record(path, u, F):
    """u and F as a file for quorix-cli, every digit kept."""
    np.savetxt(path, np.c_[u, F], fmt="%.17g", delimiter=";", header="u;F", comments="")
    return path


POSITIONS = {"first", "last", "steady_cycles", "group", "first_cycle", "last_cycle", "cycles", "left_out_steady",
             "left_out_wider", "sample"}


def same_as_cli(got, expected, skip=()):
    """Every key of quorix-cli's JSON (but those skipped) names the same thing in Python's result: numbers to
    the bit, positions one lower (counted from 0 in Python, from 1 on the command line), anything else equal."""
    for key, want in expected.items():
        if key in skip:
            continue
        have = got[key]
        if isinstance(want, dict):
            same_as_cli(have, want)
        elif key in POSITIONS:
            assert (np.asarray(have) + 1).tolist() == want, key
        elif isinstance(want, list) and want and isinstance(want[0], dict):
            for one, theirs in zip(have, want, strict=True):
                same_as_cli(one, theirs)
        elif isinstance(want, float) or (isinstance(want, list) and all(isinstance(w, (float, list)) for w in want)):
            assert bits(have) == bits(want), key
        else:
            assert have == want, key
