"""Namelist input: value forms, repeat counts and null values, subscripts, skipping forward,
missing groups and malformed groups."""

import numpy as np
import pytest

import _zeft

UNIT = 90  # the unit the _namelist hook reads from


@pytest.fixture
def nml(tmp_path):
    """read(text, group, items) writes the input file and reads one group from it."""
    path = tmp_path / "input.nml"

    def read(text, group, items, fresh=True):
        if fresh:
            _zeft._close_unit(UNIT)
            path.write_text(text)
        return _zeft._namelist(str(path), group, items)

    yield read
    _zeft._close_unit(UNIT)


ANTYPE = [("temp", "l", 1, 0), ("strs", "l", 1, 0), ("buck", "l", 1, 0), ("vibr", "l", 1, 0)]


FLAGS = dict(temp=False, strs=False, buck=False, vibr=False)
DOM, NM = [("dom", "f", 1, 0)], [("n", "i", 1, 0), ("m", "i", 1, 0)]
TIT, DOMX = [("tit", "c", 1, 12)], [("domx", "f", 6, 0, [-1.0] * 6)]


def domx(*v):
    return {"domx": [float(x) for x in v]}


@pytest.mark.parametrize("text, items, expected", [
    # logical values in their forms, comments and the other group delimiters
    ("&antype buck=T, vibr=F /", ANTYPE, dict(FLAGS, buck=True)),
    ("&ANTYPE BUCK=.TRUE., VIBR=.false. /", ANTYPE, dict(FLAGS, buck=True)),
    ("&antype buck=.T. vibr=.f. temp=true strs=Fals /", ANTYPE, dict(FLAGS, buck=True, temp=True)),
    ("&antype\n  Buck = t\n  vIbR = f\n/\n", ANTYPE, dict(FLAGS, buck=True)),
    ("&antype buck=T ! a comment / with slash\n vibr=T /", ANTYPE, dict(FLAGS, buck=True, vibr=True)),
    ("$antype buck=T, vibr=T $end", ANTYPE, dict(FLAGS, buck=True, vibr=True)),
    ("&antype buck=T, vibr=T &end", ANTYPE, dict(FLAGS, buck=True, vibr=True)),
    ("&antype /", ANTYPE, FLAGS),
    # reals rounded to single precision, integers
    *[(f"&inert dom = {v} /", DOM, {"dom": float(np.float32(e))}) for v, e in [
        ("1.5", 1.5), ("-2.5E3", -2500.0), ("2.5D-2", 0.025), ("4", 4.0), ("+4.", 4.0), (".5", 0.5),
        ("1e0", 1.0), ("7d+1", 70.0), ("0.1", 0.1), ("1.0E-50", 0.0), ("-inf", -np.inf)]],
    ("&g n=5, m=-7 /", NM, {"n": 5, "m": -7}),
    ("&g m=+3 n=2147483647 /", NM, {"n": 2147483647, "m": 3}),
    # texts, blank padded to the field length
    *[("&title tit=" + t + " /", TIT, {"tit": e[:12].ljust(12)}) for t, e in [
        ("'PANEL 1'", "PANEL 1"), ("\"it's\"", "it's"), ("'say ''hi'''", "say 'hi'"),
        ("\"a \"\"b\"\" c\"", "a \"b\" c"),
        ("'first part\n second part'", "first part second part"),   # continued over records
        ("'" + "x" * 30 + "'", "x" * 12), ("'a!b/c'", "a!b/c")]],
    # arrays: repeat counts, null values (r* and empty places leave elements alone), subscripts
    ("&inert domx = 1, 2, 3 /", DOMX, domx(1, 2, 3, -1, -1, -1)),
    ("&inert domx = 3*2.5 /", DOMX, domx(2.5, 2.5, 2.5, -1, -1, -1)),
    ("&inert domx = 1, 2*, 4 /", DOMX, domx(1, -1, -1, 4, -1, -1)),
    ("&inert domx = 1,, 3, /", DOMX, domx(1, -1, 3, -1, -1, -1)),
    ("&inert domx = , 2 /", DOMX, domx(-1, 2, -1, -1, -1, -1)),
    ("&inert domx(3) = 7, 8 /", DOMX, domx(-1, -1, 7, 8, -1, -1)),
    ("&inert domx(5) = 2*9 /", DOMX, domx(-1, -1, -1, -1, 9, 9)),
    ("&inert domx(2:3) = 5, 6 /", DOMX, domx(-1, 5, 6, -1, -1, -1)),
    ("&inert domx = 6*0 /", DOMX, domx(0, 0, 0, 0, 0, 0)),
    ("&inert domx = 1\n 2\n 3 /", DOMX, domx(1, 2, 3, -1, -1, -1)),   # values continue on next records
    ("&inert domx(2) = 1 DOMX(4) = 2 /", DOMX, domx(-1, 1, -1, 2, -1, -1)),
    ("&g names = 2*'ab', , 'c' /", [("names", "c", 4, 3, "zz")], {"names": ["ab ", "ab ", "zz ", "c  "]}),
    # items not named keep their values
    ("&g n = 3 /", [("dom", "f", 1, 0, 2.0), ("n", "i", 1, 0, 7), ("tit", "c", 1, 4, "old")],
     {"dom": 2.0, "n": 3, "tit": "old "}),
])
def test_values(nml, text, items, expected):
    status, values, message = nml(text, text[1:].split()[0], items)
    assert (status, message) == ("ok", "")
    assert values == expected


