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


@pytest.mark.parametrize("text,expected", [
    ("&antype buck=T, vibr=F /", dict(buck=True, vibr=False)),
    ("&ANTYPE BUCK=.TRUE., VIBR=.false. /", dict(buck=True, vibr=False)),
    ("&antype buck=.T. vibr=.f. temp=true strs=Fals /", dict(buck=True, vibr=False, temp=True, strs=False)),
    ("&antype\n  Buck = t\n  vIbR = f\n/\n", dict(buck=True, vibr=False)),
    ("&antype buck=T ! a comment / with slash\n vibr=T /", dict(buck=True, vibr=True)),
    ("$antype buck=T, vibr=T $end", dict(buck=True, vibr=True)),
    ("&antype buck=T, vibr=T &end", dict(buck=True, vibr=True)),
    ("&antype /", dict()),
])
def test_logical_forms(nml, text, expected):
    status, values, message = nml(text, "antype", ANTYPE)
    assert (status, message) == ("ok", "")
    assert values == dict(dict(temp=False, strs=False, buck=False, vibr=False), **expected)


@pytest.mark.parametrize("value,expected", [
    ("1.5", 1.5), ("-2.5E3", -2500.0), ("2.5D-2", np.float32(0.025)), ("4", 4.0), ("+4.", 4.0),
    (".5", 0.5), ("1e0", 1.0), ("7d+1", 70.0), ("0.1", np.float32(0.1)), ("1.0E-50", 0.0),
    ("-inf", -np.inf),
])
def test_real_values_are_rounded_to_single_precision(nml, value, expected):
    status, values, _ = nml(f"&inert dom = {value} /", "inert", [("dom", "f", 1, 0)])
    assert status == "ok"
    assert values["dom"] == float(np.float32(expected))


@pytest.mark.parametrize("text,expected", [
    ("&g n=5, m=-7 /", (5, -7)),
    ("&g m=+3 n=2147483647 /", (2147483647, 3)),
])
def test_integer_values(nml, text, expected):
    status, values, _ = nml(text, "g", [("n", "i", 1, 0), ("m", "i", 1, 0)])
    assert status == "ok" and (values["n"], values["m"]) == expected


@pytest.mark.parametrize("text,expected", [
    ("&title tit='PANEL 1' /", "PANEL 1"),
    ('&title tit="it\'s" /', "it's"),
    ("&title tit='say ''hi''' /", "say 'hi'"),
    ('&title tit="a ""b"" c" /', 'a "b" c'),
    ("&title tit='first part\n second part' /", "first part second part"),   # continued over records
    ("&title tit='" + "x" * 30 + "' /", "x" * 12),                         # cut to the field length
    ("&title tit='a!b/c' /", "a!b/c"),
])
def test_text_values_are_blank_padded(nml, text, expected):
    status, values, _ = nml(text, "title", [("tit", "c", 1, 12)])
    assert status == "ok"
    assert values["tit"] == expected[:12].ljust(12)


ARRAY = [("domx", "f", 6, 0, [-1.0] * 6)]


@pytest.mark.parametrize("assignment,expected", [
    ("domx = 1, 2, 3", [1, 2, 3, -1, -1, -1]),
    ("domx = 3*2.5", [2.5, 2.5, 2.5, -1, -1, -1]),
    ("domx = 1, 2*, 4", [1, -1, -1, 4, -1, -1]),            # r* leaves r elements unchanged
    ("domx = 1,, 3,", [1, -1, 3, -1, -1, -1]),              # an empty place is a null value
    ("domx = , 2", [-1, 2, -1, -1, -1, -1]),
    ("domx(3) = 7, 8", [-1, -1, 7, 8, -1, -1]),             # from element 3 on
    ("domx(5) = 2*9", [-1, -1, -1, -1, 9, 9]),
    ("domx(2:3) = 5, 6", [-1, 5, 6, -1, -1, -1]),
    ("domx = 6*0", [0] * 6),
    ("domx = 1\n 2\n 3", [1, 2, 3, -1, -1, -1]),           # values continue on the next records
    ("domx(2) = 1 DOMX(4) = 2", [-1, 1, -1, 2, -1, -1]),
])
def test_arrays_repeat_counts_and_null_values(nml, assignment, expected):
    status, values, message = nml(f"&inert {assignment} /", "inert", ARRAY)
    assert (status, message) == ("ok", "")
    assert values["domx"] == [float(v) for v in expected]


def test_text_array_and_repeat(nml):
    status, values, _ = nml("&g names = 2*'ab', , 'c' /", "g", [("names", "c", 4, 3, "zz")])
    assert status == "ok"
    assert values["names"] == ["ab ", "ab ", "zz ", "c  "]


def test_omitted_items_keep_their_values(nml):
    items = [("dom", "f", 1, 0, 2.0), ("n", "i", 1, 0, 7), ("tit", "c", 1, 4, "old")]
    status, values, _ = nml("&g n = 3 /", "g", items)
    assert status == "ok" and values == {"dom": 2.0, "n": 3, "tit": "old "}


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
