"""One batch of the property-based fuzz run of _zeft, in a process of its own.

    python fuzz_worker.py SEED CALLS FOLDER LOG RESULT [SECONDS]

Hypothesis draws, with a fixed seed per batch, CALLS routine calls across every routine of
every group: argument kinds, shapes, element types, orders, NaN and infinite values, huge and
negative integers, missing and surplus arguments, and random contents of the shared records
(published attributes and the private per-preset views); one call in ten goes to a private
entry (FORMAT texts, units, namelist reading, the working folder and output receiver). Every call, and every record
change, is appended to LOG and flushed before it is made, so that a crash or a hang names the
call that caused it. A watchdog outside the interpreter lock ends the process when one call
runs longer than SECONDS. Outcomes other than a normal return, _zeft.error, TypeError,
ValueError, MemoryError or OSError are collected with the call; RESULT receives a JSON summary at the end.

The batch works in FOLDER (the routines write fort.N files there) with every file capped at
16 MB; a write beyond that fails like a full disk instead of killing the process.
"""
import json
import os
import re
import resource
import signal
import sys
import time
from collections import Counter

import numpy as np
from hypothesis import HealthCheck, Phase, given, seed, settings
from hypothesis import strategies as st

import _zeft
import conftest as shared
from conftest import isotropic

PRESETS = (31, 19, 21, 25)
ACCEPTED = (_zeft.error, TypeError, ValueError, MemoryError, OSError)
INT32 = (-(2 ** 31), 2 ** 31 - 1)


# ----------------------------------------------------------------------------- signatures

class Arg:
    """One argument as the routine's help text declares it."""

    def __init__(self, name, kind, optional=False):
        self.name, self.optional = name, optional
        self.inout = kind.startswith("in/output")
        m = re.search(r"array\('(\w)'\) with bounds \((.*)\)", kind)
        if m:
            self.type, self.bounds = m.group(1), [b.strip() for b in m.group(2).split(",")]
        elif "string" in kind:
            self.type, self.bounds = "c", None
            self.length = int(re.search(r"len=(\d+)", kind).group(1))
        else:
            self.type = {"int": "i", "float": "f"}.get(kind.split()[1].rstrip(","), "f")
            self.bounds = None


def signature(routine):
    """Required and optional arguments of a routine, from its help text."""
    required, optional, section = [], [], None
    for line in routine.__doc__.splitlines():
        if line in ("Parameters", "Other Parameters", "Returns"):
            section = line
            continue
        m = re.match(r"^(\w+) : (.+)$", line)
        if not m or section not in ("Parameters", "Other Parameters"):
            continue
        arg = Arg(m.group(1), m.group(2), section == "Other Parameters")
        (optional if arg.optional else required).append(arg)
    return required, optional


def routines():
    """Every routine of every group, as the module help text lists them."""
    listed = dict(re.findall(r"  (\w+) --- ([\w(),]*)", _zeft.__doc__))
    out = []
    for group in ["zeftutils"] + [f"prtnds{n}" for n in PRESETS]:
        for name in re.findall(r"(\w+)\(\)", listed[group]):
            routine = getattr(getattr(_zeft, group), name)
            out.append((group, name, routine, *signature(routine)))
    return out


ROUTINES = routines()
PRESET_OF = {f"prtnds{n}": n for n in PRESETS}


# ----------------------------------------------------------------------------- values

SPECIAL_INTS = [0, 1, 2, -1, -2, 3, 4, 5, 7, 9, 17, 19, 21, 25, 29, 30, 31, 32, 50, 55, 56, 250,
                251, 361, 961, 1444, 3844, 15376, INT32[0], INT32[1], 2 ** 31, -(2 ** 31) - 1,
                2 ** 63, 2 ** 70, -(2 ** 70)]
SPECIAL_FLOATS = [0.0, -0.0, 1.0, -1.0, 0.5, 1e-30, 1e-45, 1e29, 1e30, 3.5e38, -3.5e38, 1e300,
                  float("nan"), float("inf"), float("-inf"), 180.0, 90.0, 100.0]
DTYPES = [np.int32, np.int64, np.float32, np.float64, np.int16, np.uint8, np.complex128, np.bool_]


INT_VALUES = st.one_of(st.integers(-3, 60), st.sampled_from(SPECIAL_INTS),
                       st.integers(INT32[0], INT32[1]))
