import os
import subprocess
import sys

import tarnel

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SCRIPT = os.path.join(ROOT, "examples", "quickstart.py")


def run(*args):
    env = dict(os.environ)
    env["PYTHONPATH"] = os.path.dirname(tarnel.__file__)
    out = subprocess.run([sys.executable, SCRIPT, *args], env=env, capture_output=True, timeout=120)
    assert out.returncode == 0, out.stderr.decode()
    return out.stdout.decode()


def test_quickstart_on_simulated_data_and_on_its_saved_file(tmp_path):
    simulated = run()
    assert "needs pool.dex_spot (series)" in simulated
    assert "syntax tree of:" in simulated
    assert "= None" not in simulated.split("syntax tree of:")[0]
    path = str(tmp_path / "week.npz")
    run("--save", path)
    assert run(path) == simulated
