"""Friendly layer over the `_zeft` buckling-analysis module."""

__all__ = ["laminate_abd"]

from .laminate import laminate_abd
