"""quorix.sweep, quorix.loop and quorix.special against quorix-cli and
closed forms."""
import math

import numpy as np
import pytest

import quorix
from conftest import case_options, fixed, same

TABLE_COLUMNS = ["UmaxOverUy", "Za", "Fha", "Fela", "Fa", "Kcd", "Kda", "DEOverFyUy", "DEOverFhUy", "DE"]


@pytest.mark.parametrize(
    "start, stop, step, case, mode",
    [
        (0.1, 10.0, 0.1, {}, "complementary"),  # the window's initial range
        (2.0, 0.5, -0.25, {"n": 3, "gamma": 0.8}, "direct"),  # downwards
        (0.0, 1.0, 0.35, {"n": 1.5}, "complementary"),  # q = 2.86: the last row lies beyond stop
    ],
)
def test_sweep_rows_are_the_rows_of_the_results_table(cli, start, stop, step, case, mode):
    table = quorix.sweep(start, stop, step, **case, mode=mode)
    options = case_options(case, mode) + ["--from", repr(start), "--to", repr(stop), "--step", repr(step)]
    out = cli.run("sweep", *options, text=False).stdout.decode("ascii")
    lines = out.split("\r\n")[1:-1]  # without the header and the empty text after the last CR LF
    assert len(table["UmaxOverUy"]) == len(lines)
    for i, line in enumerate(lines):
        row = [fixed(table[name][i], 2 if name == "UmaxOverUy" else 9) for name in TABLE_COLUMNS]
        assert "\t".join(row) == line
    # The derived quantities are those of a Solve of the row's case.
    i = len(lines) // 2
    one = quorix.solve(**case, u=table["UmaxOverUy"][i], mode=mode)
    assert all(same(table[name][i], getattr(one, name)) for name in ("XiEq", "Ksec", "KsecOverK0"))


@pytest.mark.parametrize(
    "start, stop, step, amplitudes",
    [
        (0.0, 1.0, 0.4, [0.0, 0.4, 0.8]),  # q = 2.5 rounds to 2 (ties to even)
        (0.0, 3.5, 1.0, [0.0, 1.0, 2.0, 3.0, 4.0]),  # q = 3.5 rounds to 4
        (2.0, 2.0, 0.5, [2.0]),  # stop = start
        (1.0, 0.5, 1.0, [1.0]),  # q = -0.5 rounds to 0: one row at start
        (1.0, 0.25, 1.0, []),  # q = -0.75 rounds to -1: no rows
    ],
)
def test_sweep_row_count_is_the_rounded_quotient_plus_one(start, stop, step, amplitudes):
    table = quorix.sweep(start, stop, step)
    assert table["UmaxOverUy"].tolist() == [step * i + start for i in range(len(amplitudes))]
    assert table["UmaxOverUy"].tolist() == pytest.approx(amplitudes)
    assert all(len(column) == len(amplitudes) for column in table.values())


@pytest.mark.parametrize("start, stop, step", [(0.0, 1.0, 0.0), (0.0, 1e10, 1.0), (1e308, 1.7e308, 1e308)])
def test_sweeps_that_cannot_run_raise_the_reason_the_command_line_gives(cli, start, stop, step):
    out = cli.run("sweep", "--from", repr(start), "--to", repr(stop), "--step", repr(step), check=False)
    assert out.returncode == 1
    reason = out.stderr.strip().removeprefix("quorix-cli: ")
    with pytest.raises(ValueError) as raised:
        quorix.sweep(start, stop, step)
    assert str(raised.value) == reason


def test_accurate_sweep_rows_are_accurate_solves_and_a_refused_row_ends_it():
    table = quorix.sweep(0.25, 5.0, 0.25, n=3.0, mode="direct", accurate=True)
    for i, u in enumerate(table["UmaxOverUy"]):
        one = quorix.solve(n=3.0, u=u, mode="direct", accurate=True)
        assert all(same(table[name][i], getattr(one, name)) for name in TABLE_COLUMNS[1:]), i
    # Rows at 1, 0.5, 0, -0.5, -1: the fourth one is outside the model.
    with pytest.raises(ValueError, match=r"^Umax/Uy must not be negative: -0\.5$"):
        quorix.sweep(1.0, -1.0, -0.5, accurate=True)


