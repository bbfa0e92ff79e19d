"""What the module's tests share: quorix-cli, which computes every value the
module gives through the same engine calls, and bitwise comparison."""
import json
import math
import os
import subprocess

import numpy as np
import pytest


def loads(text):
    # parse_int: "-0" must read as -0.0; non-finite numbers come as "inf", "-inf", "nan".
    hook = lambda obj: {k: float(v) if v in ("inf", "-inf", "nan") else v for k, v in obj.items()}  # noqa: E731
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
