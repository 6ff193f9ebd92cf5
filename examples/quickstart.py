"""Quickstart: configure, compile, inspect and evaluate tarnel programs.

Usage:
    python3 examples/quickstart.py               # one simulated week of hourly data
    python3 examples/quickstart.py data.npz      # your own data
    python3 examples/quickstart.py --save data.npz   # write the simulated week (to see the format)

An .npz file holds, for every data key K, the arrays "K|times" (uint32 epoch
seconds), "K|values" (int64, or decimal digit strings for integers beyond 64
bits) and "K|decimals" (a uint32 scalar): each value v stands for
v / 10**decimals. Files are read without unpickling anything.
"""
import datetime as dt
import sys

import numpy as np

import tarnel

UTC = dt.timezone.utc
START = dt.datetime(2024, 1, 1, tzinfo=UTC)
HOURS = 7 * 24


def build_parameters():
    p = tarnel.Parameters(START)
    p.add_uniswap_v3_protocol("pool", "WETH", "USDC")
    p.add_agents(["bot"])
    p.add_common(["WETH", "USDC"])
    p.add_agent_variables("bot", ["risk"])
    # The premium of the pool over the market, or nothing when the pool is cheaper.
    p.add_custom_function(
        "function premium(spot, market) {"
        " d = spot - market;"
        " if d > 0 { return d / market } else { return 0 }"
        " }")
    return p.seal()


def simulate_week(seed=7):
    """Hourly prices of a WETH/USDC pool, the market price, and the bot's position."""
    rng = np.random.default_rng(seed)
    times = (int(START.timestamp()) + 3600 * np.arange(HOURS + 1)).astype(np.uint32)
    market = 2000.0 * np.exp(np.cumsum(rng.normal(0.0, 0.004, HOURS + 1)))
    pool = market * (1.0 + rng.normal(0.0, 0.001, HOURS + 1))
    position = 10.0 * pool + np.cumsum(rng.normal(2.0, 5.0, HOURS + 1))
    pnl = position - position[0]
    return {
        # USDC prices with 6 decimals fit in int64.
        "pool.dex_spot": (times, np.round(pool * 1e6).astype(np.int64), 6),
        'common.market_spot:{pair="WETH/USDC"}': (times, np.round(market * 1e6).astype(np.int64), 6),
        # Values with 18 decimals need Python integers beyond 64 bits.
        "bot.pool.net_position": (times, np.array([int(round(v * 1e6)) * 10 ** 12 for v in position], dtype=object),
                                  18),
        "bot.all.pnl": (times, np.round(pnl * 1e6).astype(np.int64), 6),
        "bot.variables.risk": 2,
    }


def save(data, path):
    arrays = {}
    for key, value in data.items():
        if not isinstance(value, tuple):
            value = (np.array([int(START.timestamp())], dtype=np.uint32), np.array([int(value)], dtype=np.int64), 0)
        times, values, decimals = value
        arrays[f"{key}|times"] = times
        arrays[f"{key}|values"] = values.astype(str) if values.dtype == object else values
        arrays[f"{key}|decimals"] = np.uint32(decimals)
    np.savez(path, **arrays)


def load(path):
    data = {}
    with np.load(path, allow_pickle=False) as archive:
        for name in archive.files:
            key, part = name.rsplit("|", 1)
            data.setdefault(key, {})[part] = archive[name]
    out = {}
    for key, parts in data.items():
        values = parts["values"]
        if values.dtype.kind == "U":  # integers beyond 64 bits
            values = np.array([int(v) for v in values], dtype=object)
        out[key] = (parts["times"].astype(np.uint32), values, int(parts["decimals"]))
    return out


def readable(node):
    """The rendering of get_syntax_tree with every child put in its place."""
    text = node["name"]
    children = [readable(child) for child in node["args"]]
    if text.endswith("({})") and len(children) != 1:
        return text.replace("{}", ", ".join(children))
    for child in children:
        text = text.replace("{}", child, 1)
    return text


def print_tree(node, indent="    "):
    print(f"{indent}{node['name']}")
    for child in node["args"]:
        print_tree(child, indent + "  ")


EXPRESSIONS = [
    ("price ratio", 'pool.dex_spot / common.market_spot:{"WETH/USDC"}'),
    ("premium (custom function)", 'premium(pool.dex_spot, common.market_spot:{"WETH/USDC"})'),
    ("3-day mean price", "mean of pool.dex_spot between t=t-days(3) and t"),
    ("5-day Sharpe ratio of the position", "sharpe_ratio of bot.pool.net_position between t=t-days(5) and t"),
    ("volatility since the last update", "volatility of pool.dex_spot between last_update and t"),
]
CONDITIONS = [
    ("rebalance?", 'pool.dex_spot > 1990 AND bot.all.pnl > 0 OR NOT bot.variables.risk > 3'),
    ("pool above market and rising?",
     'pool.dex_spot > common.market_spot:{"WETH/USDC"} AND (pool.dex_spot > mean of pool.dex_spot between t=t-days(1) and t)'),
]


def main(argv):
    if len(argv) == 3 and argv[1] == "--save":
        save(simulate_week(), argv[2])
        print(f"wrote {argv[2]}")
        return 0
    data = load(argv[1]) if len(argv) == 2 else simulate_week()
    sealed = build_parameters()

    last_time = max(int(v[0][-1]) for v in data.values() if isinstance(v, tuple))
    now = dt.datetime.fromtimestamp(last_time, UTC)
    last_update = now - dt.timedelta(days=2)
    print(f"data: {len(data)} keys up to {now.isoformat()}\n")

    for kind, programs in ((tarnel.Expression, EXPRESSIONS), (tarnel.Condition, CONDITIONS)):
        for title, text in programs:
            program = kind(text, sealed)
            needs = program.expected_data(sealed)
            print(f"{title}: {text}")
            for key, as_series in sorted(needs.items()):
                print(f"    needs {key} ({'series' if as_series else 'value'})")
            for window in program.expected_time_range(sealed):
                print(f"    over {window}")
            result = program.eval(sealed, data, last_update, now)
            print(f"    = {result}\n")

    text = CONDITIONS[0][1]
    tree = tarnel.Condition.get_syntax_tree(text, sealed)
    print(f"syntax tree of: {text}")
    print_tree(tree)
    print(f"    reads back as: {readable(tree)}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
