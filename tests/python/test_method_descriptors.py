"""The classes' methods are native descriptors, as a method table of a C type would give."""
import inspect
import types

import pytest

import tarnel
from support import NOW, START, parameters, sealed

PROGRAM_METHODS = [
    ("eval", "parameters, timeseries, last_update_time, current_time"),
    ("expected_data", "parameters"),
    ("expected_time_range", "parameters"),
    ("__getstate__", ""),
    ("__setstate__", "state"),
    ("__str__", None),
]
PARAMETERS_METHODS = [
    ("add_protocol_json", "config, name, parameters"),
    ("add_protocol_yaml", "config, name, parameters"),
    ("add_uniswap_v2_protocol", "name, token0, token1, address=None"),
    ("add_uniswap_v3_protocol", "name, token0, token1, address=None"),
    ("add_compound_v2_protocol", "tokens"),
    ("add_aave_v3_protocol", "tokens"),
    ("add_curve_stable_protocol", "name, tokens, address=None"),
    ("add_curve_crypto_protocol", "name, tokens, address=None"),
    ("add_common", "tokens"),
    ("add_agents", "agents"),
    ("add_agent_variables", "agent_name, variables"),
    ("add_custom_function", "function"),
    ("seal", ""),
]
SEALED_METHODS = [("to_json", ""), ("__getstate__", ""), ("__setstate__", "state"), ("__repr__", None)]

# (class, method, parameters after self; None when the method has no text signature)
INSTANCE_METHODS = ([(tarnel.Expression, n, p) for n, p in PROGRAM_METHODS]
                    + [(tarnel.Condition, n, p) for n, p in PROGRAM_METHODS]
                    + [(tarnel.Parameters, n, p) for n, p in PARAMETERS_METHODS]
                    + [(tarnel.SealedParameters, n, p) for n, p in SEALED_METHODS])
STATIC_METHODS = [(tarnel.Expression, "get_syntax_tree", "input, parameters"),
                  (tarnel.Condition, "get_syntax_tree", "input, parameters"),
                  (tarnel.SealedParameters, "from_json", "data")]
ALL_METHODS = [(c, n) for c, n, _ in INSTANCE_METHODS + STATIC_METHODS]


def cases(table):
    return [pytest.param(*case, id=f"{case[0].__name__}.{case[1]}") for case in table]


def instance_of(cls):
    if cls is tarnel.Expression:
        return tarnel.Expression("1 + 1", sealed())
    if cls is tarnel.Condition:
        return tarnel.Condition("1 < 2", sealed())
    if cls is tarnel.Parameters:
        return tarnel.Parameters(START)
    return sealed()


def test_every_pybind11_method_is_covered():
    callables = {(cls, name) for cls in (tarnel.Expression, tarnel.Condition, tarnel.Parameters,
                                         tarnel.SealedParameters)
                 for name, value in vars(cls).items() if name != "__init__" and (callable(value) or
                                                                                 isinstance(value, staticmethod))}
    assert callables == set(ALL_METHODS)


@pytest.mark.parametrize("cls,name,params", cases(INSTANCE_METHODS))
def test_instance_method_is_a_method_descriptor(cls, name, params):
    entry = vars(cls)[name]
    assert type(entry) is types.MethodDescriptorType
    assert entry.__objclass__ is cls
    assert entry.__name__ == name
    assert entry.__qualname__ == f"{cls.__name__}.{name}"


@pytest.mark.parametrize("cls,name,params", cases(STATIC_METHODS))
def test_static_method_wraps_a_builtin_of_the_class(cls, name, params):
    entry = vars(cls)[name]
    assert type(entry) is staticmethod
    function = entry.__func__
    assert type(function) is types.BuiltinFunctionType
    assert function.__self__ is None
    assert getattr(cls, name) is function
    assert function.__name__ == name
    assert function.__qualname__ == f"{cls.__name__}.{name}"


@pytest.mark.parametrize("cls,name,params", cases(INSTANCE_METHODS))
def test_bound_method_is_a_builtin_of_the_instance(cls, name, params):
    obj = instance_of(cls)
    bound = getattr(obj, name)
    assert type(bound) is types.BuiltinFunctionType
    assert bound.__self__ is obj
    assert bound.__name__ == name
    assert bound.__qualname__ == f"{cls.__name__}.{name}"


@pytest.mark.parametrize("cls,name,params", cases(INSTANCE_METHODS))
def test_instance_method_signatures(cls, name, params):
    unbound = getattr(cls, name)
    bound = getattr(instance_of(cls), name)
    if params is None:
        assert unbound.__text_signature__ is None
        with pytest.raises(ValueError):
            inspect.signature(unbound)
        return
    assert unbound.__text_signature__ == f"($self{', ' if params else ''}{params})"
    assert bound.__text_signature__ == unbound.__text_signature__
    # CPython makes the "$self" of a text signature positional-only.
    assert str(inspect.signature(unbound)) == f"(self, /{', ' if params else ''}{params})"
    assert str(inspect.signature(bound)) == f"({params})"


@pytest.mark.parametrize("cls,name,params", cases(STATIC_METHODS))
def test_static_method_signatures(cls, name, params):
    function = getattr(cls, name)
    assert function.__text_signature__ == f"({params})"
    assert str(inspect.signature(function)) == f"({params})"
    assert str(inspect.signature(getattr(instance_of(cls), name))) == f"({params})"


