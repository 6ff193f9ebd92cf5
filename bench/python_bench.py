"""tarnel against the code a user would otherwise write by hand, in one process.

    PYTHONPATH=build-python/python /usr/bin/python3 bench/python_bench.py [--quick]

Each case prints the time per call of both sides and their ratio (tarnel / by hand).
"""
import datetime as dt
import decimal
import sys
import time
import timeit

import numpy as np

import tarnel

UTC = dt.timezone.utc
START = dt.datetime(2024, 1, 1, tzinfo=UTC)


def best_time(function, number, repeat):
    """Best time per call over `repeat` runs of `number` calls."""
    # CPU time of this process: the machine is shared, wall time would count the waits.
    return min(timeit.repeat(function, number=number, repeat=repeat, timer=time.process_time)) / number


def report(name, ours, theirs, target):
    ratio = ours / theirs
    print(f"{name:<44} tarnel {ours * 1e6:10.2f} us   by hand {theirs * 1e6:10.2f} us   "
          f"ratio {ratio:5.2f}  (target <= {target})")
    return ratio


def sealed_parameters():
    p = tarnel.Parameters(START)
    p.add_uniswap_v3_protocol("pool", "WETH", "USDC")
    p.add_agents(["bot"])
    p.add_common(["WETH", "USDC"])
    return p.seal()


def condition_on_scalars(sealed, quick):
    """`a > 1000 AND b > 0 OR NOT c > 3` over the last values of three int64 series."""
    n = 1000
    now = START + dt.timedelta(hours=n)
    times = (int(START.timestamp()) + 3600 * np.arange(1, n + 1)).astype(np.uint32)
    rng = np.random.default_rng(1)
    data = {
        "pool.liquidity": (times, rng.integers(0, 5000 * 10 ** 6, n, dtype=np.int64), 6),
        "bot.all.pnl": (times, rng.integers(-10 ** 8, 10 ** 8, n, dtype=np.int64), 6),
        "bot.pool.net_position": (times, rng.integers(0, 6 * 10 ** 6, n, dtype=np.int64), 6),
    }
    condition = tarnel.Condition("pool.liquidity > 1000 AND bot.all.pnl > 0 OR NOT bot.pool.net_position > 3", sealed)

    def ours():
        return condition.eval(sealed, data, None, now)

    thousand, zero, three = decimal.Decimal(1000), decimal.Decimal(0), decimal.Decimal(3)

    def last(series):
        times, values, decimals = series
        return decimal.Decimal(int(values[-1])).scaleb(-decimals)

    def by_hand():
        a = last(data["pool.liquidity"])
        b = last(data["bot.all.pnl"])
        c = last(data["bot.pool.net_position"])
        return a > thousand and b > zero or not c > three

    assert ours() == by_hand()
    number = 2000 if quick else 20000
    return report("condition over three scalar reads", best_time(ours, number, 5), best_time(by_hand, number, 5), 1.0)


def mean_over_minutes(sealed, quick, decimals, title):
    """`mean of pool.dex_spot between t=t-days(7) and t` over 10^6 minute prices near 2000."""
    n = 10 ** 6
    times = (int(START.timestamp()) + 60 * np.arange(n)).astype(np.uint32)
    rng = np.random.default_rng(2)
    unit = 10 ** decimals
    values = (2000 * unit + rng.integers(-unit, unit, n, dtype=np.int64)).astype(np.int64)
    now = dt.datetime.fromtimestamp(int(times[-1]), UTC)
    data = {"pool.dex_spot": (times, values, decimals)}
    expression = tarnel.Expression("mean of pool.dex_spot between t=t-days(7) and t", sealed)
    begin = int((now - dt.timedelta(days=7)).timestamp())
    end = int(now.timestamp())

    def ours():
        return expression.eval(sealed, data, None, now)

    def by_hand():
        t, v, d = data["pool.dex_spot"]
        prices = v / 10.0 ** d
        mask = (t >= begin) & (t <= end)
        return decimal.Decimal(float(prices[mask].mean()))

    assert abs(float(ours()) - float(by_hand())) < 1e-6
    number, repeat = (3, 3) if quick else (10, 5)
    return report(title, best_time(ours, number, repeat),
                  best_time(by_hand, number, repeat), 2.0)


def compile_typical(sealed, quick):
    text = "sharpe_ratio of bot.pool.net_position between t=t-days(7) and t / (pool.dex_spot + 1)"

    def ours():
        return tarnel.Expression(text, sealed)

    seconds = best_time(ours, 500 if quick else 5000, 5)
    print(f"{'compile a typical expression':<44} tarnel {seconds * 1e6:10.2f} us   (target <= 50 us)")
    return seconds


def main(argv):
    quick = "--quick" in argv
    sealed = sealed_parameters()
    condition_on_scalars(sealed, quick)
    # Six decimals (USDC units); fifteen put the coefficients near 2^61, where
    # every value takes the full conversion.
    mean_over_minutes(sealed, quick, 6, "mean, week of 10^6 minutes, 6 decimals")
    mean_over_minutes(sealed, quick, 15, "mean, week of 10^6 minutes, 15 decimals")
    compile_typical(sealed, quick)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
