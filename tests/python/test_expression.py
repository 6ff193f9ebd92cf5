import copy
import decimal
import json
import pickle
import struct

import numpy as np
import pytest

import tarnel
from support import NOW, START, UTC, check, evaluate, parameters, sealed, series, signature_of

import datetime as dt

CLASSES = [(tarnel.Expression, "1 + 1", "Expression"), (tarnel.Condition, "1 < 2", "Condition")]


@pytest.mark.parametrize("cls,text,name", CLASSES)
def test_type_names(cls, text, name):
    assert cls.__name__ == name
    assert cls.__qualname__ == name
    assert cls.__text_signature__ == "(self, /, input, parameters)"
    assert cls.__module__ == "tarnel"


@pytest.mark.parametrize("cls,text,name", CLASSES)
def test_uninitialised_program(cls, text, name):
    program = cls()
    assert str(program) == f"{name} {{ None }}"
    assert program.__getstate__() == b"\xc0"
    s = sealed()
    for call in (lambda: program.eval(s, {}, None, NOW), lambda: program.expected_data(s),
                 lambda: program.expected_time_range(s)):
        with pytest.raises(ValueError) as info:
            call()
        assert str(info.value) == f"Uninitialized {name}"


@pytest.mark.parametrize("cls,text,name", CLASSES)
@pytest.mark.parametrize("args", [("1",), ("1", None, None), ("1", "2", "3", "4")])
def test_constructor_arity(cls, text, name, args):
    with pytest.raises(TypeError) as info:
        cls(*args)
    assert str(info.value) == "Invalid args"


@pytest.mark.parametrize("cls,text,name", CLASSES)
@pytest.mark.parametrize("make_args", [lambda s, t: (1, s), lambda s, t: (t, "sealed"), lambda s, t: (t, object())])
def test_constructor_types(cls, text, name, make_args):
    with pytest.raises(TypeError):
        cls(*make_args(sealed(), text))


@pytest.mark.parametrize("cls,text,name", CLASSES)
def test_uninitialised_sealed_parameters_are_refused(cls, text, name):
    empty = tarnel.SealedParameters()
    with pytest.raises(ValueError, match="^Uninitialized SealedParameters$"):
        cls(text, empty)
    program = cls(text, sealed())
    for call in (lambda: program.eval(empty, {}, None, NOW), lambda: program.expected_data(empty),
                 lambda: program.expected_time_range(empty)):
        with pytest.raises(ValueError, match="^Uninitialized SealedParameters$"):
            call()
    with pytest.raises(ValueError, match="^Uninitialized SealedParameters$"):
        cls.get_syntax_tree(text, empty)


@pytest.mark.parametrize("cls,text", [
    (tarnel.Expression, "1 +"), (tarnel.Expression, "1 < 2"), (tarnel.Condition, "1 + 2"), (tarnel.Condition, "")])
def test_parse_errors(cls, text):
    with pytest.raises(RuntimeError) as info:
        cls(text, sealed())
    assert str(info.value).startswith("error at 1:")
    assert "Caused by" not in str(info.value)


@pytest.mark.parametrize("text,message", [
    ("pol.dex_spot", "Unknown protocol pol in 'pol.dex_spot' starting at position 0"),
    ("1 + alice.all.pnl", "Unknown agent alice in 'alice.all.pnl' starting at position 4"),
    ("nothing(1)", "Undefined function nothing (with 1 arguments)"),
    ("median of pool.dex_spot between t=t-days(1) and t", "Undefined metric function 'median'"),
])
def test_binding_errors(text, message):
    with pytest.raises(RuntimeError) as info:
        tarnel.Expression(text, sealed())
    assert str(info.value) == message


@pytest.mark.parametrize("text,expected", [
    ("1.50 * 2", "3.00"),
    ("1 / 3", "0.3333333333333333333333333333"),
    ("7 - 10", "-3"),
    ("1 / 0", None),
    ("2 ^ 95 * 4", None),
    ("2 ^ -2", "0.25"),
    ("pool.dex_spot / 4", "0.75"),
])
def test_expression_results(text, expected):
    result = evaluate(text, {"pool.dex_spot": 3})
    if expected is None:
        assert result is None
    else:
        assert isinstance(result, decimal.Decimal)
        assert str(result) == expected


