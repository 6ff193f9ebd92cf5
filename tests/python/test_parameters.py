import copy
import datetime as dt
import json
import pickle

import pytest

import tarnel
from support import START, UTC, NOW, evaluate, parameters, sealed, series, signature_of

UNI_LINES = [
    "",
    "# Arguments",
    "",
    "* `name`: local name of the protocol",
    "* `token0`: symbol of the first token",
    " " * 12 + "(formally token0 in the expression even it is not the native order in the pool)",
    "* `token1`: symbol of the second token",
    " " * 12 + "(formally token0 in the expression even it is not the native order in the pool)",
    "* `positions`: list of the position names",
    "* `address`: address the protocol (optional)",
    "* `swap_token_order`: true if the token symbols are described are in the opposite order (false by default)",
]
TOKEN_LINES = ["", "# Arguments", "", "* `tokens`: list of the tokens", "* `address`: address the protocol (optional)"]

PARAMETERS_DOCS = {
    "add_protocol_json": ("($self, config, name, parameters)", ["Add a protocol based on a json configuration"]),
    "add_protocol_yaml": ("($self, config, name, parameters)",
                          ["Add a protocol based on a yaml configuration and parameters"]),
    "add_uniswap_v2_protocol": ("($self, name, token0, token1, address=None)",
                                ["Configure an UniswapV2 protocol"] + UNI_LINES),
    "add_uniswap_v3_protocol": ("($self, name, token0, token1, address=None)",
                                ["Configure an UniswapV3 protocol"] + UNI_LINES),
    "add_compound_v2_protocol": ("($self, tokens)", ["Configure a Compound V2 protocol"] + TOKEN_LINES),
    "add_aave_v3_protocol": ("($self, tokens)", ["Configure an Aave V3 protocol"] + TOKEN_LINES),
    "add_curve_stable_protocol": ("($self, name, tokens, address=None)",
                                  ["Configure an Curve stable protocol"] + TOKEN_LINES),
    "add_curve_crypto_protocol": ("($self, name, tokens, address=None)",
                                  ["Configure an Curve crypto protocol"] + TOKEN_LINES),
    "add_common": ("($self, tokens)", ["Add a common configuration", "", "Usually defined in common.asset_params", "",
                                       "# Arguments", "", "* `spot_pairs`: array of spot pairs"]),
    "add_agents": ("($self, agents)", ["Add agents ids in the parameters", "", "# Arguments", "",
                                       "* `agents`: list of agent ids"]),
    "add_agent_variables": ("($self, agent_name, variables)",
                            ["Add custom variables to an agent", "", "# Arguments", "",
                             "* `variables`: list of variable name to declare  "]),
    "add_custom_function": ("($self, function)",
                            ["Add the definition of a custom function", "",
                             "Usuallu they should be defined once the protocol parameters have been set to be able to "
                             "use them.", "", "# Arguments", "", "* `function`: function definition string"]),
    "seal": ("($self)", ["Make sealed parameters that cannot be changed"]),
}


@pytest.mark.parametrize("method,expected", PARAMETERS_DOCS.items())
def test_parameters_method_documentation(method, expected):
    signature, lines = expected
    attr = getattr(tarnel.Parameters, method)
    assert attr.__text_signature__ == signature
    assert attr.__doc__ == "\n".join(lines)


@pytest.mark.parametrize("method,signature", [
    ("to_json", "($self)"), ("from_json", "(data)"), ("__getstate__", "($self)"), ("__setstate__", "($self, state)")])
def test_sealed_parameters_method_signatures(method, signature):
    attr = getattr(tarnel.SealedParameters, method)
    assert attr.__text_signature__ == signature
    assert not attr.__doc__


def test_parameters_constructor_signature():
    assert tarnel.Parameters.__text_signature__ == "(start_date)"


@pytest.mark.parametrize("value,exc,message", [
    (dt.datetime(2024, 1, 1), TypeError, "argument 'start_date': expected a datetime with non-None tzinfo"),
    (dt.datetime(2024, 1, 1, tzinfo=dt.timezone(dt.timedelta(hours=1))), ValueError, "expected datetime.timezone.utc"),
    ("2024-01-01", TypeError, None),
    (dt.date(2024, 1, 1), TypeError, None),
    (None, TypeError, None),
])
def test_start_date_refusals(value, exc, message):
    with pytest.raises(exc) as info:
        tarnel.Parameters(value)
    if message is not None:
        assert str(info.value) == message
    else:
        assert str(info.value).startswith("argument 'start_date': ")


