"""The routine reference in Markdown, generated from the help texts: the friendly layer's
functions and classes, the record attributes and every routine of the extension module
(``zeft reference`` prints it)."""

from __future__ import annotations

import inspect
import re

__all__ = ["markdown"]

_FRIENDLY = ("Panel", "Load", "Isotropic", "PlyStack", "ABD", "Stiffener", "StringerWalls", "analyse",
             "BucklingResult", "sweep", "plot_mode", "plot_contour", "read_mode_file", "load_panel",
             "laminate_abd", "example_panel")


def _routines(doc: str) -> dict:
    """Routine names per group, from the module help text's line of routine groups
    ("  zeftutils --- abdetc(),chneig(),...  prtnds31 --- p_la11,...,callzeft(),...")."""
    groups = {}
    for line in doc.splitlines():
        for name, members in re.findall(r"(\w+) --- (\S+)", line):
            groups[name] = [m[:-2] for m in members.split(",") if m.endswith("()")]
    return groups


def _block(text: str) -> list:
    return ["```", inspect.cleandoc(text or ""), "```", ""]


def markdown() -> str:
    import _zeft

    import zeft

    out = ["## Reference", "", "### The package `zeft`", ""]
    for name in _FRIENDLY:
        obj = getattr(zeft, name)
        try:
            sig = str(inspect.signature(obj))
        except (TypeError, ValueError):
            sig = "(...)"
        out += [f"#### `zeft.{name}{sig if callable(obj) else ''}`", ""]
        out += [inspect.cleandoc(obj.__doc__ or ""), ""]

    doc = _zeft.__doc__ or ""
    records = [l.strip() for l in doc.splitlines() if l.startswith("  /")]
    out += ["### Record attributes of `_zeft`", "",
            "Live NumPy views of the shared analysis state (preset-31 shapes); assigning sets the record.", ""]
    out += [f"- `{r}`" for r in records] + [""]

    out += ["### Routines of `_zeft`", "",
            "`zeftutils` holds the shared numerical routines; `prtnds31` the analysis routines of "
            "size preset 31. `prtnds19`, `prtnds21` and `prtnds25` have the same routines with the "
            "bounds of their preset.", ""]
    listed = _routines(doc)
    for group_name in ("zeftutils", "prtnds31"):
        group = getattr(_zeft, group_name)
        for name in listed.get(group_name, []):
            out += [f"#### `{group_name}.{name}`", ""] + _block(getattr(group, name).__doc__)
    return "\n".join(out).rstrip() + "\n"
