"""Shared builders for the Python tests."""
import datetime as dt

import numpy as np

import tarnel

UTC = dt.timezone.utc
START = dt.datetime(2024, 1, 1, tzinfo=UTC)
NOW = START + dt.timedelta(days=30)


def parameters(start=START):
    p = tarnel.Parameters(start)
    p.add_uniswap_v3_protocol("pool", "WETH", "USDC")
    p.add_agents(["bot"])
    p.add_common(["WETH", "USDC"])
    p.add_agent_variables("bot", ["risk"])
    return p


def sealed(start=START):
    return parameters(start).seal()


def epoch(when):
    return int(when.timestamp())


def series(values, decimals=0, end=NOW, step=3600, dtype=np.int64):
    """A series tuple of hourly points whose last point lies at `end`."""
    n = len(values)
    times = np.array([epoch(end) - step * (n - 1 - i) for i in range(n)], dtype=np.uint32)
    return (times, np.array(values, dtype=dtype), decimals)


def evaluate(text, data, current=NOW, last=None, params=None):
    s = params if params is not None else sealed()
    return tarnel.Expression(text, s).eval(s, data, last, current)


def check(text, data, current=NOW, last=None, params=None):
    s = params if params is not None else sealed()
    return tarnel.Condition(text, s).eval(s, data, last, current)


def signature_of(sealed_parameters):
    import json
    return json.loads(sealed_parameters.to_json())["internal"]["signature"]