FLOAT_VALUES = st.one_of(st.floats(width=32, allow_nan=True, allow_infinity=True),
                         st.sampled_from(SPECIAL_FLOATS), st.integers(-5, 5))
ODD_SCALARS = st.sampled_from([None, "x", b"7", [1, 2], (), np.zeros(3), 1 + 2j, object()])
TEXTS = st.one_of(
    st.text(max_size=12),
    st.sampled_from(["PANEL", "../up", "/tmp/x", "a/b", "a\x00b", "", " " * 8, "ÄÖÜ", ".", "..",
                     "X", "Y", "Z", "x", "y", "TOO LONG A NAME", None, 12, b"bytes"]))
NAMELIST_TEXTS = st.one_of(
    st.text(max_size=200),
    st.builds(lambda group, body: f" &{group} {body} /\n",
              st.sampled_from(["title", "antype", "inert", "tstringer", "ostringer", "TITLE", "x"]),
              st.text(alphabet="abcdefghijklmnopqrstuvwxyz=,.'\"&/ 0123456789-+eEtTfF*()\n", max_size=120)),
    st.sampled_from([" &title tit = 'T' /\n &antype buck = T /\n", " &inert dom = 1e-6, domx = 3*0.5 /\n",
                     " &tstringer footth = 1.0, ddst(7) = 2 /\n", " &ostringer alpha = nan /\n",
                     " &antype buck = T, vibr = perhaps /\n", " &title tit = 'unterminated\n"]))
SHAPES = st.lists(st.integers(0, 6), min_size=0, max_size=3)
FILLS = st.sampled_from(["zeros", "small", "index", "normal", "special", "huge"])
ODD_ARRAYS = st.sampled_from([None, 3, "abc", [[1, 2], [3]], [1.5, "x"]])


def scalar(draw, arg, preset):
    """A value for a scalar argument: mostly of its kind, sometimes of another."""
    odd = draw(st.integers(0, 19))
    if odd == 0:
        return draw(ODD_SCALARS)
    if odd == 1:
        return draw(st.sampled_from(SPECIAL_FLOATS))
    if odd == 2:
        return np.array(draw(st.sampled_from(SPECIAL_INTS[:28])), np.int64)
    return draw(INT_VALUES if arg.type == "i" else FLOAT_VALUES)


def text(draw, arg):
    return draw(TEXTS)


def extent(bound, preset, dims_so_far, sizes):
    """The declared extent of one dimension, or None when it is free ('*')."""
    if bound == "*":
        return None
    m = re.fullmatch(r"(\d+) \* (\w+)", bound)
    if m:
        v = sizes.get(m.group(2))
        return int(m.group(1)) * v if isinstance(v, int) and 0 <= v <= 60 else None
    if bound.isdigit():
        return int(bound)
    v = sizes.get(bound)
    return v if isinstance(v, int) and 0 <= v <= 40 else None


def array(draw, arg, preset, sizes):
    """An array argument: usually the declared type and shape, often not."""
    shape = []
    for b in arg.bounds:
        e = extent(b, preset, shape, sizes)
        shape.append(e if e is not None else draw(st.integers(0, 24)))
    if int(np.prod(shape)) > 400_000:  # keep the batch fast: huge declared arrays stay rare
        if draw(st.integers(0, 3)) != 0:
            shape = [min(s, 3) for s in shape]
    mode = draw(st.integers(0, 9))
    if mode == 0:  # another rank or extent
        shape = draw(SHAPES)
    elif mode == 1 and shape:  # one extent off by one
        k = draw(st.integers(0, len(shape) - 1))
        shape[k] = max(0, shape[k] + draw(st.sampled_from([-1, 1])))
    want = {"i": np.int32, "f": np.float32, "d": np.float64}[arg.type]
    dtype = want if draw(st.integers(0, 5)) else draw(st.sampled_from(DTYPES))
    fill = draw(FILLS)
    rng = np.random.default_rng(draw(st.integers(0, 2 ** 32 - 1)))
    size = int(np.prod(shape)) if shape else 1
    if fill == "zeros":
        v = np.zeros(size)
    elif fill == "small":
        v = rng.integers(-3, 8, size).astype(float)
    elif fill == "index":
        v = rng.integers(0, max(2, preset + 2), size).astype(float)
    elif fill == "normal":
        v = rng.normal(0, 1e3, size)
    elif fill == "special":
        v = rng.choice(np.array(SPECIAL_FLOATS), size)
    else:
        v = rng.choice(np.array([2.0 ** 31 - 1, -(2.0 ** 31), 1e12, -1e12, 3844.0]), size)
    with np.errstate(all="ignore"):
        if np.issubdtype(dtype, np.integer) or dtype is np.bool_:
            v = np.nan_to_num(v, nan=0, posinf=2 ** 31 - 1, neginf=-(2 ** 31))
            v = np.clip(v, *(np.iinfo(dtype).min, np.iinfo(dtype).max)) if dtype is not np.bool_ else v
        a = v.astype(dtype).reshape(shape)
    layout = draw(st.integers(0, 7))
    if layout == 0:
        a = np.ascontiguousarray(a)
    elif layout == 1 and a.ndim >= 1 and a.size:
        a = np.repeat(a, 2, axis=0)[::2]  # a strided view
    else:
        a = np.asfortranarray(a)
    if layout == 2:
        a.flags.writeable = False
    if draw(st.integers(0, 29)) == 0:
        return draw(ODD_ARRAYS)
    if draw(st.integers(0, 9)) == 0:
        return a.tolist()
    return a


