"""One batch of the property-based fuzz run of _zeft, in a process of its own.

    python fuzz_worker.py SEED CALLS FOLDER LOG RESULT [SECONDS]

Hypothesis draws, with a fixed seed per batch, CALLS calls across every routine of every group:
argument kinds, shapes, element types, orders, NaN and infinite values, huge and negative
integers, missing and surplus arguments, and random contents of the shared records (published
attributes and the private per-preset views); one call in ten goes to a private entry (FORMAT
texts, units, namelist reading, the working folder and output receiver). Every call and record
change is appended to LOG and flushed before it is made, so that a crash or a hang names its
cause; a watchdog outside the interpreter lock ends the process when one call runs longer than
SECONDS. Outcomes other than a normal return or one of ACCEPTED are collected with the call;
RESULT receives a JSON summary. The batch works in FOLDER with every file capped at 16 MB: a
write beyond fails like a full disk instead of killing the process.
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

    def __init__(self, name, kind):
        self.name = name
        m = re.search(r"array\('(\w)'\) with bounds \((.*)\)", kind)
        if m:
            self.type, self.bounds = m.group(1), [b.strip() for b in m.group(2).split(",")]
        else:
            self.type = "c" if "string" in kind else {"int": "i"}.get(kind.split()[1].rstrip(","), "f")
            self.bounds = None


def signature(routine):
    """Required and optional arguments of a routine, from its help text."""
    args, section = {"Parameters": [], "Other Parameters": []}, None
    for line in routine.__doc__.splitlines():
        if line in ("Parameters", "Other Parameters", "Returns"):
            section = line
        elif (m := re.match(r"^(\w+) : (.+)$", line)) and section in args:
            args[section].append(Arg(*m.groups()))
    return args["Parameters"], args["Other Parameters"]


def routines():
    """Every routine of every group, as the module help text lists them."""
    listed = dict(re.findall(r"  (\w+) --- ([\w(),]*)", _zeft.__doc__))
    return [(group, name, getattr(getattr(_zeft, group), name), *signature(getattr(getattr(_zeft, group), name)))
            for group in ["zeftutils"] + [f"prtnds{n}" for n in PRESETS]
            for name in re.findall(r"(\w+)\(\)", listed[group])]


ROUTINES = routines()


# ----------------------------------------------------------------------------- values

SPECIAL_INTS = [0, 1, 2, -1, -2, 3, 4, 5, 7, 9, 17, 19, 21, 25, 29, 30, 31, 32, 50, 55, 56, 250,
                251, 361, 961, 1444, 3844, 15376, INT32[0], INT32[1], 2 ** 31, -(2 ** 31) - 1,
                2 ** 63, 2 ** 70, -(2 ** 70)]
SPECIAL_FLOATS = [0.0, -0.0, 1.0, -1.0, 0.5, 1e-30, 1e-45, 1e29, 1e30, 3.5e38, -3.5e38, 1e300,
                  float("nan"), float("inf"), float("-inf"), 180.0, 90.0, 100.0]
DTYPES = [np.int32, np.int64, np.float32, np.float64, np.int16, np.uint8, np.complex128, np.bool_]

INT_VALUES = st.one_of(st.integers(-3, 60), st.sampled_from(SPECIAL_INTS), st.integers(*INT32))
FLOAT_VALUES = st.one_of(st.floats(width=32), st.sampled_from(SPECIAL_FLOATS), st.integers(-5, 5))
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
ODD_ARRAYS = st.sampled_from([None, 3, "abc", [[1, 2], [3]], [1.5, "x"]])
# Contents of a drawn array: (rng, size, preset) -> float64 values, converted afterwards.
FILLS = {
    "zeros": lambda rng, size, n: np.zeros(size),
    "small": lambda rng, size, n: rng.integers(-3, 8, size).astype(float),
    "index": lambda rng, size, n: rng.integers(0, max(2, n + 2), size).astype(float),
    "normal": lambda rng, size, n: rng.normal(0, 1e3, size),
    "special": lambda rng, size, n: rng.choice(np.array(SPECIAL_FLOATS), size),
    "huge": lambda rng, size, n: rng.choice(np.array([2.0 ** 31 - 1, -(2.0 ** 31), 1e12, -1e12, 3844.0]), size),
}


def scalar(draw, arg):
    """A value for a scalar argument: mostly of its kind, sometimes of another."""
    odd = draw(st.integers(0, 19))
    if odd == 0:
        return draw(ODD_SCALARS)
    if odd == 1:
        return draw(st.sampled_from(SPECIAL_FLOATS))
    if odd == 2:
        return np.array(draw(st.sampled_from(SPECIAL_INTS[:28])), np.int64)
    return draw(INT_VALUES if arg.type == "i" else FLOAT_VALUES)


def extent(bound, sizes):
    """The declared extent of one dimension, or None when it is free ('*') or unknown."""
    m = re.fullmatch(r"(?:(\d+) \* )?(\w+)", bound)
    if not m or bound == "*":
        return None
    v = sizes.get(m.group(2))
    if m.group(1):
        return int(m.group(1)) * v if isinstance(v, int) and 0 <= v <= 60 else None
    if m.group(2).isdigit():
        return int(m.group(2))
    return v if isinstance(v, int) and 0 <= v <= 40 else None


def array(draw, arg, preset, sizes):
    """An array argument: usually the declared type and shape, often not."""
    shape = [e if (e := extent(b, sizes)) is not None else draw(st.integers(0, 24)) for b in arg.bounds]
    if int(np.prod(shape)) > 400_000 and draw(st.integers(0, 3)):   # huge declared arrays stay rare
        shape = [min(s, 3) for s in shape]
    mode = draw(st.integers(0, 9))
    if mode == 0:   # another rank or extent
        shape = draw(st.lists(st.integers(0, 6), max_size=3))
    elif mode == 1 and shape:   # one extent off by one
        k = draw(st.integers(0, len(shape) - 1))
        shape[k] = max(0, shape[k] + draw(st.sampled_from([-1, 1])))
    want = {"i": np.int32, "f": np.float32, "d": np.float64}[arg.type]
    dtype = want if draw(st.integers(0, 5)) else draw(st.sampled_from(DTYPES))
    fill = FILLS[draw(st.sampled_from(sorted(FILLS)))]
    v = fill(np.random.default_rng(draw(st.integers(0, 2 ** 32 - 1))), int(np.prod(shape)) if shape else 1, preset)
    with np.errstate(all="ignore"):
        if np.issubdtype(dtype, np.integer):
            v = np.clip(np.nan_to_num(v, nan=0, posinf=INT32[1], neginf=INT32[0]), np.iinfo(dtype).min,
                        np.iinfo(dtype).max)
        elif dtype is np.bool_:
            v = np.nan_to_num(v, nan=0, posinf=INT32[1], neginf=INT32[0])
        a = v.astype(dtype).reshape(shape)
    layout = draw(st.integers(0, 7))
    if layout == 0:
        a = np.ascontiguousarray(a)
    elif layout == 1 and a.ndim >= 1 and a.size:
        a = np.repeat(a, 2, axis=0)[::2]   # a strided view
    else:
        a = np.asfortranarray(a)
        a.flags.writeable = layout != 2
    if draw(st.integers(0, 29)) == 0:
        return draw(ODD_ARRAYS)
    return a.tolist() if draw(st.integers(0, 9)) == 0 else a


# ----------------------------------------------------------------------------- records

# The members of each record whose contents steer indices, counts and sizes.
MEMBERS = """
    f07ina: mx my ku knfun ibdx ibdy leit a b
    f07ind: numsup idesup bndy0 bndx0 bndyl bndxl seiten
    f07dis: istx isty nox noy stype steifx steify
    plotin: npx npy mdsplt nmod isymx isymy indplt scal
    man: neigit neigrq ix iy itab mempri x2pri iter
    datran: nread nwrite
    antype: buck vibr cripan glban
    comlv: lvtri lva22 lvb
    f07mat: lm
    f01qua: ikt kquad fquad
    f01eps: keps feps
    stiffcom: elmstf
    skstf: matabd matsw
    cpvar: pvar
    cpfest: pfest
    plotfls: lx ly dx dy xplt yplt
    f07inb: rx ry rxy
    f07ang: alfax alfay
    stringercom: footth webth footwidth webheight ddst chordwidth chordth alpha
    densit: dom
    vectrs: x
    valus: elam"""
FIELDS = {n: [(getattr(getattr(_zeft, f"_internal{n}"), rec), member)
              for rec, members in (line.strip().split(":") for line in MEMBERS.strip().splitlines())
              for member in members.split()] for n in PRESETS}
UNITS = [8, 9, 6, 25, 26, -1, 0, 99, 1000, INT32[1]]
RECORD_INTS = {n: st.one_of(st.integers(-3, n + 3), st.sampled_from(SPECIAL_INTS[:30])) for n in PRESETS}
RECORD_FLOATS = st.one_of(st.sampled_from(SPECIAL_FLOATS[:15]), st.floats(-1e6, 1e6, width=32))


def record_change(draw, preset):
    """One random change of a record: a scalar member, or a few entries (or all) of an array member."""
    rec, member = draw(st.sampled_from(FIELDS[preset]))
    view = getattr(rec, member)
    if member in ("nread", "nwrite"):
        value = draw(st.sampled_from(UNITS))
    else:
        value = draw(RECORD_INTS[preset] if view.dtype.kind == "i" else RECORD_FLOATS)
    if view.ndim == 0:
        return rec, member, None, value
    flat = draw(st.lists(st.integers(0, view.size - 1), min_size=1, max_size=4))
    return rec, member, None if draw(st.integers(0, 4)) == 0 and view.size <= 4000 else flat, value


def apply_change(rec, member, flat, value):
    view = getattr(rec, member)
    v = np.int32(min(max(int(value), INT32[0]), INT32[1])) if view.dtype.kind == "i" else np.array(value, view.dtype)
    if view.ndim == 0:
        setattr(rec, member, v)
    else:
        view.reshape(-1, order="F")[flat if flat is not None else slice(None)] = v


# ----------------------------------------------------------------------------- complete runs

def callzeft_args(n):
    mat = np.zeros((18, 2), np.float32, order="F")
    mat[:, 0], mat[:, 1] = isotropic(2.0), isotropic(3.0)
    return shared.callzeft_args(
        n, filenamep="FUZZ", titp="FUZZ RUN", matabdf=mat, steifxf=np.array([1e5, 0, 1e9, 0], np.float32),
        framepitch=300.0, loadvxp=-10.0, neigit=5, indplt=1, istx=[4], isty=[2, 4], elmstf=[1, 1, 2, 2, 1, 1],
        anzelzwframes=2, anzelzwstr=2)


def zeftmain_args(n):
    """zeftmain's arguments, and the unpublished data a direct run needs: grid, skin, flags."""
    h = getattr(_zeft, f"_internal{n}")
    shared.prepare_records(n)
    h.skstf.matsw[:], h.cpvar.pvar[:], h.cpfest.pfest[:], h.f07ind.idesup[:] = 0, 0, 0, 0
    h.cpvar.pvar[:, 0] = -10.0
    h.f07dis.stype = 0
    for flag in ("vibr", "cripan", "glban", "temp", "strs", "inpb"):
        setattr(_zeft.antype, flag, 0)
    _zeft.datran.nread = 8
    return shared.zeftmain_args(n, proj="FUZZ", titp="FUZZ RUN", buckp=1, indpltp=1,
                                bndx0p=[0, 1, 2, 0, 0, 0, 0], bndxlp=[0, 1, 0, 0, 0, 0, 0],
                                bndy0p=[0, 1, 3, 0, 0, 0, 0], bndylp=[0, 1, 0, 0, 0, 0, 0])


