"""The module interface: groups, parameters, record views, argument conversion, help texts."""

import re

import numpy as np
import pytest

import _zeft
from conftest import callzeft_args as shared_callzeft_args
from conftest import set_grid

PRESETS = {31: (30, 29, 961, 900, 3844, 15376), 19: (18, 17, 361, 324, 1444, 5776),
           21: (20, 19, 441, 400, 1764, 7056), 25: (24, 23, 625, 576, 2500, 10000)}

UTIL_ROUTINES = ["abdetc", "chneig", "chodec", "chosol", "cktype", "cripplingo", "cripplingt", "eigvpr",
                 "jacob2", "lqfit", "mklvbd", "probtm", "phi", "prtype", "rdtype", "simvit", "trnpsi"]
ANALYSIS_ROUTINES = ["callzeft", "zeftmain", "initlz", "a11xst", "a11yst", "a21ast", "a22ast", "bmatst",
                     "buvi", "cmpa11", "cmpa21", "cmpa22", "cmpbmt", "cmpmmt", "cntour", "f01kbf", "f01ktf",
                     "glbuck", "incs2", "incs3", "iuoriv", "kuorkv", "mmtst", "modes", "pltmsh", "prtout",
                     "prtvib", "rddata", "redfkq", "setkey", "tczinc", "tfmstf", "tminc", "vibs2", "vibs3"]


@pytest.mark.parametrize("n", sorted(PRESETS))
def test_preset_parameters(n):
    r1, s, nodes, elmts, nx, ny = PRESETS[n]
    for group in (getattr(_zeft, f"zeft{n}"), getattr(_zeft, f"prtnds{n}")):
        assert group.p_rtnds == n and group.p_stf == s and group.p_nodes == nodes
        assert group.p_elmts == elmts and group.p_nx == nx and group.p_ny == ny
        assert group.p_ibdx == 12 * (n + 2) and group.p_ibdy == 48 * (n + 2)
        assert (group.p_ngit, group.p_ngrq, group.p_nsup, group.p_abdstf) == (55, 50, 250, 2)
        assert group.p_nx.shape == () and group.p_nx.dtype == np.int32
    mod = getattr(_zeft, f"prtnds{n}")
    assert mod.p_la11 == nx * (nx + 1) // 2
    ibdy, ibdx = 48 * (n + 2), 12 * (n + 2)
    assert mod.p_la22 == ny * ibdy - ibdy * (ibdy - 1) // 2
    assert mod.p_lb11 == nx * ibdx - ibdx * (ibdx - 1) // 2
    for name in ANALYSIS_ROUTINES:
        assert f"Wrapper for ``{name}``." in getattr(mod, name).__doc__
    assert set(ANALYSIS_ROUTINES) | {"p_nx", "p_la11"} <= set(dir(mod))


def test_module_attributes_and_doc():
    assert issubclass(_zeft.error, Exception)
    assert _zeft.error is getattr(_zeft, "__zeft_error")
    assert _zeft.error.__name__ == "error" and _zeft.error.__module__ == "_zeft"
    assert _zeft.__version__ == b"$Revision: $"
    lines = _zeft.__doc__.split("\n")
    assert "(version:2)" in lines[0]
    assert lines[1] == "Functions:" and lines[2] == "COMMON blocks:"
    records = [re.match(r"  /(\w+)/ ", line).group(1) for line in lines[3:18]]
    assert records == ["antype", "f07in1", "f07in2", "man", "title", "datran", "test", "stringercom",
                       "f07ina", "f07inb", "f07inc", "f07ind", "f01eps", "f01qua", "plotin"]
    assert "  /f07ina/ ku(5),mx,my,a(30),b(30),leit(31,31),ibdx,ibdy,knfun" in lines
    groups = lines[19]
    order = [m.group(1) for m in re.finditer(r"  (\w+) --- ", groups)]
    assert order == ["zeft31", "zeft19", "zeft21", "zeft25", "zeftutils",
                     "prtnds31", "prtnds19", "prtnds21", "prtnds25"]
    assert "zeftutils --- " + ",".join(r + "()" for r in UTIL_ROUTINES) in groups
    for name in UTIL_ROUTINES:
        assert f"Wrapper for ``{name}``." in getattr(_zeft.zeftutils, name).__doc__