# ----------------------------------------------------------------------------- records

def record_fields(preset):
    """(record object, member) pairs whose contents steer indices, counts and sizes."""
    h = getattr(_zeft, f"_internal{preset}")
    pairs = [
        (h.f07ina, ["mx", "my", "ku", "knfun", "ibdx", "ibdy", "leit", "a", "b"]),
        (h.f07ind, ["numsup", "idesup", "bndy0", "bndx0", "bndyl", "bndxl", "seiten"]),
        (h.f07dis, ["istx", "isty", "nox", "noy", "stype", "steifx", "steify"]),
        (h.plotin, ["npx", "npy", "mdsplt", "nmod", "isymx", "isymy", "indplt", "scal"]),
        (h.man, ["neigit", "neigrq", "ix", "iy", "itab", "mempri", "x2pri", "iter"]),
        (h.datran, ["nread", "nwrite"]),
        (h.antype, ["buck", "vibr", "cripan", "glban"]),
        (h.comlv, ["lvtri", "lva22", "lvb"]),
        (h.f07mat, ["lm"]),
        (h.f01qua, ["ikt", "kquad", "fquad"]),
        (h.f01eps, ["keps", "feps"]),
        (h.stiffcom, ["elmstf"]),
        (h.skstf, ["matabd", "matsw"]),
        (h.cpvar, ["pvar"]),
        (h.cpfest, ["pfest"]),
        (h.plotfls, ["lx", "ly", "dx", "dy", "xplt", "yplt"]),
        (h.f07inb, ["rx", "ry", "rxy"]),
        (h.f07ang, ["alfax", "alfay"]),
        (h.stringercom, ["footth", "webth", "footwidth", "webheight", "ddst", "chordwidth",
                         "chordth", "alpha"]),
        (h.densit, ["dom"]),
        (h.vectrs, ["x"]),
        (h.valus, ["elam"]),
    ]
    return [(rec, m) for rec, members in pairs for m in members]


FIELDS = {n: record_fields(n) for n in PRESETS}
UNITS = [8, 9, 6, 25, 26, -1, 0, 99, 1000, INT32[1]]
RECORD_INTS = {n: st.one_of(st.integers(-3, n + 3), st.sampled_from(SPECIAL_INTS[:30])) for n in PRESETS}
RECORD_FLOATS = st.one_of(st.sampled_from(SPECIAL_FLOATS[:15]), st.floats(-1e6, 1e6, width=32))


def record_change(draw, preset):
    """One random change of a record: a scalar member, or a few entries of an array member."""
    rec, member = draw(st.sampled_from(FIELDS[preset]))
    view = getattr(rec, member)
    if member in ("nread", "nwrite"):
        value = draw(st.sampled_from(UNITS))
    elif view.dtype.kind == "i":
        value = draw(RECORD_INTS[preset])
    else:
        value = draw(RECORD_FLOATS)
    if view.ndim == 0:
        return rec, member, None, value
    flat = draw(st.lists(st.integers(0, view.size - 1), min_size=1, max_size=4))
    if draw(st.integers(0, 4)) == 0 and view.size <= 4000:
        flat = None  # the whole member
    return rec, member, flat, value


