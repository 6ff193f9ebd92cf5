import os
import subprocess
import sys

import pytest

import tarnel

MODULE_DIR = os.path.dirname(tarnel.__file__)
HERE = os.path.dirname(os.path.abspath(__file__))
MESSAGE = "Naive implementation of CollectSimulatorFields::into_vec may need update"

SCRIPT = r"""
import support, tarnel
s = support.sealed()
e = tarnel.Expression("mean of pool.dex_spot between t=t-days(1) and t + mean of pool.dex_spot between t=t-days(2) and t"
                      " + max of pool.liquidity between t=t-days(1) and t + min of pool.liquidity between last_update and t"
                      " + sum of bot.all.pnl between t=t-days(1) and t", s)
print("keys", sorted(e.expected_data(s).items()), flush=True)
print("ranges", len(e.expected_time_range(s)), flush=True)
"""


def run(env_updates):
    env = {k: v for k, v in os.environ.items() if k not in ("TARNEL_LOG", "NO_COLOR")}
    env["PYTHONPATH"] = os.pathsep.join([MODULE_DIR, HERE])
    env.update(env_updates)
    out = subprocess.run([sys.executable, "-c", SCRIPT], env=env, capture_output=True, timeout=120)
    assert out.returncode == 0, out.stderr.decode()
    return out.stdout.decode()


def log_lines(stdout):
    return [line for line in stdout.splitlines() if MESSAGE in line]


@pytest.mark.parametrize("env,coloured", [({}, True), ({"NO_COLOR": ""}, True), ({"NO_COLOR": "1"}, False)])
def test_collector_logs_one_error_line_per_field_with_several_windows(env, coloured):
    stdout = run(env)
    lines = log_lines(stdout)
    # Once per call for each of the two fields aggregated over two windows.
    assert len(lines) == 4
    assert all(("\x1b[" in line) == coloured for line in lines)
    assert "keys [('bot.all.pnl', True), ('pool.dex_spot', True), ('pool.liquidity', True)]" in stdout
    assert "ranges 3" in stdout


def test_filter_can_silence_the_collector():
    assert log_lines(run({"TARNEL_LOG": "off"})) == []
    assert len(log_lines(run({"TARNEL_LOG": "error"}))) == 4