def test_record_views_are_live_and_convert_on_assignment():
    _zeft.plotin.npx = 40
    assert _zeft.plotin.npx == 40
    view = _zeft.plotin.npx
    _zeft.plotin.npx = 42.7          # converted to the member's type
    assert view == 42                # an earlier view sees the shared record
    view[...] = 44                   # writing through a view writes the record
    assert _zeft.plotin.npx == 44
    _zeft.f07ind.bndy0 = 3                      # a scalar is broadcast into the member
    assert np.all(_zeft.f07ind.bndy0 == 3)
    _zeft.f07ind.bndy0 = np.arange(7.0)         # converted to 32-bit integers
    assert list(_zeft.f07ind.bndy0) == list(range(7))
    with pytest.raises(ValueError):
        _zeft.f07ind.bndy0 = [1, 2]             # a wrong shape leaves the record as it was
    assert list(_zeft.f07ind.bndy0) == list(range(7))
    _zeft.title.tit = "PANEL"
    assert _zeft.title.tit[()] == b"PANEL" + b" " * 75
    with pytest.raises(AttributeError):
        _zeft.man.nosuch = 1


@pytest.mark.parametrize("n, text", [(3, "3rd"), (4, "4th"), (11, "11st"), (12, "12nd"), (21, "21st"),
                                     (43, "43rd")])
def test_ordinal_rule_in_messages(n, text):
    args = callzeft_args(31)
    args[n - 1] = "not a number"
    with pytest.raises(_zeft.error) as info:
        _zeft.prtnds31.callzeft(*args)
    assert f"{text} argument" in str(info.value)
    assert CALLZEFT_NAMES[n - 1] in str(info.value)


CALLZEFT_NAMES = list(shared_callzeft_args())


def callzeft_args(preset, neigrq=2):
    """callzeft arguments by position, in the order of its parameter list."""
    return list(shared_callzeft_args(preset, neigrq=neigrq).values())


@pytest.mark.parametrize("displ, cause", [
    (np.zeros(3844 * 2 + 1), ValueError),                 # wrong size
    (np.zeros(3844 * 2, np.float32), TypeError),          # wrong element type
    ([0.0] * (3844 * 2), TypeError),                      # not an array at all
])
def test_inout_array_must_match_exactly(displ, cause):
    args = callzeft_args(31)
    args[-1] = displ
    with pytest.raises(_zeft.error) as info:
        _zeft.prtnds31.callzeft(*args)
    assert str(info.value) == ("failed in converting 43rd argument `displ' of _zeft.prtnds31.callzeft "
                               "to C/Fortran array")
    assert isinstance(info.value.__cause__, cause)


def test_scalar_and_keyword_conversion_messages():
    a = np.eye(3, dtype=np.float32)
    with pytest.raises(_zeft.error, match=r"^_zeft\.zeftutils\.trnpsi\(\) 1st argument \(psi\) can't be "
                                          r"converted to float$") as info:
        _zeft.zeftutils.trnpsi("x", a)
    assert isinstance(info.value.__cause__, TypeError)
    with pytest.raises(_zeft.error, match=r"^_zeft\.zeftutils\.trnpsi\(\) 1st keyword \(m\) can't be "
                                          r"converted to int$"):
        _zeft.zeftutils.trnpsi(0.0, a, m="three")
    with pytest.raises(_zeft.error, match=r"^\(shape\(a,0\)==m\) failed for 1st keyword m"):
        _zeft.zeftutils.trnpsi(0.0, a, m=4)
    with pytest.raises(_zeft.error, match=r"can't be converted to int"):
        _zeft.zeftutils.mklvbd(np.zeros(4, np.int32), 2 ** 40, 1, 0)
    with pytest.raises(_zeft.error, match=r"\(shape\(x,1\)==neiga\) failed for 2nd keyword neiga"):
        _zeft.zeftutils.eigvpr(6, np.zeros((3, 2)), neiga=3)


def test_matching_rejects_missing_and_unknown_arguments():
    with pytest.raises(TypeError, match="missing required argument 'a'"):
        _zeft.zeftutils.trnpsi(0.0)
    with pytest.raises(TypeError, match="invalid keyword"):
        _zeft.zeftutils.trnpsi(0.0, np.eye(3, dtype=np.float32), mm=3)
    with pytest.raises(TypeError, match="at most"):
        _zeft.zeftutils.trnpsi(0.0, np.eye(3, dtype=np.float32), 3, 4)