def apply_change(change):
    rec, member, flat, value = change
    view = getattr(rec, member)
    if view.dtype.kind == "i":
        v = np.int32(min(max(int(value), INT32[0]), INT32[1]))
    else:
        v = np.array(value, view.dtype)
    if view.ndim == 0:
        setattr(rec, member, v)
    else:
        a = view.reshape(-1, order="F")
        a[flat if flat is not None else slice(None)] = v


# ----------------------------------------------------------------------------- baselines

def callzeft_args(n):
    mat = np.zeros((18, 2), np.float32, order="F")
    mat[:, 0], mat[:, 1] = isotropic(2.0), isotropic(3.0)
    return shared.callzeft_args(
        n, filenamep="FUZZ", titp="FUZZ RUN", matabdf=mat, steifxf=np.array([1e5, 0, 1e9, 0], np.float32),
        framepitch=300.0, loadvxp=-10.0, neigit=5, indplt=1, istx=[4], isty=[2, 4], elmstf=[1, 1, 2, 2, 1, 1],
        anzelzwframes=2, anzelzwstr=2)


def zeftmain_args(n):
    return shared.zeftmain_args(
        n, proj="FUZZ", titp="FUZZ RUN", buckp=1, indpltp=1,
        bndx0p=[0, 1, 2, 0, 0, 0, 0], bndxlp=[0, 1, 0, 0, 0, 0, 0],
        bndy0p=[0, 1, 3, 0, 0, 0, 0], bndylp=[0, 1, 0, 0, 0, 0, 0])


def prepare_records(n):
    """Unpublished data a direct zeftmain run needs: grid size, skin data, flags."""
    h = getattr(_zeft, f"_internal{n}")
    shared.prepare_records(n)
    h.skstf.matsw[:] = 0
    h.cpvar.pvar[:] = 0
    h.cpvar.pvar[:, 0] = -10.0
    h.cpfest.pfest[:] = 0
    h.f07dis.stype = 0
    for flag in ("vibr", "cripan", "glban", "temp", "strs", "inpb"):
        setattr(_zeft.antype, flag, 0)
    h.f07ind.idesup[:] = 0
    _zeft.datran.nread = 8


# ----------------------------------------------------------------------------- the calls

def describe(value):
    """A reproducible text of an argument (arrays in full when small)."""
    if isinstance(value, np.ndarray):
        order = "F" if value.flags.f_contiguous else "C" if value.flags.c_contiguous else "strided"
        body = value.tolist() if value.size <= 64 else f"<{value.size} values, sum {value.sum()!r}>"
        ro = "" if value.flags.writeable else ", read-only"
        return f"np.array({body!r}, {value.dtype.name}, shape={value.shape}, {order}{ro})"
    text = repr(value)
    return text if len(text) <= 2000 else text[:2000] + "...>"


class Batch:
    def __init__(self, log, seconds):
        self.log, self.seconds = log, seconds
        self.calls, self.outcomes, self.failures = 0, Counter(), []
        self.started = time.monotonic()

    def note(self, text):
        if self.log.tell() > 4 << 20:  # the log stays below the file size limit of the batch
            self.log.seek(0)
            self.log.truncate()
        self.log.write(text + "\n")
        self.log.flush()

    def call(self, label, routine, args, kwargs):
        self.calls += 1
        self.note(f"CALL {self.calls} {label}(" + ", ".join(
            [describe(a) for a in args] + [f"{k}={describe(v)}" for k, v in kwargs.items()]) + ")")
        signal.setitimer(signal.ITIMER_REAL, self.seconds)  # SIGALRM ends the process
        try:
            routine(*args, **kwargs)
            self.outcomes["return"] += 1
        except ACCEPTED as e:
            self.outcomes[type(e).__name__] += 1
        except Exception as e:  # anything else is a finding
            self.outcomes["UNEXPECTED"] += 1
            self.failures.append({"call": self.calls, "routine": label,
                                  "error": f"{type(e).__name__}: {e}"})
            self.note(f"UNEXPECTED {type(e).__name__}: {e}")
        finally:
            signal.setitimer(signal.ITIMER_REAL, 0)


# ----------------------------------------------------------------------------- private entries