@pytest.mark.parametrize("text,expected", [
    ("1 < 2", True), ("2 < 1", False), ("1 = 1.00", True), ("NOT 1 < 2", False),
    ("pool.dex_spot > 1000 AND bot.all.pnl > 0 OR NOT bot.variables.risk > 3", True),
    ("(pool.dex_spot > 1000 AND bot.all.pnl > 0) OR bot.variables.risk > 3", False),
    ("1 / 0 = 1 / 0", False), ("true and not false", True),
])
def test_condition_results(text, expected):
    data = {"pool.dex_spot": 2000, "bot.all.pnl": -1, "bot.variables.risk": 2}
    result = check(text, data)
    assert result is expected


def test_the_typical_request():
    p = tarnel.Parameters(START)
    p.add_uniswap_v3_protocol("pool", "WETH", "USDC")
    p.add_agents(["bot"])
    s = p.seal()
    e = tarnel.Expression("mean of pool.dex_spot between t=t-days(7) and t", s)
    assert e.expected_data(s) == {"pool.dex_spot": True}
    assert e.expected_time_range(s) == ["Window { begin: DelayedCurrentTime(Days(7)), end: CurrentTime }"]
    now = dt.datetime.now(UTC).replace(microsecond=0)
    times = np.array([int(now.timestamp()) - 3600 * (200 - i) for i in range(201)], dtype=np.uint32)
    # The last seven days hold the last 169 hourly points, all worth 2.
    values = np.array([9 * 10 ** 18 if i < 32 else 2 * 10 ** 18 for i in range(201)], dtype=np.int64)
    result = e.eval(s, {"pool.dex_spot": (times, values, 18)}, None, now)
    assert isinstance(result, decimal.Decimal)
    assert str(result) == "2"


@pytest.mark.parametrize("text,data,time_range", [
    ("last_update + 1", {}, []),
    ("current_time * 2", {}, []),
    ("pool.dex_spot", {"pool.dex_spot": False}, []),
    ("pool.dex_spot + mean of pool.dex_spot between t=t-days(1) and t", {"pool.dex_spot": True},
     ["Window { begin: DelayedCurrentTime(Days(1)), end: CurrentTime }"]),
    ("max of pool.dex_spot between last_update and t", {"pool.dex_spot": True},
     ["Window { begin: LastUpdate, end: CurrentTime }"]),
    ("min of pool.dex_spot between t=2 and t", {"pool.dex_spot": True},
     ["Window { begin: ExactTime(Normal(2)), end: CurrentTime }"]),
    ("sum of pool.liquidity between t=t-hours(3) and t=t-minutes(5)", {"pool.liquidity": True},
     ["Window { begin: DelayedCurrentTime(Hours(3)), end: DelayedCurrentTime(Minutes(5)) }"]),
    ("mean of pool.dex_spot between t=t-weeks(1) and t + mean of bot.all.pnl between t=t-weeks(1) and t",
     {"pool.dex_spot": True, "bot.all.pnl": True},
     ["Window { begin: DelayedCurrentTime(Weeks(1)), end: CurrentTime }"] * 2),
    ('sqrt(common.market_spot:{"WETH/USDC"})', {'common.market_spot:{pair="WETH/USDC"}': False}, []),
    ('bot.pool.token_amount:{USDC, position="p1"} + bot.all.wallet_holdings:{WETH}',
     {'bot.pool.token_amount:{token="USDC",position="p1"}': False, 'bot.all.wallet_holdings:{token="WETH"}': False},
     []),
])
def test_expected_data_and_time_range(text, data, time_range):
    s = sealed()
    e = tarnel.Expression(text, s)
    assert e.expected_data(s) == data
    assert sorted(e.expected_time_range(s)) == sorted(time_range)


def test_expected_data_follows_custom_functions():
    p = parameters()
    p.add_custom_function("function exposure(x) { return x * bot.pool.net_position }")
    p.add_custom_function("function trend() { return mean of pool.dex_spot between t=t-days(2) and t }")
    s = p.seal()
    e = tarnel.Expression("exposure(2) + trend()", s)
    assert e.expected_data(s) == {"bot.pool.net_position": False, "pool.dex_spot": True}
    assert e.expected_time_range(s) == ["Window { begin: DelayedCurrentTime(Days(2)), end: CurrentTime }"]
    c = tarnel.Condition("exposure(1) > 0", s)
    assert c.expected_data(s) == {"bot.pool.net_position": False}