@pytest.mark.parametrize("start", [
    dt.datetime(2024, 1, 1, tzinfo=UTC),
    dt.datetime(2024, 1, 1, tzinfo=dt.timezone(dt.timedelta(0))),
])
def test_start_date_in_utc_is_accepted(start):
    tarnel.Parameters(start).seal()


@pytest.mark.parametrize("start,text", [
    (dt.datetime(2024, 1, 1, tzinfo=UTC), "2024-01-01T00:00:00Z"),
    (dt.datetime(2024, 1, 1, 0, 0, 0, 500000, tzinfo=UTC), "2024-01-01T00:00:00.500Z"),
    (dt.datetime(2024, 1, 1, 0, 0, 0, 1, tzinfo=UTC), "2024-01-01T00:00:00.000001Z"),
])
def test_start_date_in_json(start, text):
    document = json.loads(tarnel.Parameters(start).seal().to_json())
    assert document["internal"]["internal"]["start_date"] == text


# Argument conversion: the call, and the argument named in the TypeError.
BAD_ARGUMENTS = [
    ("add_agents", ("bot",), {}, "agents"),
    ("add_agents", ([1],), {}, "agents"),
    ("add_agents", (5,), {}, "agents"),
    ("add_common", ("WETH",), {}, "tokens"),
    ("add_agent_variables", ("bot", "x"), {}, "variables"),
    ("add_agent_variables", (1, ["x"]), {}, "agent_name"),
    ("add_custom_function", (1,), {}, "function"),
    ("add_custom_function", (b"function f() { return 1 }",), {}, "function"),
    ("add_uniswap_v2_protocol", ("pool", "WETH", "USDC"), {"address": 1}, "address"),
    ("add_uniswap_v3_protocol", ("pool", "WETH", 3), {}, "token1"),
    ("add_uniswap_v3_protocol", (None, "WETH", "USDC"), {}, "name"),
    ("add_compound_v2_protocol", (["USDC", "WETH"],), {}, "tokens"),
    ("add_compound_v2_protocol", ([("USDC",)],), {}, "tokens"),
    ("add_compound_v2_protocol", ([("USDC", 1)],), {}, "tokens"),
    ("add_compound_v2_protocol", ([["USDC", None]],), {}, "tokens"),
    ("add_aave_v3_protocol", ("USDC",), {}, "tokens"),
    ("add_curve_stable_protocol", ("curve", "USDC"), {}, "tokens"),
    ("add_curve_crypto_protocol", ("curve", ["USDC", "WETH"]), {"address": 0}, "address"),
    ("add_protocol_json", ("{}", "proto", "[]"), {}, "parameters"),
    ("add_protocol_yaml", (1, "proto", []), {}, "config"),
]


@pytest.mark.parametrize("method,args,kwargs,argument", BAD_ARGUMENTS)
def test_argument_type_refusals(method, args, kwargs, argument):
    p = tarnel.Parameters(START)
    before = signature_of(p.seal())
    with pytest.raises(TypeError) as info:
        getattr(p, method)(*args, **kwargs)
    assert str(info.value).startswith(f"argument '{argument}': ")
    assert signature_of(p.seal()) == before


def test_keyword_arguments():
    p = tarnel.Parameters(start_date=START)
    p.add_uniswap_v3_protocol(name="pool", token0="WETH", token1="USDC", address="0x" + "ab" * 20)
    p.add_agents(agents=("bot",))
    p.add_agent_variables(agent_name="bot", variables=["x"])
    p.add_common(tokens=["WETH", "USDC"])
    p.add_custom_function(function="function f() { return 1 }")
    s = p.seal()
    assert tarnel.Expression("f() + bot.variables.x + pool.dex_spot", s).expected_data(s) == {
        "bot.variables.x": False, "pool.dex_spot": False}


def test_compound_pairs_register_the_symbols_only():
    p = tarnel.Parameters(START)
    p.add_compound_v2_protocol([("USDC", None), ("WETH", "0x" + "12" * 20)])
    s = p.seal()
    e = tarnel.Expression('compound_v2.total_cash:{WETH} + compound_v2.total_cash:{token="USDC"}', s)
    assert e.expected_data(s) == {'compound_v2.total_cash:{token="WETH"}': False,
                                  'compound_v2.total_cash:{token="USDC"}': False}