@pytest.mark.parametrize("cls", [tarnel.Expression, tarnel.Condition])
def test_program_docstrings_are_unchanged(cls):
    assert cls.expected_data.__doc__ == ("Returns a dictionary of the expected fields.\n\n"
                                         "The value is false if an instant value is needed, true if a timeseries is "
                                         "expected")
    # An empty text after the signature reads as no docstring.
    assert cls.expected_time_range.__doc__ is None
    assert cls.get_syntax_tree.__doc__ is None
    expected = "Evaluate expression and return the result as a Decimal\n\nNone to represent abnormal values"
    assert cls.eval.__doc__ == (expected if cls is tarnel.Expression else None)
    assert cls.__str__.__doc__ is None


@pytest.mark.parametrize("cls", [tarnel.Expression, tarnel.Condition])
def test_eval_by_position_keyword_and_unbound(cls):
    s = sealed()
    program = cls("1 + 1" if cls is tarnel.Expression else "1 < 2", s)
    expected = program.eval(s, {}, None, NOW)
    assert program.eval(s, {}, current_time=NOW, last_update_time=None) == expected
    assert program.eval(parameters=s, timeseries={}, last_update_time=None, current_time=NOW) == expected
    assert cls.eval(program, s, {}, None, NOW) == expected
    assert cls.eval(program, s, timeseries={}, last_update_time=None, current_time=NOW) == expected
    assert program.expected_data(parameters=s) == {}
    assert cls.expected_time_range(program, parameters=s) == []


def test_static_methods_by_position_and_keyword():
    s = sealed()
    tree = tarnel.Expression.get_syntax_tree("1 + 1", s)
    assert tarnel.Expression.get_syntax_tree(input="1 + 1", parameters=s) == tree
    assert tarnel.Expression("1 + 1", s).get_syntax_tree("1 + 1", parameters=s) == tree
    text = s.to_json()
    assert tarnel.SealedParameters.from_json(data=text).to_json() == text
    assert s.from_json(text).to_json() == text


def test_parameters_methods_by_keyword():
    p = tarnel.Parameters(START)
    p.add_uniswap_v3_protocol(name="pool", token0="WETH", token1="USDC", address=None)
    tarnel.Parameters.add_agents(p, agents=["bot"])
    p.add_agent_variables("bot", variables=["risk"])
    p.add_common(tokens=["WETH", "USDC"])
    assert p.seal().to_json() == parameters().seal().to_json()


@pytest.mark.parametrize("call,message", [
    (lambda p, s: p.add_agents("bot"), r"^argument 'agents': "),
    (lambda p, s: p.add_agents(agents=5), r"^argument 'agents': "),
    (lambda p, s: tarnel.Expression("1", s).eval(1, {}, None, NOW),
     r"^argument 'parameters': 'int' object cannot be converted to 'SealedParameters'$"),
    (lambda p, s: tarnel.Expression("1", s).eval(s, {}, None), r"^eval\(\): incompatible function arguments"),
    (lambda p, s: tarnel.Expression("1", s).eval(s, {}, None, NOW, nothing=1),
     r"^eval\(\): incompatible function arguments"),
    (lambda p, s: p.seal(1), r"^seal\(\): incompatible function arguments"),
    # More values than the forwarding keeps on the stack.
    (lambda p, s: p.add_uniswap_v2_protocol(*"abcdefghij", k=1, m=2),
     r"^add_uniswap_v2_protocol\(\): incompatible function arguments"),
    (lambda p, s: tarnel.Expression.get_syntax_tree(1, s), r"^argument 'input': "),
    (lambda p, s: tarnel.Condition.get_syntax_tree(), r"^get_syntax_tree\(\): incompatible function arguments"),
    (lambda p, s: tarnel.SealedParameters.from_json(b"{}"), r"^argument 'data': "),
    (lambda p, s: s.__setstate__("x"), r"^argument 'state': "),
])
def test_argument_errors_come_from_the_original_function(call, message):
    with pytest.raises(TypeError, match=message):
        call(tarnel.Parameters(START), sealed())


@pytest.mark.parametrize("cls,name,params", cases(INSTANCE_METHODS))
@pytest.mark.parametrize("foreign", [None, 5, "text", tarnel.Expression, "other class"])
def test_descriptor_refuses_foreign_self(cls, name, params, foreign):
    if foreign == "other class":
        foreign = instance_of(tarnel.Condition if cls is tarnel.Expression else tarnel.Expression)
    method = getattr(cls, name)
    with pytest.raises(TypeError, match="doesn't apply to a"):
        method(foreign)
    with pytest.raises(TypeError):
        method()


def test_eval_of_the_other_program_class_is_refused():
    s = sealed()
    with pytest.raises(TypeError, match=r"^descriptor 'eval' for 'Expression' objects doesn't apply to a 'Condition'"):
        tarnel.Expression.eval(tarnel.Condition("1 < 2", s), s, {}, None, NOW)


@pytest.mark.parametrize("cls", [tarnel.Expression, tarnel.Condition, tarnel.Parameters])
def test_constructor_is_a_slot_wrapper(cls):
    assert type(vars(cls)["__init__"]) is types.WrapperDescriptorType
    with pytest.raises(TypeError):
        cls.__init__(tarnel.SealedParameters())


def test_constructors_behave_as_before():
    s = sealed()
    assert str(tarnel.Expression()) == "Expression { None }"
    assert tarnel.Condition("1 < 2", s).eval(s, {}, None, NOW) is True
    with pytest.raises(TypeError, match="^Invalid args$"):
        tarnel.Expression("1")
    with pytest.raises(TypeError):
        tarnel.Expression(input="1", parameters=s)
    p = tarnel.Parameters(start_date=START)
    p.add_agents(["bot"])
    with pytest.raises(TypeError, match="^argument 'start_date': "):
        tarnel.Parameters(5)
    with pytest.raises(TypeError, match=r"^__init__\(\): incompatible constructor arguments"):
        tarnel.Parameters()