@pytest.mark.parametrize("case", [{}, {"n": 3, "u": 40, "mode": "direct"}, {"n": 1.5, "u": 2, "accurate": True}])
def test_loop_is_the_loop_of_the_command_line(cli, case):
    mode = case.pop("mode", "complementary")
    accurate = case.pop("accurate", False)
    u, F, z = quorix.loop(**case, mode=mode, accurate=accurate, points=50)
    expected = cli.json("loop", *case_options(case, mode, accurate), "--points", 50)
    for got, name in ((u, "u"), (F, "F"), (z, "z")):
        assert len(got) == 98 == len(expected[name])
        assert all(same(a, b) for a, b in zip(got, expected[name])), name
    with pytest.raises(ValueError, match="points"):
        quorix.loop(points=2)


@pytest.mark.parametrize(
    "name, args",
    [
        ("loggamma", [0.5]),
        ("gamma", [-2.5]),
        ("digamma", [3.0]),  # from the table
        ("digamma", [0.3]),  # from the series
        ("digamma", [-2.0]),  # a pole: status 0
        ("hyp2f1", [1.0, 0.5, 1.5, -3.0]),
        ("series", [1.0, 1.0, 2.0, 0.5]),
    ],
)
def test_special_functions_give_value_and_status_as_the_command_line(cli, name, args):
    expected = cli.json("eval", name, *map(repr, args))
    value, status = getattr(quorix.special, name)(*args)
    assert same(value, expected["value"]) and status == expected["status"]


def test_a_fault_the_evaluator_lets_out_is_a_floating_point_error(cli):
    args = [1.0, 1e300, 1e300, 0.7]
    assert cli.json("eval", "hyp2f1", *map(repr, args))["raised"] is True
    with pytest.raises(FloatingPointError) as raised:
        quorix.special.hyp2f1(*args)
    assert raised.value.value == 0.0


def test_accurate_special_functions_are_the_exact_values():
    s = quorix.special
    euler = 0.5772156649015329
    # Closed forms: psi(1/2) = -euler - 2 ln 2, Gamma(9/2) = (105/16)·sqrt(pi),
    # F(1, 1/2; 3/2; -x^2) = atan(x)/x.
    assert s.digamma(0.5, accurate=True) == (pytest.approx(-euler - 2 * math.log(2), rel=1e-15), 1)
    assert s.gamma(4.5, accurate=True) == (pytest.approx(105 / 16 * math.sqrt(math.pi), rel=1e-15), 1)
    assert s.loggamma(0.5, accurate=True) == (pytest.approx(0.5 * math.log(math.pi), rel=1e-15), 1)
    atan_form = math.atan(math.sqrt(3)) / math.sqrt(3)
    assert s.hyp2f1(1.0, 0.5, 1.5, -3.0, accurate=True) == (pytest.approx(atan_form, rel=1e-15), 1)
    with pytest.raises(ValueError, match="F\\(1, b; 1 \\+ b; t\\)"):
        s.hyp2f1(2.0, 0.5, 1.5, 0.5, accurate=True)


def test_ctrl_c_ends_a_long_sweep_and_leaves_no_thread_running():
    import _thread
    import os
    import threading
    import time

    def tasks():
        return len(os.listdir("/proc/self/task"))

    if not os.path.isdir("/proc/self/task"):
        pytest.skip("no /proc")
    before = tasks()
    timer = threading.Timer(0.5, _thread.interrupt_main)  # Ctrl-C, as the terminal would send it
    timer.start()
    with pytest.raises(KeyboardInterrupt):
        quorix.sweep(0.1, 300.0, 0.0001)  # 3·10^6 rows: far longer than half a second
    timer.join()
    # The sweep's workers have ended, and nothing works on in the background.
    assert tasks() == before
    cpu = time.process_time()
    time.sleep(0.3)
    assert time.process_time() - cpu < 0.05
