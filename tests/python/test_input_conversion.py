import datetime as dt
import decimal

import numpy as np
import pytest

import tarnel
from support import NOW, START, epoch, evaluate, series

KEY = "pool.dex_spot"
CANNOT_SCALAR = (f"Cannot extract scalar or timeseries on key {KEY}\nexpect a Decimal or (numpy.array of uint32, "
                 "numpy.array of int64, uint32) or (numpy.array of uint32, numpy.array of BigInt, uint32)")
CANNOT_SERIES = (f"Cannot extract timeseries on key {KEY}\nexpect (numpy.array of uint32, numpy.array of int64, "
                 "uint32) or (numpy.array of uint32, numpy.array of BigInt, uint32)\n\n")


def big(values, decimals=0):
    times, _, _ = series(list(range(len(values))))
    return (times, np.array(values, dtype=object), decimals)


def strided(values, dtype=np.int64, decimals=0):
    times, _, _ = series(list(range(len(values))))
    return (times, np.array([v for v in values for _ in (0, 1)], dtype=dtype)[::2], decimals)


class Text:
    def __init__(self, text):
        self.text = text

    def __str__(self):
        return self.text


class Index:
    def __index__(self):
        return 42


SCALARS = [
    (5, "5"),
    (-1, "-1"),
    (True, "1"),
    (np.int64(-7), "-7"),
    (np.uint64(2 ** 64 - 1), "18446744073709551615"),
    (Index(), "42"),
    (2 ** 70, "1180591620717411303424"),
    (2 ** 96 - 1, "79228162514264337593543950335"),
    (1e-07, "0.0000001"),
    (0.1, "0.1"),
    (-2.5e3, "-2500.0"),
    ("1.5", "1.5"),
    (decimal.Decimal("2.50"), "2.50"),
    (decimal.Decimal("1E+2"), "100"),
    (Text("3.25"), "3.25"),
    (series([100, 200, 150], 2), "1.50"),
    (series([1, -150], 2), "-1.50"),
    (series([1, 2, 3], 29), None),
    (series([1, 2 ** 63 - 1], 0), "9223372036854775807"),
    (series([-2 ** 63], 28), "-0.0000000009223372036854775808"),
    (series([1, 2], np.uint32(1)), "0.2"),
    (big([1, 2 ** 95]), "39614081257132168796771975168"),
    (big([-(2 ** 96 - 1)]), "-79228162514264337593543950335"),
    (big([2 ** 96]), None),
    (big([-(2 ** 96)]), None),
    (big([2 ** 200]), None),
    (big([1, 12345], 3), "12.345"),
    (big([1, 2], 29), None),
    (big([1, np.int64(5)]), "5"),
    (big([1.5, "x", 7]), "7"),  # only the last element is read
    (strided([1, 2, 3], dtype=object), "3"),  # object slices are accepted by a scalar read
    ((np.array([5], dtype=np.uint32)[::1], np.array([4], dtype=np.int64), 0), "4"),
]


@pytest.mark.parametrize("value,expected", SCALARS)
def test_scalar_read(value, expected):
    result = evaluate(KEY, {KEY: value})
    if expected is None:
        assert result is None
    else:
        assert isinstance(result, decimal.Decimal)
        assert result == decimal.Decimal(expected)
        assert str(result) == str(decimal.Decimal(expected))


@pytest.mark.parametrize("times_dtype,values_dtype", [
    (np.uint32, np.int64), (np.uintc, np.longlong), (np.dtype("<u4"), np.dtype("<i8")), (np.dtype("=I"), np.int_)])
def test_dtypes_are_matched_by_equivalence(times_dtype, values_dtype):
    times, values, _ = series([100, 250])
    data = {KEY: (times.astype(times_dtype), values.astype(values_dtype), 2)}
    assert evaluate(KEY, data) == decimal.Decimal("2.50")
    assert mean(data[KEY]) == decimal.Decimal("1.75")


@pytest.mark.parametrize("times_dtype,values_dtype", [
    (np.dtype(">u4"), np.int64), (np.uint32, np.dtype(">i8")), (np.int32, np.int64), (np.uint32, np.uint64)])