FORMAT_TEXTS = st.one_of(
    st.text(alphabet="()IFEDAXaix/:,.'\"0123456789 ", max_size=40),
    st.builds(lambda k, body: "(" * k + body + ")" * k, st.sampled_from([1, 2, 63, 64, 65, 1000, 100000]),
              st.sampled_from(["I5", "F8.3", "'x'", "1X", "/", "A"])),
    st.builds(lambda r1, r2, body: f"({r1}({r2}({body})))", st.sampled_from([1, 7, 1000, 999999, 1000000]),
              st.sampled_from([1, 1000, 1000000]), st.sampled_from(["'abc'", "/", "1000000X,I2", "A1000000"])))
FORMAT_ITEMS = st.lists(st.one_of(st.integers(), st.floats(), st.text(max_size=5), st.sampled_from([None, [1]])),
                        max_size=6)
UNIT_NAMES = st.sampled_from(["f1", "fort.9", "RCA25", "sub/x", "", "a\x00b", ".", "/dev/zero", "/dev/null",
                              "link"])
UNIT_NUMBERS = st.sampled_from([-1, 0, 1, 2, 6, 8, 9, 25, 26, 90, 2 ** 31 - 1])
COUNTS = st.sampled_from([0, 1, 3, 2 ** 22, 2 ** 22 + 1, 2 ** 31 - 1, -1, 2 ** 40])


def private_call(draw, batch):
    """One call of a private entry with drawn arguments."""
    which = draw(st.integers(0, 9))
    if which == 0:
        batch.call("_format", _zeft._format, (draw(FORMAT_TEXTS), draw(FORMAT_ITEMS)), {})
    elif which == 1:
        batch.call("_write_unit", _zeft._write_unit, (draw(UNIT_NUMBERS), draw(FORMAT_TEXTS), draw(FORMAT_ITEMS)), {})
    elif which == 2:
        batch.call("_open_unit", _zeft._open_unit, (draw(UNIT_NUMBERS), draw(UNIT_NAMES), draw(st.booleans())), {})
    elif which == 3:
        batch.call("_read_unit", _zeft._read_unit, (draw(UNIT_NUMBERS),), {})
    elif which == 4:
        batch.call("_read_doubles", _zeft._read_doubles, (draw(UNIT_NUMBERS), draw(COUNTS)), {})
    elif which == 5:
        values = draw(st.lists(st.floats(), max_size=8))
        batch.call("_write_doubles", _zeft._write_doubles, (draw(UNIT_NUMBERS), values), {})
    elif which == 6:
        item = (draw(st.sampled_from(["a", "tit", "buck", ""])), draw(st.sampled_from(["i", "f", "l", "c", "x", "ii"])),
                draw(COUNTS), draw(st.sampled_from([0, 1, 8, 2 ** 31 - 1])))
        path = draw(st.sampled_from(["fort.8", "/dev/zero", "/dev/null", "missing", "."]))
        batch.call("_namelist", _zeft._namelist, (path, draw(st.sampled_from(["title", "g", ""])), [item]), {})
    elif which == 7:
        batch.call("_rewind_unit", _zeft._rewind_unit, (draw(UNIT_NUMBERS),), {})
    elif which == 8:
        batch.call("_close_unit", _zeft._close_unit, (draw(UNIT_NUMBERS),), {})
    else:  # the folder and the receiver of standard output, always put back
        where = draw(st.sampled_from([".", "missing", "fort.8", "/dev/null", ""]))
        receiver = draw(st.sampled_from([None, print, len, 5]))
        batch.call("_set_folder/_set_output", folder_and_output, (where, receiver), {})


def folder_and_output(where, receiver):
    """A record to standard output with another folder and receiver, both put back."""
    try:
        _zeft._set_folder(where)
        _zeft._set_output(receiver)
        _zeft._write_unit(6, "('to the receiver')", [])
    finally:
        _zeft._set_folder(None)
        _zeft._set_output(None)