def test_custom_function_with_if_else():
    p = parameters()
    p.add_custom_function("function spread(a, b) { d = a - b; if d > 0 { return d } else { return 0 - d } }")
    s = p.seal()
    e = tarnel.Expression("spread(pool.dex_spot, 10)", s)
    assert e.eval(s, {"pool.dex_spot": 4}, None, NOW) == 6
    assert e.eval(s, {"pool.dex_spot": 14}, None, NOW) == 4


def test_custom_function_without_return_on_path():
    p = parameters()
    p.add_custom_function("function f(a) { if a > 0 { return 1 } else { b = 2 } }")
    s = p.seal()
    e = tarnel.Expression("f(0 - 1)", s)
    with pytest.raises(RuntimeError, match="^No return on path$"):
        e.eval(s, {}, None, NOW)


@pytest.mark.parametrize("cls,text,name", CLASSES)
def test_signature_mismatch(cls, text, name):
    program = cls(text, sealed())
    other = parameters()
    other.add_custom_function("function f() { return 1 }")
    other = other.seal()
    message = "^Invalid parameter signature; parameters could be corrupted$"
    for call in (lambda: program.eval(other, {}, None, NOW), lambda: program.expected_data(other),
                 lambda: program.expected_time_range(other)):
        with pytest.raises(RuntimeError, match=message):
            call()


def test_programs_evaluate_with_other_sealings_of_equal_signature():
    program = tarnel.Expression("pool.dex_spot + 1", sealed())
    assert program.eval(sealed(), {"pool.dex_spot": 1}, None, NOW) == 2


@pytest.mark.parametrize("cls,text,name", CLASSES)
@pytest.mark.parametrize("args,exc,message", [
    (({}, None, dt.datetime(2024, 2, 1)), TypeError, "argument 'current_time': expected a datetime with non-None tzinfo"),
    (({}, dt.datetime(2024, 2, 1), NOW), TypeError,
     "argument 'last_update_time': expected a datetime with non-None tzinfo"),
    (({}, None, dt.datetime(2024, 2, 1, tzinfo=dt.timezone(dt.timedelta(hours=-5)))), ValueError,
     "expected datetime.timezone.utc"),
    (({}, None, None), TypeError, "argument 'current_time': "),
    (({}, None, "2024-02-01"), TypeError, "argument 'current_time': "),
    (({}, 0, NOW), TypeError, "argument 'last_update_time': "),
    (([], None, NOW), TypeError, "argument 'timeseries': "),
])
def test_eval_argument_refusals(cls, text, name, args, exc, message):
    s = sealed()
    with pytest.raises(exc) as info:
        cls(text, s).eval(s, *args)
    assert str(info.value).startswith(message)
    if not message.endswith(": "):
        assert str(info.value) == message


@pytest.mark.parametrize("cls,text,name", CLASSES)
def test_eval_parameters_must_be_sealed(cls, text, name):
    s = sealed()
    for bad in (parameters(), None, "x"):
        with pytest.raises(TypeError, match="^argument 'parameters': "):
            cls(text, s).eval(bad, {}, None, NOW)
        with pytest.raises(TypeError, match="^argument 'parameters': "):
            cls(text, s).expected_data(bad)


def test_eval_keyword_arguments():
    s = sealed()
    e = tarnel.Expression("pool.dex_spot", s)
    assert e.eval(parameters=s, timeseries={"pool.dex_spot": 5}, last_update_time=None, current_time=NOW) == 5


def leaf(name):
    return {"args": [], "name": name}


@pytest.mark.parametrize("cls,text,tree", [
    (tarnel.Expression, "1 + 2", {"args": [leaf("1"), leaf("2")], "name": "{} + {}"}),
    (tarnel.Expression, "max(1, pool.dex_spot)", {"args": [leaf("1"), leaf("pool.dex_spot")], "name": "max({})"}),
    (tarnel.Expression, "mean of pool.dex_spot between t=t-days(7) and t",
     {"args": [leaf("pool.dex_spot"),
               {"args": [{"args": [leaf("days(7)")], "name": "t-{}"}, leaf("t")], "name": "between {} and {}"}],
      "name": "mean of {} between {}"}),
    (tarnel.Expression, "2 ^ 3 * 1.50", {"args": [{"args": [leaf("2"), leaf("3")], "name": "{} ^ {}"}, leaf("1.50")],
                                         "name": "{} * {}"}),
    (tarnel.Condition, "1 < 2 AND NOT true", {"args": [{"args": [leaf("1"), leaf("2")], "name": "{} < {}"},
                                                       {"args": [leaf("true")], "name": "not {}"}],
                                              "name": "{} and {}"}),
    (tarnel.Condition, "pool.dex_spot > 3 OR false",
     {"args": [{"args": [leaf("pool.dex_spot"), leaf("3")], "name": "{} > {}"}, leaf("false")], "name": "{} or {}"}),
])
def test_get_syntax_tree(cls, text, tree):
    result = cls.get_syntax_tree(text, sealed())
    assert result == tree

    def keys_in_order(node):
        assert list(node.keys()) == ["args", "name"]
        assert isinstance(node["args"], list)
        for child in node["args"]:
            keys_in_order(child)
    keys_in_order(result)