def test_other_byte_orders_and_widths_are_not_cast(times_dtype, values_dtype):
    times, values, _ = series([100, 250])
    data = {KEY: (times.astype(times_dtype), values.astype(values_dtype), 2)}
    with pytest.raises(tarnel.InvalidDatatypeError, match="^Cannot extract scalar"):
        evaluate(KEY, data)


def test_scalar_read_of_series_ignores_the_window():
    later = series([1, 2, 9], end=NOW + dt.timedelta(days=3))
    assert evaluate(KEY, {KEY: later}) == 9


def test_scalar_read_does_not_check_timestamps():
    times = np.array([9, 3, 3], dtype=np.uint32)[::1]
    assert evaluate(KEY, {KEY: (times, np.array([1, 2, 3], dtype=np.int64), 0)}) == 3
    times = np.array([9, 0, 3, 0, 3, 0], dtype=np.uint32)[::2]
    assert evaluate(KEY, {KEY: (times, np.array([1, 2, 3], dtype=np.int64), 0)}) == 3


def float_tail():
    return big([1, 2.5])


SCALAR_ERRORS = [
    (float("nan"), tarnel.InvalidDatatypeError, CANNOT_SCALAR),
    (float("inf"), tarnel.InvalidDatatypeError, CANNOT_SCALAR),
    (2 ** 100, tarnel.InvalidDatatypeError, CANNOT_SCALAR),
    ("abc", tarnel.InvalidDatatypeError, CANNOT_SCALAR),
    (None, tarnel.InvalidDatatypeError, CANNOT_SCALAR),
    ([1, 2], tarnel.InvalidDatatypeError, CANNOT_SCALAR),
    ((1, 2), tarnel.InvalidDatatypeError, CANNOT_SCALAR),
    (series([1, 2]) + (0,), tarnel.InvalidDatatypeError, CANNOT_SCALAR),
    (series([1, 2])[:2], tarnel.InvalidDatatypeError, CANNOT_SCALAR),
    (series([1, 2], -1), tarnel.InvalidDatatypeError, CANNOT_SCALAR),
    (series([1, 2], 2 ** 32), tarnel.InvalidDatatypeError, CANNOT_SCALAR),
    (series([1, 2], 1.0), tarnel.InvalidDatatypeError, CANNOT_SCALAR),
    (series([1, 2], dtype=np.float64), tarnel.InvalidDatatypeError, CANNOT_SCALAR),
    (series([1, 2], dtype=np.int32), tarnel.InvalidDatatypeError, CANNOT_SCALAR),
    ((series([1, 2])[0].astype(np.uint64),) + series([1, 2])[1:], tarnel.InvalidDatatypeError, CANNOT_SCALAR),
    ((list(series([1, 2])[0]),) + series([1, 2])[1:], tarnel.InvalidDatatypeError, CANNOT_SCALAR),
    ((series([1, 2])[0], [1, 2], 0), tarnel.InvalidDatatypeError, CANNOT_SCALAR),
    ((series([1, 2])[0].reshape(1, 2), np.array([[1, 2]], dtype=np.int64), 0), tarnel.InvalidDatatypeError,
     CANNOT_SCALAR),
    ((series([1, 2, 3])[0], np.array([1, 2, 3, 4], dtype=np.int64), 0), tarnel.MismatchDataSizeError,
     f"Mismatch times and values array size from key {KEY}"),
    ((np.array([], dtype=np.uint32), np.array([], dtype=np.int64), 0), tarnel.EmptyTimeseriesError,
     f"Empty timeseries found from key {KEY}"),
    ((np.array([], dtype=np.uint32), np.array([], dtype=object), 0), tarnel.EmptyTimeseriesError,
     f"Empty timeseries found from key {KEY}"),
    ((series([1, 2, 3])[0], np.array([1, 2], dtype=object), 0), tarnel.MismatchDataSizeError,
     f"Mismatch times and values array size from key {KEY}"),
    (strided([1, 2, 3]), tarnel.InvalidDatatypeError,
     f"While extracting single value (int64 + decimal count) from key '{KEY}': not contiguous slice"),
    (float_tail(), tarnel.InvalidDatatypeError,
     f"While extracting single value (BigInt + decimal count) from key '{KEY}': cannot PyObject convert to BigInt: "
     "TypeError: 'float' object cannot be interpreted as an integer"),
    (big([1, None]), tarnel.InvalidDatatypeError,
     f"While extracting single value (BigInt + decimal count) from key '{KEY}': cannot PyObject convert to BigInt: "
     "TypeError: 'NoneType' object cannot be interpreted as an integer"),
]


