import os
import pickle
import subprocess
import sys

import pytest

import tarnel
from support import NOW, sealed, series

WORKER = r"""
import pickle, sys
import tarnel
program, parameters, data, last, now = pickle.loads(sys.stdin.buffer.read())
sys.stdout.buffer.write(pickle.dumps((program.eval(parameters, data, last, now), str(program),
                                      parameters.to_json())))
"""


def run_in_worker(payload):
    env = dict(os.environ)
    env["PYTHONPATH"] = os.pathsep.join(p for p in [os.path.dirname(tarnel.__file__), env.get("PYTHONPATH")] if p)
    out = subprocess.run([sys.executable, "-c", WORKER], input=payload, capture_output=True, env=env, timeout=120)
    assert out.returncode == 0, out.stderr.decode()
    return pickle.loads(out.stdout)


@pytest.mark.parametrize("cls,text,data", [
    (tarnel.Expression, "mean of pool.dex_spot between t=t-hours(2) and t + bot.variables.risk",
     {"pool.dex_spot": series([3, 5, 7], 1), "bot.variables.risk": 1}),
    (tarnel.Condition, "pool.dex_spot > 0.6 AND NOT bot.variables.risk > 1",
     {"pool.dex_spot": series([3, 5, 7], 1), "bot.variables.risk": 1}),
])
@pytest.mark.parametrize("protocol", [2, pickle.HIGHEST_PROTOCOL])
def test_programs_and_parameters_travel_to_another_process(cls, text, data, protocol):
    s = sealed()
    program = cls(text, s)
    expected = program.eval(s, data, None, NOW)
    result, shown, document = run_in_worker(pickle.dumps((program, s, data, None, NOW), protocol=protocol))
    assert result == expected
    assert shown == str(program)
    assert document == s.to_json()


def test_uninitialised_objects_travel_uninitialised():
    objects = (tarnel.Expression(), tarnel.Condition(), tarnel.SealedParameters())
    back = pickle.loads(pickle.dumps(objects))
    assert [str(back[0]), str(back[1]), repr(back[2])] == [
        "Expression { None }", "Condition { None }", "SealedParameters { None }"]


def test_parameters_builder_is_not_picklable():
    with pytest.raises(TypeError):
        pickle.dumps(tarnel.Parameters(NOW))