# ----------------------------------------------------------------------------- the batch

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
        if self.log.tell() > 4 << 20:   # the log stays below the file size limit of the batch
            self.log.seek(0)
            self.log.truncate()
        self.log.write(text + "\n")
        self.log.flush()

    def call(self, label, routine, args, kwargs=None):
        kwargs = kwargs or {}
        self.calls += 1
        self.note(f"CALL {self.calls} {label}(" + ", ".join(
            [describe(a) for a in args] + [f"{k}={describe(v)}" for k, v in kwargs.items()]) + ")")
        signal.setitimer(signal.ITIMER_REAL, self.seconds)   # SIGALRM ends the process
        try:
            routine(*args, **kwargs)
            self.outcomes["return"] += 1
        except ACCEPTED as e:
            self.outcomes[type(e).__name__] += 1
        except Exception as e:   # anything else is a finding
            self.outcomes["UNEXPECTED"] += 1
            self.failures.append({"call": self.calls, "routine": label, "error": f"{type(e).__name__}: {e}"})
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
UNIT_NUMBERS = st.sampled_from([-1, 0, 1, 2, 6, 8, 9, 25, 26, 90, 2 ** 31 - 1])
UNIT_NAMES = st.sampled_from(["f1", "fort.9", "RCA25", "sub/x", "", "a\x00b", ".", "/dev/zero", "/dev/null", "link"])
COUNTS = st.sampled_from([0, 1, 3, 2 ** 22, 2 ** 22 + 1, 2 ** 31 - 1, -1, 2 ** 40])
NAMELIST_ITEMS = st.tuples(st.sampled_from(["a", "tit", "buck", ""]), st.sampled_from(["i", "f", "l", "c", "x", "ii"]),
                           COUNTS, st.sampled_from([0, 1, 8, 2 ** 31 - 1])).map(lambda item: [item])


