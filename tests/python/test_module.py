import os
import subprocess
import sys

import pytest

import tarnel

EXCEPTIONS = {
    "MissingDataError": "A required field is missing during the evaluation.",
    "InvalidDatatypeError": "The required field has been found but does not match the expected type.",
    "MismatchDataSizeError": "The sizes of the timestamps and values arrays do not match.",
    "EmptyTimeseriesError": "The timeseries is empty.",
}


@pytest.mark.parametrize("name,doc", EXCEPTIONS.items())
def test_exception_classes(name, doc):
    cls = getattr(tarnel, name)
    assert cls.__bases__ == (Exception,)
    assert cls.__doc__ == doc
    assert f"{cls.__module__}.{cls.__qualname__}" == f"tarnel.{name}"
    with pytest.raises(cls):
        raise cls("x")


def test_exception_classes_are_created_once():
    import importlib

    again = importlib.import_module("tarnel")
    assert again.MissingDataError is tarnel.MissingDataError


def test_full_version_layout():
    text = tarnel.full_version()
    lines = text.split("\n")
    assert len(lines) == 11
    assert not text.endswith("\n")
    assert lines[0] == "-" * 61
    labels = ["Package semver:", "Build timestamp:", "Commit timestamp:", "Commit branch:", "Commit SHA:",
              "Commit description:", None, "Target:", "Profile:", "Features:"]
    for line, label in zip(lines[1:], labels):
        assert len(line) > 20 and line[19] == " " and line[20] != " "
        if label:
            assert line[:20] == label.ljust(20)
    assert lines[1][20:].startswith("v0.3.1 [")
    assert lines[1].endswith("[development]") or lines[1].endswith("[release]")
    stamp = lines[2][20:]
    assert stamp.endswith("Z") and len(stamp.split(".")[1]) == 10  # nine digits and Z
    assert lines[7][20:].endswith("]") and "[" in lines[7][20:]
    assert lines[9][20:] in ("release", "debug", "relwithdebinfo", "minsizerel")


MODULE_DIR = os.path.dirname(tarnel.__file__)


def run_import(env_updates, code="import tarnel"):
    env = {k: v for k, v in os.environ.items() if k not in ("TARNEL_LOG", "NO_COLOR")}
    env["PYTHONPATH"] = MODULE_DIR
    env.update(env_updates)
    return subprocess.run([sys.executable, "-c", code], env=env, capture_output=True, timeout=60,
                          cwd=os.path.dirname(__file__))


def test_import_with_default_filter_is_quiet():
    out = run_import({})
    assert out.returncode == 0, out.stderr
    assert out.stderr == b""


def test_bad_directive_is_reported_and_disables_logging():
    out = run_import({"TARNEL_LOG": "a=b=c"})
    assert out.returncode == 0, out.stderr
    lines = out.stderr.decode().splitlines()
    assert len(lines) == 1
    assert lines[0].startswith('Ignoring `TARNEL_LOG="a=b=c"`: ')


def test_filter_that_is_not_text_falls_back():
    env = dict(os.environ)
    env.pop("NO_COLOR", None)
    env_b = {k.encode(): v.encode() for k, v in env.items()}
    env_b[b"TARNEL_LOG"] = b"\xff\xfe"
    env_b[b"PYTHONPATH"] = MODULE_DIR.encode()
    out = subprocess.run([sys.executable, "-c", "import tarnel"], env=env_b, capture_output=True, timeout=60)
    assert out.returncode == 0, out.stderr
    assert out.stderr.decode().startswith("Ignoring `TARNEL_LOG`: ")


@pytest.mark.parametrize("value", ["info", "warn,tarnel=debug", ""])
def test_valid_filters_import_silently(value):
    out = run_import({"TARNEL_LOG": value})
    assert out.returncode == 0, out.stderr
    assert out.stderr == b""


def test_module_attributes_in_order():
    names = [name for name in vars(tarnel) if not name.startswith("__")]
    assert names == ["Condition", "Expression", "Parameters", "SealedParameters", "MissingDataError",
                     "InvalidDatatypeError", "MismatchDataSizeError", "EmptyTimeseriesError", "full_version"]