def test_skips_text_and_other_groups(nml):
    text = ("header line, not a group\n"
            "&title tit='T' /\n"
            "&antypes buck=T /\n"          # longer name: another group
            " &other a=1,\n   b=2 /\n"
            "! &antype buck=F /\n"          # comment line
            "  &antype buck=T\n"
            "   vibr=T /\n")
    status, values, _ = nml(text, "antype", ANTYPE)
    assert status == "ok" and values["buck"] and values["vibr"]


def test_reading_continues_from_the_current_position(nml):
    text = "&title tit='A' /\n&antype buck=T /\n&title tit='B' /\n"
    assert nml(text, "antype", ANTYPE)[0] == "ok"
    # no rewind: the next title is the one after the antype group, then none is left
    assert nml(text, "title", [("tit", "c", 1, 1)], fresh=False)[1] == {"tit": "B"}
    status, _, message = nml(text, "title", [("tit", "c", 1, 1)], fresh=False)
    assert status == "not_found" and "TITLE" in message
    _zeft._close_unit(UNIT)   # a new connection starts at the beginning
    assert nml(text, "title", [("tit", "c", 1, 1)], fresh=False)[1] == {"tit": "A"}


@pytest.mark.parametrize("text", ["", "&titl tit='x' /", "no groups here\n", "! &title tit='x' /"])
def test_group_not_found(nml, text):
    status, values, _ = nml(text, "title", [("tit", "c", 1, 3, "abc")])
    assert status == "not_found" and values == {"tit": "abc"}


@pytest.mark.parametrize("text,item,fragment", [
    ("&g bad=1 /", None, '"bad"'),
    ("&g n=X /", "N", '"X"'),
    ("&g n=3.5 /", "N", '"3.5"'),
    ("&g n=99999999999 /", "N", '"99999999999"'),
    ("&g r=1.2.3 /", "R", '"1.2.3"'),
    ("&g r=1e39 /", "R", '"1e39"'),
    ("&g r 3 /", "R", '"3 /"'),
    ("&g n=1,2 /", "N", "TOO MANY"),
    ("&g a(2:3)=1,2,3 /", "A", "TOO MANY"),
    ("&g a(4)=1 /", "A", "SUBSCRIPT"),
    ("&g a(0)=1 /", "A", "SUBSCRIPT"),
    ("&g a()=1 /", "A", "SUBSCRIPT"),
    ("&g t=abc /", "T", '"abc /"'),
    ("&g t='abc /", "T", "QUOTE"),
    ("&g t='x'y /", "T", '"y /"'),
    ("&g n=0*1 /", "N", "REPEAT"),
    ("&g n=1", None, "END OF INPUT"),
    ("&g n=1 &other /", None, '"&other"'),
    ("&g = 1 /", None, '"= 1 /"'),
])
def test_syntax_errors_name_group_item_and_text(nml, text, item, fragment):
    items = [("n", "i", 1, 0), ("r", "f", 1, 0), ("a", "f", 3, 0), ("t", "c", 1, 4), ("l", "l", 1, 0)]
    status, _, message = nml(text, "g", items)
    assert status == "syntax_error"
    assert message.startswith("NAMELIST GROUP &G")
    if item:
        assert f"ITEM {item}:" in message
    assert fragment in message


def test_reading_goes_on_after_a_malformed_group(nml):
    text = "&title tit=unquoted /\n&antype buck=T /\n"
    assert nml(text, "title", [("tit", "c", 1, 8)])[0] == "syntax_error"
    assert nml(text, "antype", ANTYPE, fresh=False)[0] == "ok"


def test_missing_input_file(tmp_path):
    with pytest.raises(FileNotFoundError):
        _zeft._namelist(str(tmp_path / "absent.nml"), "title", [("tit", "c", 1, 8)])