def folder_and_output(where, receiver):
    """A record to standard output with another folder and receiver, both put back."""
    try:
        _zeft._set_folder(where)
        _zeft._set_output(receiver)
        _zeft._write_unit(6, "('to the receiver')", [])
    finally:
        _zeft._set_folder(None)
        _zeft._set_output(None)


# Each private entry with the strategies of its arguments.
PRIVATE = [
    ("_format", _zeft._format, (FORMAT_TEXTS, FORMAT_ITEMS)),
    ("_write_unit", _zeft._write_unit, (UNIT_NUMBERS, FORMAT_TEXTS, FORMAT_ITEMS)),
    ("_open_unit", _zeft._open_unit, (UNIT_NUMBERS, UNIT_NAMES, st.booleans())),
    ("_read_unit", _zeft._read_unit, (UNIT_NUMBERS,)),
    ("_read_doubles", _zeft._read_doubles, (UNIT_NUMBERS, COUNTS)),
    ("_write_doubles", _zeft._write_doubles, (UNIT_NUMBERS, st.lists(st.floats(), max_size=8))),
    ("_namelist", _zeft._namelist, (st.sampled_from(["fort.8", "/dev/zero", "/dev/null", "missing", "."]),
                                    st.sampled_from(["title", "g", ""]), NAMELIST_ITEMS)),
    ("_rewind_unit", _zeft._rewind_unit, (UNIT_NUMBERS,)),
    ("_close_unit", _zeft._close_unit, (UNIT_NUMBERS,)),
    ("_set_folder/_set_output", folder_and_output, (st.sampled_from([".", "missing", "fort.8", "/dev/null", ""]),
                                                    st.sampled_from([None, print, len, 5]))),
]