@pytest.mark.parametrize("calls,message", [
    ([("add_uniswap_v2_protocol", ("common", "WETH", "USDC"))],
     "Cannot add UniswapV2 protocol with reserved word 'common'"),
    ([("add_aave_v3_protocol", ([("USDC", None)],)), ("add_aave_v3_protocol", ([("WETH", None)],))],
     "Protocol already exists aave_v3"),
    ([("add_agents", (["a"],)), ("add_agents", (["a"],))], "Agent already exists a"),
    ([("add_custom_function", ("function f() { return 1 }",)), ("add_custom_function", ("function f() { return 2 }",))],
     "Function 'f' already registered"),
    ([("add_agent_variables", ("bot", ["x", "x"])), ("add_agent_variables", ("bot", ["y", "x"]))],
     "Agent variable 'x' for agent 'bot' is already registered"),
])
def test_core_refusals_are_runtime_errors(calls, message):
    p = tarnel.Parameters(START)
    *setup, (method, args) = calls
    for name, a in setup:
        getattr(p, name)(*a)
    with pytest.raises(RuntimeError) as info:
        getattr(p, method)(*args)
    assert str(info.value) == message


def test_failed_custom_function_text_is_a_parse_error():
    p = tarnel.Parameters(START)
    with pytest.raises(RuntimeError) as info:
        p.add_custom_function("function f( { return 1 }")
    assert str(info.value).startswith("error at 1:")


def test_yaml_component_error_names_the_index_with_cause():
    p = tarnel.Parameters(START)
    with pytest.raises(RuntimeError) as info:
        p.add_protocol_yaml("name: X", "proto", ["[WETH]", "[unclosed"])
    text = str(info.value)
    assert text.startswith("Failed to parse metric name config parameter at index 1 for protocol proto\n\nCaused by:\n    ")


def test_agents_added_before_a_bad_name_stay():
    p = tarnel.Parameters(START)
    with pytest.raises(RuntimeError):
        p.add_agents(["a", "1b"])
    with pytest.raises(RuntimeError, match="^Agent already exists a$"):
        p.add_agents(["a"])


def test_sealing_twice_gives_independent_equal_instances():
    p = parameters()
    first = p.seal()
    p.add_uniswap_v2_protocol("other", "WETH", "USDC")
    second = p.seal()
    assert signature_of(first) == signature_of(second)
    tarnel.Expression("other.dex_spot", second)
    with pytest.raises(RuntimeError, match="^Unknown protocol other in 'other.dex_spot' starting at position 0$"):
        tarnel.Expression("other.dex_spot", first)
    # Programs compiled against one evaluate with the other (the registry is not signed).
    assert tarnel.Expression("1 + 1", first).eval(second, {}, None, NOW) == 2


def test_signature_covers_custom_functions_and_start_date():
    base = signature_of(sealed())
    p = parameters()
    p.add_custom_function("function f() { return 1 }")
    assert signature_of(p.seal()) != base
    assert signature_of(sealed(START + dt.timedelta(seconds=1))) != base


def test_signature_ignores_function_order():
    a, b = parameters(), parameters()
    f = "function f(x) { return x + 1 }"
    g = "function g(x) { return x * 2 }"
    a.add_custom_function(f)
    a.add_custom_function(g)
    b.add_custom_function(g)
    b.add_custom_function(f)
    assert signature_of(a.seal()) == signature_of(b.seal())


# SealedParameters


def test_uninitialised_sealed_parameters():
    s = tarnel.SealedParameters()
    assert repr(s) == "SealedParameters { None }"
    assert s.to_json() == '{"internal":null}'
    assert s.__getstate__() == b"\xc0"


@pytest.mark.parametrize("text", ['{"internal":null}', '{"internal": null}', "{}"])
def test_from_json_of_uninitialised_forms(text):
    s = tarnel.SealedParameters.from_json(text)
    assert repr(s) == "SealedParameters { None }"
    with pytest.raises(ValueError, match="^Uninitialized SealedParameters$"):
        tarnel.Expression("1", s)


def test_repr_of_sealed_parameters_is_not_the_empty_form():
    assert repr(sealed()) != "SealedParameters { None }"


@pytest.mark.parametrize("text", ["", "not json", '{"internal": 1}', '{"internal": {"internal": null}}'])
def test_from_json_refusals_are_runtime_errors(text):
    with pytest.raises(RuntimeError):
        tarnel.SealedParameters.from_json(text)


@pytest.mark.parametrize("signature", ["-1", "1.5", "18446744073709551616"])
def test_from_json_refuses_bad_signatures(signature):
    document = json.loads(sealed().to_json())
    text = json.dumps(document).replace(str(document["internal"]["signature"]), signature)
    with pytest.raises(RuntimeError):
        tarnel.SealedParameters.from_json(text)


def test_from_json_requires_str():
    with pytest.raises(TypeError, match="^argument 'data': "):
        tarnel.SealedParameters.from_json(b"{}")


