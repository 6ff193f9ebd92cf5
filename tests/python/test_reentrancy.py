import pytest

import tarnel
from support import NOW, START, sealed, series

KEY = "pool.dex_spot"


class Callback:
    """A value whose str() runs `action` in the middle of a scalar read."""

    def __init__(self, action, text="1.5"):
        self.action = action
        self.text = text
        self.errors = []

    def __str__(self):
        try:
            self.action()
        except RuntimeError as e:
            self.errors.append(str(e))
        return self.text


@pytest.mark.parametrize("target", ["sealed", "program"])
def test_setstate_during_eval_is_refused(target):
    s = sealed()
    program = tarnel.Expression(KEY, s)
    victim = s if target == "sealed" else program
    before = victim.__getstate__()
    value = Callback(lambda: victim.__setstate__(b"\xc0"))
    assert str(program.eval(s, {KEY: value}, None, NOW)) == "1.5"
    assert value.errors == ["Already borrowed"]
    assert victim.__getstate__() == before
    # Once the call is over the instance can change again.
    victim.__setstate__(b"\xc0")
    assert victim.__getstate__() == b"\xc0"


def test_reads_during_eval_are_allowed():
    s = sealed()
    program = tarnel.Condition(f"{KEY} > 1", s)
    seen = []
    value = Callback(lambda: seen.append((s.to_json(), program.expected_data(s),
                                          program.eval(s, {KEY: 0}, None, NOW))), text="2")
    assert program.eval(s, {KEY: value}, None, NOW) is True
    assert value.errors == []
    assert seen[0][1] == {KEY: False} and seen[0][2] is False


def test_nested_eval_with_other_parameters_keeps_keys_apart():
    p = tarnel.Parameters(START)
    p.add_uniswap_v3_protocol("other", "WETH", "USDC")
    other = p.seal()
    s = sealed()
    program = tarnel.Expression("1 + 1", s)
    inner = []
    value = Callback(lambda: inner.append(program.eval(other, {}, None, NOW)), text="3")
    outer = tarnel.Expression(KEY, s)
    assert outer.eval(s, {KEY: value}, None, NOW) == 3
    assert outer.eval(s, {KEY: series([1, 5])}, None, NOW) == 5
    assert inner == [2]


def test_lookup_that_changes_the_program_is_refused():
    s = sealed()
    program = tarnel.Expression(KEY, s)
    errors = []

    class Key:
        def __hash__(self):
            return hash(KEY)

        def __eq__(self, other):
            try:
                program.__setstate__(b"\xc0")
            except RuntimeError as e:
                errors.append(str(e))
            return other == KEY

    assert program.eval(s, {Key(): 4}, None, NOW) == 4
    assert errors == ["Already borrowed"]


def test_dict_changed_during_the_read_is_safe():
    s = sealed()
    data = {}
    program = tarnel.Expression(f"{KEY} + bot.all.pnl", s)

    def clear():
        data.clear()
        data["bot.all.pnl"] = 1
    data[KEY] = Callback(clear, text="2")
    data["bot.all.pnl"] = 5
    assert program.eval(s, data, None, NOW) == 3