# ----------------------------------------------------------------------------- one draw

def draw_call(draw, batch):
    for _ in range(draw(st.sampled_from([0, 0, 0, 1, 1, 2, 4]))):   # random record contents first
        change = record_change(draw, draw(st.sampled_from(PRESETS)))
        batch.note(f"RECORD {change[0]!r}.{change[1]}[{change[2]}] = {change[3]!r}")
        apply_change(*change)
    if draw(st.integers(0, 24)) == 0:   # new namelist input on unit 8
        content = draw(NAMELIST_TEXTS)
        batch.note(f"INPUT fort.8 = {content!r}")
        _zeft._close_unit(8)
        with open("fort.8", "w", encoding="latin-1", errors="replace") as f:
            f.write(content)

    kind = draw(st.integers(0, 19))
    if kind >= 18:
        label, routine, strategies = draw(st.sampled_from(PRIVATE))
        batch.call(label, routine, [draw(s) for s in strategies])
    elif kind <= 1:   # a complete run, mostly valid, with a few changed arguments
        n, name = draw(st.sampled_from(PRESETS)), ("callzeft", "zeftmain")[kind]
        group = getattr(_zeft, f"prtnds{n}")
        base = callzeft_args(n) if kind == 0 else zeftmain_args(n)
        required, _ = signature(getattr(group, name))
        for _ in range(draw(st.sampled_from([0, 0, 1, 1, 2, 3]))):
            arg = draw(st.sampled_from(required))
            if arg.name not in ("displ", "elamp", "membraneforcesp"):
                base[arg.name] = (draw(TEXTS) if arg.type == "c" else scalar(draw, arg) if arg.bounds is None
                                  else array(draw, arg, n, base))
        if kind == 0 and isinstance(base["neigrq"], int) and 0 <= base["neigrq"] <= 50:
            base["displ"] = np.zeros(int(group.p_nx) * base["neigrq"])
        batch.call(f"prtnds{n}.{name}", getattr(group, name), (), base)
    else:
        any_routine(draw, batch)