def test_json_round_trip_keeps_signature_and_evaluates():
    p = parameters()
    p.add_custom_function("function spread(a, b) { d = a - b; if d > 0 { return d } else { return 0 - d } }")
    s = p.seal()
    program = tarnel.Expression("spread(pool.dex_spot, 3)", s)
    back = tarnel.SealedParameters.from_json(s.to_json())
    assert signature_of(back) == signature_of(s)
    assert back.to_json() == tarnel.SealedParameters.from_json(back.to_json()).to_json()
    assert program.eval(back, {"pool.dex_spot": 1}, None, NOW) == 2


def state_round_trips():
    yield "pickle", lambda s: pickle.loads(pickle.dumps(s, protocol=2))
    yield "pickle-highest", lambda s: pickle.loads(pickle.dumps(s, protocol=pickle.HIGHEST_PROTOCOL))
    yield "copy", copy.copy
    yield "deepcopy", copy.deepcopy


@pytest.mark.parametrize("name,round_trip", list(state_round_trips()))
def test_sealed_parameters_copies_evaluate(name, round_trip):
    s = sealed()
    program = tarnel.Expression("pool.dex_spot * 2", s)
    back = round_trip(s)
    assert type(back) is tarnel.SealedParameters
    assert back.__getstate__() == s.__getstate__()
    assert signature_of(back) == signature_of(s)
    assert str(program.eval(back, {"pool.dex_spot": "1.25"}, None, NOW)) == "2.50"


@pytest.mark.parametrize("name,round_trip", list(state_round_trips()))
def test_uninitialised_sealed_parameters_copy_uninitialised(name, round_trip):
    assert repr(round_trip(tarnel.SealedParameters())) == "SealedParameters { None }"


def test_setstate_nil_empties_the_instance():
    s = sealed()
    s.__setstate__(b"\xc0")
    assert repr(s) == "SealedParameters { None }"


@pytest.mark.parametrize("state,exc", [
    ("text", TypeError),
    (bytearray(b"\xc0"), TypeError),
    (None, TypeError),
    (b"", ValueError),
    (b"\xff", ValueError),
    (b"\x81\xa8internal\xc0", ValueError),
    (b"\x92\xc0", ValueError),
])
def test_setstate_refusals_leave_the_instance_unchanged(state, exc):
    s = sealed()
    before = s.__getstate__()
    with pytest.raises(exc) as info:
        s.__setstate__(state)
    if exc is TypeError:
        assert str(info.value).startswith("argument 'state': ")
    assert s.__getstate__() == before
    assert evaluate("pool.dex_spot", {"pool.dex_spot": 3}, params=s) == 3


def test_setstate_replaces_the_content():
    source = parameters()
    source.add_custom_function("function f() { return 7 }")
    a, b = source.seal(), sealed()
    b.__setstate__(a.__getstate__())
    assert b.__getstate__() == a.__getstate__()
    assert tarnel.Expression("f()", b).eval(b, {}, None, NOW) == 7


def test_setstate_fills_an_empty_instance():
    s = sealed()
    back = tarnel.SealedParameters()
    back.__setstate__(s.__getstate__())
    assert back.to_json() == s.to_json()


@pytest.mark.parametrize("cls,signature", [
    (tarnel.Parameters, "(start_date)"), (tarnel.SealedParameters, "()"),
    (tarnel.Expression, "(self, /, input, parameters)"), (tarnel.Condition, "(self, /, input, parameters)")])
def test_constructor_introspection(cls, signature):
    import inspect
    assert str(inspect.signature(cls)) == signature


def test_parameters_made_by_new_alone_refuse_every_method():
    p = tarnel.Parameters.__new__(tarnel.Parameters)
    calls = [lambda: p.add_agents(["a"]), lambda: p.seal(), lambda: p.add_common(["WETH"]),
             lambda: p.add_uniswap_v3_protocol("pool", "WETH", "USDC"), lambda: p.add_custom_function("function f() { return 1 }"),
             lambda: p.add_aave_v3_protocol([("USDC", None)]), lambda: p.add_agent_variables("a", ["x"])]
    for call in calls:
        with pytest.raises(TypeError, match=r"^Parameters.__init__\(\) has not been called$"):
            call()
    p.__init__(START)
    p.add_agents(["a"])
    assert signature_of(p.seal()) == signature_of(tarnel.Parameters(START).seal())


@pytest.mark.parametrize("call", [
    lambda: tarnel.Parameters.add_agents(5, ["a"]),
    lambda: tarnel.Parameters.seal(tarnel.SealedParameters()),
    lambda: tarnel.SealedParameters.to_json(tarnel.Parameters(START)),
    lambda: tarnel.SealedParameters.__setstate__(None, b"\xc0"),
])
def test_methods_refuse_foreign_instances(call):
    with pytest.raises(TypeError):
        call()
