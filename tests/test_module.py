"""The module frame: version, docstring, capabilities, registration, signatures."""

import inspect

import pytest

import tessarin

CAPABILITIES = [
    "backtest_stops",
    "garch_ewma_forecast",
    "optimize_min_variance",
    "optimize_max_sharpe",
    "optimize_risk_parity",
    "inverse_cvar_weights",
    "inverse_cdar_weights",
    "backtest_holdings",
    "monte_carlo_stock_valuation_native",
    "monte_carlo_stock_valuation_parity",
]


def test_version_and_docstring():
    assert tessarin.__version__ == "0.19.2"
    assert tessarin.__doc__ == (
        "tessarin: Python bindings for a deterministic limit order book\n"
        "and matching engine for testing trading algorithms."
    )


@pytest.mark.parametrize("fn", [tessarin.capabilities, tessarin.py_capabilities])
def test_capabilities_are_a_fresh_list_in_table_order(fn):
    first = fn()
    assert first == CAPABILITIES
    first.append("mutated")
    first[0] = "changed"
    assert fn() == CAPABILITIES


@pytest.mark.parametrize("fn", [tessarin.capabilities, tessarin.py_capabilities])
def test_capabilities_signature_and_no_docstring(fn):
    assert fn.__text_signature__ == "()"
    assert fn.__doc__ is None
    assert str(inspect.signature(fn)) == "()"


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda: tessarin.capabilities(1), "capabilities() takes no arguments (1 given)"),
        (lambda: tessarin.py_capabilities(x=1), "py_capabilities() got an unexpected keyword argument 'x'"),
    ],
)
def test_capabilities_refuse_arguments(call, message):
    with pytest.raises(TypeError) as info:
        call()
    assert str(info.value) == message