def any_routine(draw, batch):
    """One routine of any group, every argument drawn; one missing or surplus now and then."""
    group, name, routine, required, optional = draw(st.sampled_from(ROUTINES))
    preset = int(group[6:]) if group.startswith("prtnds") else draw(st.sampled_from(PRESETS))
    sizes, values = {}, {}
    for arg in required:
        if arg.type == "c":
            values[arg.name] = draw(TEXTS)
        elif arg.bounds is None:
            values[arg.name] = scalar(draw, arg)
            if isinstance(values[arg.name], int):
                sizes[arg.name] = values[arg.name]
        else:
            values[arg.name] = array(draw, arg, preset, sizes)
    kwargs = {arg.name: scalar(draw, arg) for arg in optional if draw(st.integers(0, 3)) == 0}
    if "ier" in values and draw(st.booleans()):   # the code written back, as a caller would see it
        values["ier"] = np.zeros(1, np.int32)
    how = draw(st.integers(0, 11))
    if how == 0 and values:   # one argument missing
        del values[draw(st.sampled_from(list(values)))]
    elif how == 1:   # a surplus keyword
        kwargs["surplus"] = 1
    positional = how == 2 or draw(st.booleans())
    args = list(values.values()) + ([0] if how == 2 else []) if positional else []   # 2: a surplus positional
    batch.call(f"{group}.{name}", routine, args, {**({} if positional else values), **kwargs})


def main():
    batch_seed, calls, folder, log_path, result_path = sys.argv[1:6]
    seconds = float(sys.argv[6]) if len(sys.argv) > 6 else 60.0
    os.chdir(folder)
    signal.signal(signal.SIGXFSZ, signal.SIG_IGN)   # a file beyond the cap fails to grow
    # The watchdog: SIGALRM's default action ends the process even while a routine holds the
    # interpreter lock; the parent reports the last call of the log as the one that hung.
    signal.signal(signal.SIGALRM, signal.SIG_DFL)
    resource.setrlimit(resource.RLIMIT_FSIZE, (16 << 20, resource.getrlimit(resource.RLIMIT_FSIZE)[1]))
    np.seterr(all="ignore")

    with open(log_path, "w") as log:
        batch = Batch(log, seconds)

        @seed(int(batch_seed))
        @settings(max_examples=int(calls), database=None, deadline=None, derandomize=False,
                  phases=[Phase.generate], suppress_health_check=list(HealthCheck))
        @given(st.data())
        def fuzz(data):
            draw_call(data.draw, batch)
            if batch.calls % 250 == 0:   # keep the folder small: files of units still open stay
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
