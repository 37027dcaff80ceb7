"""Continuous-integration harness for trading strategies."""
from ._vornak_strategy_ci import Session, __version__

__all__ = ["Session", "__version__"]