@pytest.mark.parametrize("value,exc,message", SCALAR_ERRORS)
def test_scalar_read_refusals(value, exc, message):
    with pytest.raises(exc) as info:
        evaluate(KEY, {KEY: value})
    assert type(info.value) is exc
    assert str(info.value) == message


def test_missing_key():
    with pytest.raises(tarnel.MissingDataError) as info:
        evaluate(KEY, {"pool.dex_spot ": 1, "other": 2})
    assert str(info.value) == f"Undefined key '{KEY}'"
    with pytest.raises(tarnel.MissingDataError, match=r"^Undefined key 'bot.variables.risk'$"):
        evaluate(f"{KEY} + bot.variables.risk", {KEY: 1})


def test_keys_are_looked_up_as_str():
    class Key(str):
        pass
    assert evaluate(KEY, {Key(KEY): 4}) == 4
    with pytest.raises(tarnel.MissingDataError):
        evaluate(KEY, {KEY.encode(): 4})


def test_lookup_exceptions_pass_through():
    class Unequal:
        def __hash__(self):
            return hash(KEY)

        def __eq__(self, other):
            raise KeyError("from __eq__")

    with pytest.raises(KeyError, match="from __eq__"):
        evaluate(KEY, {Unequal(): 1})


def test_value_exceptions_do_not_escape_scalar_reads():
    class Broken:
        def __index__(self):
            raise ZeroDivisionError("index")

        def __str__(self):
            raise ZeroDivisionError("str")

    with pytest.raises(tarnel.InvalidDatatypeError, match="^Cannot extract scalar"):
        evaluate(KEY, {KEY: Broken()})


def mean(data, window="t=t-days(30) and t"):
    return evaluate(f"mean of {KEY} between {window}", {KEY: data})


SERIES = [
    (series([100, 200, 300], 2), "2"),
    (series([1, 2, 3, 4]), "2.5"),
    (series([1, 2, 3], 29), None),
    (big([1, 2, 3], 29), None),
    (big([10, 2 ** 96]), None),
    (big([10 ** 20, 3 * 10 ** 20], 20), "2"),
    (big([1, np.int64(3)]), "2"),
    (series([1, 2], np.uint32(0)), "1.5"),
]


@pytest.mark.parametrize("value,expected", SERIES)
def test_series_read(value, expected):
    result = mean(value)
    if expected is None:
        assert result is None
    else:
        assert result == decimal.Decimal(expected)


def non_contiguous_times():
    times, values, d = series([1, 2, 3])
    return (np.repeat(times, 2)[::2], values, d)


def repeated_times():
    times, values, d = series([1, 2, 3])
    times[2] = times[1]
    return (times, values, d)


def backwards_times():
    times, values, d = series([1, 2, 3])
    return (times[::-1].copy(), values, d)


SERIES_ERRORS = [
    (strided([1, 2, 3]), tarnel.InvalidDatatypeError,
     f"While extracting timeseries (u32 times, i64 values, decimal count) from key '{KEY}': not contiguous slice"),
    (strided([1, 2, 3], dtype=object), tarnel.InvalidDatatypeError,
     f"While extracting timeseries (u32 times, BigInt values, decimal count) from key '{KEY}': not contiguous slice"),
    (big([1, 2.5, 3]), tarnel.InvalidDatatypeError,
     f"While extracting timeseries (u32 times, BigInt values, decimal count) from key '{KEY}': cannot PyObject "
     "convert to BigInt: TypeError: 'float' object cannot be interpreted as an integer"),
    ((series([1, 2, 3])[0], np.array([1, 2, 3, 4], dtype=np.int64), 0), tarnel.MismatchDataSizeError,
     f"Mismatch times and values array size from key {KEY}"),
    ((np.array([], dtype=np.uint32), np.array([], dtype=np.int64), 0), tarnel.EmptyTimeseriesError,
     f"Empty timeseries found from key {KEY}"),
    (non_contiguous_times(), RuntimeError, "The given array is not contiguous"),
]