@pytest.mark.parametrize("cls,text,message", [
    (tarnel.Expression, "pol.dex_spot + 1", "Unknown protocol pol in 'pol.dex_spot' starting at position 0"),
    (tarnel.Condition, "x > 1", None),
    (tarnel.Expression, "1 +", None),
])
def test_get_syntax_tree_checks_the_program(cls, text, message):
    with pytest.raises(RuntimeError) as info:
        cls.get_syntax_tree(text, sealed())
    if message:
        assert str(info.value) == message


def test_get_syntax_tree_is_static_and_documented():
    assert tarnel.Expression.get_syntax_tree.__text_signature__ == "(input, parameters)"
    assert tarnel.Condition.get_syntax_tree.__text_signature__ == "(input, parameters)"


def msgpack_uint(n):
    if n < 128:
        return bytes([n])
    for marker, fmt, limit in ((0xcc, ">B", 1 << 8), (0xcd, ">H", 1 << 16), (0xce, ">I", 1 << 32),
                               (0xcf, ">Q", 1 << 64)):
        if n < limit:
            return bytes([marker]) + struct.pack(fmt, n)
    raise ValueError(n)


def test_state_layout():
    s = sealed()
    state = tarnel.Expression("1.50", s).__getstate__()
    assert isinstance(state, bytes)
    assert state == (b"\x82\xa4tree\x81\xa7Literal\xa41.50\xb3parameter_signature" + msgpack_uint(signature_of(s)))
    state = tarnel.Condition("true", s).__getstate__()
    assert state == (b"\x82\xa4tree\x81\xa7Literal\xc3\xb3parameter_signature" + msgpack_uint(signature_of(s)))


def test_setstate_accepts_records_as_arrays():
    s = sealed()
    sig = msgpack_uint(signature_of(s))
    e = tarnel.Expression()
    e.__setstate__(b"\x92\x81\xa7Literal\xa32.5" + sig)
    assert e.eval(s, {}, None, NOW) == decimal.Decimal("2.5")
    e.__setstate__(b"\x92\x81\x00\x02" + sig)  # variant by index, literal as an integer
    assert e.eval(s, {}, None, NOW) == 2


@pytest.mark.parametrize("cls,text,name", CLASSES)
def test_str_shows_the_record_and_signature(cls, text, name):
    s = sealed()
    shown = str(cls(text, s))
    assert shown.startswith(f"{name} {{ tree: ")
    assert shown.endswith(f", parameter_signature: {signature_of(s):>16X} }}")
    assert "parameter_signature" not in repr(cls(text, s))


def copies():
    for protocol in range(2, pickle.HIGHEST_PROTOCOL + 1):
        yield f"pickle{protocol}", lambda o, p=protocol: pickle.loads(pickle.dumps(o, protocol=p))
    yield "copy", copy.copy
    yield "deepcopy", copy.deepcopy


@pytest.mark.parametrize("way,round_trip", list(copies()))
@pytest.mark.parametrize("cls,text,data,expected", [
    (tarnel.Expression, "pool.dex_spot * 2 + mean of pool.dex_spot between t=t-hours(1) and t",
     {"pool.dex_spot": series([1, 2, 3])}, decimal.Decimal("8.5")),
    (tarnel.Condition, "pool.dex_spot > 1 AND NOT pool.dex_spot > 5", {"pool.dex_spot": 2}, True),
])
def test_copies_evaluate_like_the_original(way, round_trip, cls, text, data, expected):
    s = sealed()
    program = cls(text, s)
    back = round_trip(program)
    assert type(back) is cls
    assert back.__getstate__() == program.__getstate__()
    assert str(back) == str(program)
    assert back.eval(s, data, None, NOW) == program.eval(s, data, None, NOW) == expected