def draw_call(draw, batch):
    # Random record contents first (every record, every preset layout).
    for _ in range(draw(st.sampled_from([0, 0, 0, 1, 1, 2, 4]))):
        change = record_change(draw, draw(st.sampled_from(PRESETS)))
        rec, member, flat, value = change
        batch.note(f"RECORD {rec!r}.{member}[{flat}] = {value!r}")
        apply_change(change)

    if draw(st.integers(0, 24)) == 0:  # new namelist input on unit 8
        content = draw(NAMELIST_TEXTS)
        batch.note(f"INPUT fort.8 = {content!r}")
        _zeft._close_unit(8)
        with open("fort.8", "w", encoding="latin-1", errors="replace") as f:
            f.write(content)

    kind = draw(st.integers(0, 19))
    if kind >= 18:
        private_call(draw, batch)
        return
    if kind <= 1:  # a complete run, mostly valid, with a few changed arguments
        n = draw(st.sampled_from(PRESETS))
        front = kind == 0
        base = callzeft_args(n) if front else zeftmain_args(n)
        if not front:
            prepare_records(n)
        name = "callzeft" if front else "zeftmain"
        group = f"prtnds{n}"
        required, _ = signature(getattr(getattr(_zeft, group), name))
        for _ in range(draw(st.sampled_from([0, 0, 1, 1, 2, 3]))):
            arg = draw(st.sampled_from(required))
            if arg.name in ("displ", "elamp", "membraneforcesp"):
                continue
            if arg.bounds is None and arg.type != "c":
                base[arg.name] = scalar(draw, arg, n)
            elif arg.type == "c":
                base[arg.name] = text(draw, arg)
            else:
                base[arg.name] = array(draw, arg, n, base)
        if front and isinstance(base["neigrq"], int) and 0 <= base["neigrq"] <= 50:
            base["displ"] = np.zeros(int(getattr(_zeft, group).p_nx) * base["neigrq"])
        batch.call(f"{group}.{name}", getattr(getattr(_zeft, group), name), (), base)
        return

    group, name, routine, required, optional = draw(st.sampled_from(ROUTINES))
    preset = PRESET_OF.get(group, draw(st.sampled_from(PRESETS)))
    sizes, values = {}, {}
    for arg in required:
        if arg.type == "c":
            values[arg.name] = text(draw, arg)
        elif arg.bounds is None:
            values[arg.name] = scalar(draw, arg, preset)
            if isinstance(values[arg.name], int):
                sizes[arg.name] = values[arg.name]
        else:
            values[arg.name] = array(draw, arg, preset, sizes)
    kwargs = {}
    for arg in optional:
        if draw(st.integers(0, 3)) == 0:
            kwargs[arg.name] = scalar(draw, arg, preset)
    # The error code as a writable array, so that codes come back as they would to a caller.
    if "ier" in values and draw(st.booleans()):
        values["ier"] = np.zeros(1, np.int32)
    names = list(values)
    how = draw(st.integers(0, 11))
    if how == 0 and names:  # one argument missing
        del values[draw(st.sampled_from(names))]
    elif how == 1:  # a surplus keyword
        kwargs["surplus"] = 1
    positional = draw(st.booleans())
    args = list(values.values()) if positional else []
    if how == 2:  # a surplus positional argument
        args = list(values.values()) + [0]
        positional = True
    batch.call(f"{group}.{name}", routine, args, {**({} if positional else values), **kwargs})


def main():
    batch_seed, calls, folder, log_path, result_path = sys.argv[1:6]
    seconds = float(sys.argv[6]) if len(sys.argv) > 6 else 60.0
    os.chdir(folder)
    # A file beyond 16 MB fails to grow (as on a full disk) instead of killing the process.
    signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
    # The watchdog: the default action of SIGALRM ends the process even while a routine holds
    # the interpreter lock; the parent reports the last call of the log as the one that hung.
    signal.signal(signal.SIGALRM, signal.SIG_DFL)
    cap = 16 << 20
    resource.setrlimit(resource.RLIMIT_FSIZE, (cap, resource.getrlimit(resource.RLIMIT_FSIZE)[1]))
    np.seterr(all="ignore")

    with open(log_path, "w") as log:
        batch = Batch(log, seconds)

        @seed(int(batch_seed))
        @settings(max_examples=int(calls), database=None, deadline=None, derandomize=False,
                  phases=[Phase.generate], suppress_health_check=list(HealthCheck))
        @given(st.data())
        def fuzz(data):
            draw_call(data.draw, batch)
            if batch.calls % 250 == 0:  # keep the folder small: files of units still open stay
                for f in os.listdir("."):
                    try:
                        os.unlink(f)
                    except OSError:
                        pass

        fuzz()
    summary = {"seed": int(batch_seed), "calls": batch.calls, "outcomes": dict(batch.outcomes),
               "failures": batch.failures, "seconds": round(time.monotonic() - batch.started, 1)}
    with open(result_path, "w") as f:
        json.dump(summary, f)


if __name__ == "__main__":
    main()