@pytest.mark.parametrize("value,exc,message", SERIES_ERRORS)
def test_series_read_refusals(value, exc, message):
    with pytest.raises(exc) as info:
        mean(value)
    assert type(info.value) is exc
    assert str(info.value) == message


@pytest.mark.parametrize("value", [repeated_times(), backwards_times()])
def test_series_integrity_errors_carry_the_key(value):
    with pytest.raises(RuntimeError) as info:
        mean(value)
    assert type(info.value) is RuntimeError
    assert str(info.value).startswith(f"While building timeseries for key '{KEY}'\n\nCaused by:\n    ")


@pytest.mark.parametrize("value", [
    5, decimal.Decimal("1.5"), "1.5", [1, 2], series([1, 2]) + (0,),
    (series([1, 2])[0].astype(np.uint64),) + series([1, 2])[1:],
    series([1, 2], dtype=np.float64),
])
def test_series_read_refuses_other_shapes(value):
    with pytest.raises(tarnel.InvalidDatatypeError) as info:
        mean(value)
    text = str(info.value)
    assert text.startswith(CANNOT_SERIES)
    attempts = text[len(CANNOT_SERIES):].split("\n\n")
    assert len(attempts) == 2 and all(": " in a for a in attempts)


def test_series_read_of_a_key_read_twice_converts_twice():
    data = {KEY: series([2, 4])}
    assert evaluate(f"{KEY} + mean of {KEY} between t=t-days(1) and t", data) == 7


# Global times (years of 365 days since the start date).
@pytest.mark.parametrize("text,current,last,expected", [
    ("current_time", START + dt.timedelta(days=365), None, "1"),
    ("current_time", START + dt.timedelta(hours=12), None, "0.00136986301369863"),
    ("current_time", START - dt.timedelta(days=365), None, "-1"),
    ("last_update", START + dt.timedelta(days=365), None, "0"),
    ("last_update", START + dt.timedelta(days=365), START + dt.timedelta(days=73), "0.2"),
])
def test_global_times(text, current, last, expected):
    result = evaluate(text, {}, current=current, last=last)
    assert str(result) == expected


# Window bounds: points at NOW-3h .. NOW, valued 1, 2, 4, 8.
WINDOWS = [
    ("t=t-hours(2) and t", 14),
    ("t=t-hours(3) and t=t-hours(1)", 7),
    ("t=t-minutes(181) and t", 15),
    ("t=t-minutes(179) and t=t-minutes(61)", 2),
    ("t=t-minutes(30) and t=t-minutes(10)", 0),
    ("t=t-days(1) and t", 15),
    ("last_update and t", 15),
]


@pytest.mark.parametrize("window,expected", WINDOWS)
def test_window_bounds(window, expected):
    result = evaluate(f"sum of {KEY} between {window}", {KEY: series([1, 2, 4, 8])}, last=NOW - dt.timedelta(hours=5))
    assert result == expected


def test_window_from_last_update_defaults_to_the_start_date():
    data = {KEY: series([1, 2, 4], end=START + dt.timedelta(hours=1))}
    assert evaluate(f"sum of {KEY} between last_update and t", data, current=START + dt.timedelta(hours=2)) == 6


def test_exact_time_bounds():
    # t=0 is the start date; t=1 is 365 days later.
    data = {KEY: (np.array([epoch(START) - 1, epoch(START), epoch(START) + 86400 * 365], dtype=np.uint32),
                  np.array([1, 2, 4], dtype=np.int64), 0)}
    assert evaluate(f"sum of {KEY} between t=0 and t=1", data) == 6
    assert evaluate(f"sum of {KEY} between t=0 and t=0.5", data) == 2


def test_datetimes_with_microseconds_in_windows():
    data = {KEY: series([1, 2], end=NOW)}
    assert evaluate(f"sum of {KEY} between t=t-hours(1) and t", data, current=NOW + dt.timedelta(microseconds=1)) == 2


def patched(text, old, new):
    """A compiled program whose state has one byte pattern replaced (forms program text cannot write)."""
    from support import sealed
    s = sealed()
    state = tarnel.Expression(text, s).__getstate__()
    assert state.count(old) == 1
    program = tarnel.Expression()
    program.__setstate__(state.replace(old, new))
    return program, s