@pytest.mark.parametrize("way,round_trip", list(copies()))
@pytest.mark.parametrize("cls,text,name", CLASSES)
def test_uninitialised_copies_stay_uninitialised(way, round_trip, cls, text, name):
    assert str(round_trip(cls())) == f"{name} {{ None }}"


@pytest.mark.parametrize("cls,text,name", CLASSES)
@pytest.mark.parametrize("state,exc", [
    ("text", TypeError), (None, TypeError), (b"", ValueError), (b"\x82\xa4tree", ValueError),
    (b"\x81\xa4tree\x81\xa7Literal\xa11", ValueError), (b"\x81\xa7Unknown\xc0", ValueError)])
def test_setstate_refusals_leave_the_program(cls, text, name, state, exc):
    s = sealed()
    program = cls(text, s)
    before = program.__getstate__()
    with pytest.raises(exc):
        program.__setstate__(state)
    assert program.__getstate__() == before
    assert program.eval(s, {}, None, NOW) == cls(text, s).eval(s, {}, None, NOW)


def test_setstate_nil_empties_the_program():
    e = tarnel.Expression("1", sealed())
    e.__setstate__(b"\xc0")
    assert str(e) == "Expression { None }"


def test_setstate_missing_field_message():
    e = tarnel.Expression()
    with pytest.raises(ValueError) as info:
        e.__setstate__(b"\x81\xb3parameter_signature\x01")
    assert "missing field `tree`" in str(info.value)


def test_deep_state_is_refused_without_crashing():
    e = tarnel.Expression()
    state = b"\x81\xa3Add\x92" * 100000 + b"\x81\xa7Literal\xa11" + b"\x81\xa7Literal\xa11" * 100000
    with pytest.raises(ValueError):
        e.__setstate__(state)
    assert str(e) == "Expression { None }"


EXPRESSION_DOCS = {
    "expected_data": ("($self, parameters)", "Returns a dictionary of the expected fields.\n\n"
                      "The value is false if an instant value is needed, true if a timeseries is expected"),
    "expected_time_range": ("($self, parameters)", None),
    "__setstate__": ("($self, state)", None),
    "__getstate__": ("($self)", None),
}


@pytest.mark.parametrize("cls,text,name", CLASSES)
@pytest.mark.parametrize("method,expected", EXPRESSION_DOCS.items())
def test_method_documentation(cls, text, name, method, expected):
    signature, doc = expected
    attr = getattr(cls, method)
    assert attr.__text_signature__ == signature
    assert attr.__doc__ == doc


def test_eval_documentation():
    signature = "($self, parameters, timeseries, last_update_time, current_time)"
    assert tarnel.Expression.eval.__text_signature__ == signature
    assert tarnel.Expression.eval.__doc__ == "Evaluate expression and return the result as a Decimal\n\n" \
                                             "None to represent abnormal values"
    assert tarnel.Condition.eval.__text_signature__ == signature
    assert tarnel.Condition.eval.__doc__ is None


@pytest.mark.parametrize("cls,text,name", CLASSES)
def test_instance_made_by_new_alone_is_uninitialised(cls, text, name):
    program = cls.__new__(cls)
    assert str(program) == f"{name} {{ None }}"
    assert program.__getstate__() == b"\xc0"
    with pytest.raises(ValueError, match=f"^Uninitialized {name}$"):
        program.eval(sealed(), {}, None, NOW)
    empty = tarnel.SealedParameters.__new__(tarnel.SealedParameters)
    assert repr(empty) == "SealedParameters { None }"
    with pytest.raises(ValueError, match="^Uninitialized SealedParameters$"):
        cls(text, empty)


@pytest.mark.parametrize("cls,text,name", CLASSES)
def test_methods_refuse_other_instances(cls, text, name):
    other = tarnel.Condition if cls is tarnel.Expression else tarnel.Expression
    for call in (lambda: cls.eval(5, sealed(), {}, None, NOW), lambda: cls.__setstate__(other(), b"\xc0"),
                 lambda: cls.__str__(None), lambda: cls.__getstate__(other())):
        with pytest.raises(TypeError):
            call()


@pytest.mark.parametrize("cls", [tarnel.Expression, tarnel.Condition, tarnel.Parameters, tarnel.SealedParameters])
def test_classes_are_final(cls):
    with pytest.raises(TypeError):
        type("Derived", (cls,), {})