def test_returned_values_and_in_place_inputs():
    b, ier = _zeft.zeftutils.trnpsi(0.0, np.diag([3.0, 2.0, 1.0]))   # float64 input copied to float32
    assert ier == 0 and b.dtype == np.float32 and b.shape == (3, 3)
    np.testing.assert_allclose(b, np.diag([3.0, 2.0, 1.0]))
    # Matching input arrays are used in place: abdetc's results come back that way.
    aal = np.zeros((3, 3), np.float32, order="F")
    ddl, adl = aal.copy(order="F"), aal.copy(order="F")
    assert _zeft.zeftutils.abdetc(1, [1.0], [0.0], [100.0, 50.0, 0.25, 20.0], 0.0, aal, ddl, adl, 0) is None
    assert aal[0, 0] > 0 and aal[2, 2] == np.float32(20.0)
    # A copy (C-ordered float64) is filled instead, and the caller's array stays as it was.
    aal_c = np.zeros((3, 3))
    _zeft.zeftutils.abdetc(1, [1.0], [0.0], [100.0, 50.0, 0.25, 20.0], 0.0, aal_c, ddl, adl, 0)
    assert not aal_c.any()


@pytest.mark.parametrize("given, expect", [("XY", 0), ("x", 1), (None, 1), ("Y", 0)])
def test_text_arguments_are_cut_or_padded(given, expect):
    set_grid(3, 3)
    _zeft.datran.nwrite = 9
    ier = np.zeros(1, np.int32)
    _zeft.prtnds31.kuorkv(given, 1, 1, 1, np.zeros((2, 4), np.int32, order="F"), ier)
    assert ier[0] == expect


def test_text_must_be_ascii():
    with pytest.raises(_zeft.error, match=r"^string_from_pyobj failed in converting 1st argument `xory' of "
                                          r"_zeft\.prtnds31\.kuorkv to C string$") as info:
        _zeft.prtnds31.kuorkv("é", 1, 1, 1, np.zeros((2, 4), np.int32), 0)
    assert isinstance(info.value.__cause__, UnicodeEncodeError)


def test_help_text_layout():
    doc = _zeft.zeftutils.trnpsi.__doc__.split("\n")
    assert doc[:5] == ["b,ier = trnpsi(psi,a,[m])", "", "Wrapper for ``trnpsi``.", "", "Parameters"]
    assert "psi : input float" in doc and "a : input rank-2 array('f') with bounds (m,m)" in doc
    i = doc.index("Other Parameters")
    assert doc[i + 1:i + 4] == ["----------", "m : input int, optional", "    Default: shape(a,0)"]
    i = doc.index("Returns")
    assert doc[i + 1:i + 4] == ["-------", "b : rank-2 array('f') with bounds (m,m)", "ier : int"]
    assert _zeft.prtnds31.buvi.__doc__.startswith("buvi(ier)\n\nWrapper for ``buvi``.")
    call = _zeft.prtnds31.callzeft.__doc__
    assert "displ : in/output rank-1 array('d') with bounds (3844 * neigrq)" in call
    assert "bb : input rank-2 array('f') with bounds (6,324)" in _zeft.prtnds19.rddata.__doc__
    assert "bb : input rank-2 array('f') with bounds (6,*)" in _zeft.prtnds19.prtout.__doc__


def callzeft_names():
    doc = _zeft.prtnds31.callzeft.__doc__.split("\n")
    return [m.group(1) for line in doc if (m := re.match(r"(\w+) : ", line))]


@pytest.mark.parametrize("a, b, position", [("loadvxp", "loadvyp", 16), ("bndy0", "bndyl", 35), (None, None, 0)])
def test_import_check_catches_a_swap_of_same_typed_arguments(a, b, position):
    """Two float loads (or two edge-code arrays) traded between the table and the C++
    declaration convert and run unnoticed; the import check compares names, so it refuses."""
    names = callzeft_names()
    assert len(names) == 43
    if a:
        i, j = names.index(a), names.index(b)
        names[i], names[j] = names[j], names[i]
    message = _zeft._table_mismatch("prtnds31", "callzeft", names)
    if not a:
        assert message == ""
    else:
        assert message.startswith(f"argument {position} of prtnds31.callzeft is {b} in the signature table "
                                  f"but {a} at src/control/front_end.")