def test_negative_delay_moves_the_bound_after_the_current_time():
    program, s = patched(f"sum of {KEY} between t=t-days(1) and t=t-hours(1)", b"\xa5Hours\x01", b"\xa5Hours\xff")
    assert "DelayedCurrentTime(Hours(-1))" in program.expected_time_range(s)[0]
    data = {KEY: series([1, 2, 4], end=NOW + dt.timedelta(hours=1))}
    assert program.eval(s, data, None, NOW) == 7


def test_absent_exact_time_resolves_to_the_start_date():
    program, s = patched(f"sum of {KEY} between t=2 and t", b"\xa9ExactTime\xa12", b"\xa9ExactTime\xa3NaN")
    assert program.expected_time_range(s) == ["Window { begin: ExactTime(NaN), end: CurrentTime }"]
    data = {KEY: (np.array([epoch(START) - 1, epoch(START), epoch(START) + 10], dtype=np.uint32),
                  np.array([1, 2, 4], dtype=np.int64), 0)}
    assert program.eval(s, data, None, NOW) == 6


# A series feeding a window directly converts only the points inside it; the
# object-array form is read whole and windowed afterwards. Both must agree.
def window_cases():
    rng = np.random.default_rng(7)
    base = epoch(NOW) - 600
    times = np.sort(rng.choice(np.arange(base, base + 600), 40, replace=False)).astype(np.uint32)
    values = rng.integers(-10 ** 17, 10 ** 17, 40, dtype=np.int64)
    windows = ["t=t-minutes(10) and t", "t=t-minutes(20) and t=t-minutes(11)", "t=t-minutes(1) and t",
               "t=t-minutes(1) and t=t-minutes(5)"]

    def exact(seconds):
        # Exact times are years since the start date; these fall between whole seconds too.
        return f"t={(base - epoch(START) + seconds) / 31536000:.12f}"

    for _ in range(20):
        a, b = sorted(rng.uniform(-30, 630, 2))
        windows.append(f"{exact(a)} and {exact(b)}")
    return [(times, values, d, w) for d in (0, 6, 15, 29) for w in windows[::3 if d else 1]]


@pytest.mark.parametrize("times,values,decimals,window", window_cases())
def test_windowed_reads_agree_with_whole_reads(times, values, decimals, window):
    current = NOW + dt.timedelta(seconds=30)
    text = f"sum of {KEY} between {window} + 0 * mean of {KEY} between {window}"
    fast = evaluate(text, {KEY: (times, values, decimals)}, current=current)
    whole = evaluate(text, {KEY: (times, np.array([int(v) for v in values], dtype=object), decimals)},
                     current=current)
    assert fast == whole


FAR_BOUND = "t=t-days(100000000000) and t"


@pytest.mark.parametrize("value,exc,start", [
    (series([1, 2, 3]), RuntimeError, "Window bound DelayedCurrentTime(Days(100000000000)) is out of the "
                                      "representable time range"),
    (big([1, 2, 3]), RuntimeError, "Window bound DelayedCurrentTime(Days(100000000000))"),
    (repeated_times(), RuntimeError, f"While building timeseries for key '{KEY}'"),
    (strided([1, 2, 3]), tarnel.InvalidDatatypeError, "While extracting timeseries (u32 times, i64 values"),
    (non_contiguous_times(), RuntimeError, "The given array is not contiguous"),
    ((np.array([], dtype=np.uint32), np.array([], dtype=np.int64), 0), tarnel.EmptyTimeseriesError, "Empty"),
])
def test_read_errors_come_before_window_bound_errors(value, exc, start):
    with pytest.raises(exc) as info:
        evaluate(f"mean of {KEY} between {FAR_BOUND}", {KEY: value})
    assert type(info.value) is exc
    assert str(info.value).startswith(start)


def test_missing_key_comes_before_window_bound_errors():
    with pytest.raises(tarnel.MissingDataError):
        evaluate(f"mean of {KEY} between {FAR_BOUND}", {})


def test_out_of_order_timestamps_fail_even_outside_the_window():
    times, values, d = series([1, 2, 3, 4])
    times[0] = times[1]
    with pytest.raises(RuntimeError, match="While building timeseries"):
        evaluate(f"sum of {KEY} between t=t-hours(1) and t", {KEY: (times, values, d)})
