"""Skin and stiffener stiffness: an isotropic sheet, a ply stack (through the module's
``abdetc``) or explicit A, D and coupling matrices, and the four stiffness values of a
stringer or frame.

A skin stiffness data set is 18 single-precision values: the membrane stiffness A (entries
1-6), the membrane-bending coupling (7-12) and the bending stiffness D (13-18), each a symmetric
3x3 matrix packed in the order 11, 12, 22, 13, 23, 33 (1 = x, 2 = y, 3 = shear).

Sign of the coupling block. The skin data take the curvature as +W,xx (the bending strain
component 4 is 1.0 * W,xx), while classical lamination theory writes kappa = -W,xx. The coupling
entries therefore hold minus the classical B matrix. ``abdetc`` returns exactly that (its
``adl`` is -B), so the coupling of a ply stack goes into the skin data unchanged; an ABD given
from a textbook's B matrix is entered with ``ABD.from_classical``.
"""

from __future__ import annotations

import math
from dataclasses import dataclass, field
from typing import Optional, Sequence

import numpy as np

__all__ = ["Isotropic", "PlyStack", "ABD", "Stiffener", "laminate_abd", "pack", "unpack", "SHEAR_CORRECTION"]

#: Shear correction factor of a homogeneous sheet (parabolic shear stress through the thickness);
#: a ply stack takes the same factor on its A44, A55, A45.
SHEAR_CORRECTION = 5.0 / 6.0

#: Positions of the packed symmetric 3x3 entries: 11, 12, 22, 13, 23, 33.
PACKED_ORDER = ((0, 0), (0, 1), (1, 1), (0, 2), (1, 2), (2, 2))


def pack(matrix) -> np.ndarray:
    """The six packed entries (11, 12, 22, 13, 23, 33) of a symmetric 3x3 matrix."""
    m = np.asarray(matrix, dtype=np.float64)
    return np.array([m[i, j] for i, j in PACKED_ORDER])


def unpack(values) -> np.ndarray:
    """The symmetric 3x3 matrix of six packed entries (11, 12, 22, 13, 23, 33)."""
    v = np.asarray(values, dtype=np.float64).ravel()
    m = np.zeros((3, 3))
    for (i, j), x in zip(PACKED_ORDER, v):
        m[i, j] = m[j, i] = x
    return m


#: Largest magnitude and smallest normal magnitude of a single-precision real: the input data
#: of an analysis are held in single precision.
SINGLE_MAX = float(np.finfo(np.float32).max)
SINGLE_TINY = float(np.finfo(np.float32).tiny)


def _number(name: str, value) -> float:
    """A real number: int or float (NumPy's too); a truth value or a text is no number."""
    if isinstance(value, (bool, np.bool_)) or not isinstance(value, (int, float, np.integer, np.floating)):
        raise ValueError(f"{name}: expected a number, got {type(value).__name__} {value!r}")
    try:
        return float(value)
    except OverflowError:
        raise ValueError(f"{name}: {value} lies beyond the single-precision range (|x| <= {SINGLE_MAX:.4g})") from None


def _finite(name: str, value) -> float:
    """A number that single precision holds: finite, at most SINGLE_MAX in magnitude, and not so
    small that it would round to zero."""
    x = _number(name, value)
    if not math.isfinite(x):
        raise ValueError(f"{name}: must be finite, got {x}")
    if abs(x) > SINGLE_MAX:
        raise ValueError(f"{name}: {x:g} lies beyond the single-precision range (|x| <= {SINGLE_MAX:.4g})")
    if x != 0.0 and abs(x) < SINGLE_TINY:
        raise ValueError(f"{name}: {x:g} is too small for single precision (|x| >= {SINGLE_TINY:.4g} or 0)")
    return x


def _positive(name: str, value) -> float:
    x = _finite(name, value)
    if x <= 0.0:
        raise ValueError(f"{name}: must be positive, got {x:g}")
    return x


def _numbers(name: str, value) -> np.ndarray:
    """A number or a sequence (nesting) of numbers as a float64 array; truth values and texts
    are refused like single numbers."""
    if isinstance(value, (str, bytes)):
        raise ValueError(f"{name}: expected numbers, got {type(value).__name__} {value!r}")
    m = np.asarray(value, dtype=object) if not isinstance(value, np.ndarray) else value
    if m.dtype != object and m.dtype.kind not in "iuf":
        raise ValueError(f"{name}: expected numbers, got an array of {m.dtype}")
    for k, v in enumerate(m.ravel().tolist() if m.dtype != object else m.ravel()):
        _finite(f"{name}[{k}]", v)
    try:
        return np.asarray(m, dtype=np.float64)
    except (TypeError, ValueError):
        raise ValueError(f"{name}: expected numbers") from None


def _matrix(name: str, value) -> np.ndarray:
    """A 3x3 matrix from a 3x3 nesting or from six packed entries."""
    try:
        m = _numbers(name, value)
    except ValueError as e:
        raise ValueError(f"{e} (a 3x3 matrix or six packed entries)") from None
    if m.shape == (6,):
        m = unpack(m)
    if m.shape != (3, 3):
        raise ValueError(f"{name}: expected a 3x3 matrix or six packed entries (11, 12, 22, 13, 23, 33), "
                         f"got shape {m.shape}")
    if not np.all(np.isfinite(m)):
        raise ValueError(f"{name}: entries must be finite")
    if not np.allclose(m, m.T, rtol=1e-6, atol=0.0):
        raise ValueError(f"{name}: must be symmetric")
    return m


def _positive_definite(name: str, m: np.ndarray) -> None:
    if np.linalg.eigvalsh(m).min() <= 0.0:
        raise ValueError(f"{name}: must be positive definite (a stiffness with a zero or negative "
                         f"eigenvalue), got {np.array2string(m, precision=4)}")


def laminate_abd(thicknesses, angles, e1, e2, nu12, g12):
    """Membrane (``A``), bending (``D``) and coupling stiffness of a ply stack by ``abdetc``.

    Plies are listed from the bottom face upward; angles in degrees. Returns a dict with the
    laminate thickness and the 3x3 matrices ``A``, ``D`` and ``coupling``. The coupling block
    carries the sign the skin data expect (minus the classical B matrix), so it goes into the
    coupling entries of a stiffness data set unchanged.
    """
    return PlyStack(thicknesses, angles, e1, e2, nu12, g12).matrices()


@dataclass(frozen=True)
class Isotropic:
    """A homogeneous sheet of ``thickness`` with Young's modulus ``E`` and Poisson's ratio ``nu``:
    A = E t/(1 - nu^2) [1 nu 0; nu 1 0; 0 0 (1 - nu)/2], D = A t^2/12, no coupling."""

    thickness: float
    E: float
    nu: float
    #: Transverse shear modulus; None = E/(2(1 + nu)).
    G: Optional[float] = None
    #: Mass density (mass per volume) of the sheet, for frequencies; None = not given.
    density: Optional[float] = None

    def validate(self, name: str = "stiffness") -> None:
        _positive(f"{name}.thickness", self.thickness)
        _positive(f"{name}.E", self.E)
        nu = _finite(f"{name}.nu", self.nu)
        if not -1.0 < nu < 0.5:
            raise ValueError(f"{name}.nu: Poisson's ratio must lie between -1 and 0.5, got {nu:g}")
        if self.G is not None:
            _positive(f"{name}.G", self.G)
        if self.density is not None:
            _positive(f"{name}.density", self.density)

    def transverse_shear(self) -> np.ndarray:
        """Transverse shear stiffness [[S_xz, S_xz_yz], [S_xz_yz, S_yz]] = kappa G t I with
        kappa = 5/6."""
        self.validate()
        g = float(self.G) if self.G is not None else float(self.E) / (2.0 * (1.0 + float(self.nu)))
        return SHEAR_CORRECTION * g * float(self.thickness) * np.eye(2)

    def mass_per_area(self) -> Optional[float]:
        """density x thickness, or None without a density."""
        return None if self.density is None else float(self.density) * float(self.thickness)

    def matrices(self) -> dict:
        self.validate()
        t, e, nu = float(self.thickness), float(self.E), float(self.nu)
        a = e * t / (1.0 - nu * nu)
        A = a * np.array([[1.0, nu, 0.0], [nu, 1.0, 0.0], [0.0, 0.0, 0.5 * (1.0 - nu)]])
        return {"thickness": t, "A": A, "D": A * t * t / 12.0, "coupling": np.zeros((3, 3))}

    def data_set(self) -> np.ndarray:
        """The 18 values of the stiffness data set (float32)."""
        return _data_set(self.matrices())


@dataclass(frozen=True)
class PlyStack:
    """Plies of one orthotropic material, bottom face first: thicknesses, fibre angles in
    degrees, and the ply constants E1 (along the fibres), E2 (across), nu12 and G12. The
    stiffness comes from the module's ``abdetc`` (classical lamination theory, single
    precision)."""

    thicknesses: Sequence[float]
    angles: Sequence[float]
    E1: float
    E2: float
    nu12: float
    G12: float
    #: Transverse shear moduli of a ply (1-3 along the fibres, 2-3 across); None = G12.
    G13: Optional[float] = None
    G23: Optional[float] = None
    #: Mass density of the plies, for frequencies; None = not given.
    density: Optional[float] = None

    def validate(self, name: str = "stiffness") -> None:
        t = _numbers(f"{name}.thicknesses", self.thicknesses)
        a = _numbers(f"{name}.angles", self.angles)
        if t.ndim != 1 or t.size == 0:
            raise ValueError(f"{name}.thicknesses: give at least one ply")
        if a.shape != t.shape:
            raise ValueError(f"{name}.angles: {a.size} angles for {t.size} ply thicknesses")
        for k, tk in enumerate(t):
            _positive(f"{name}.thicknesses[{k}]", tk)
        for k, ak in enumerate(a):
            _finite(f"{name}.angles[{k}]", ak)
        e1, e2 = _positive(f"{name}.E1", self.E1), _positive(f"{name}.E2", self.E2)
        _positive(f"{name}.G12", self.G12)
        nu = _finite(f"{name}.nu12", self.nu12)
        if nu * nu * e2 / e1 >= 1.0:
            raise ValueError(f"{name}.nu12: nu12^2 E2/E1 must be below 1 (a positive definite ply), "
                             f"got {nu * nu * e2 / e1:g}")
        for key in ("G13", "G23", "density"):
            if getattr(self, key) is not None:
                _positive(f"{name}.{key}", getattr(self, key))

    def transverse_shear(self) -> np.ndarray:
        """Transverse shear stiffness kappa [[A55, A45], [A45, A44]] (xz first) of the stack,
        kappa = 5/6, from the ply moduli G13, G23 turned to each ply's angle:
        Q55 = G13 c^2 + G23 s^2, Q44 = G23 c^2 + G13 s^2, Q45 = (G13 - G23) c s."""
        self.validate()
        g13 = float(self.G13 if self.G13 is not None else self.G12)
        g23 = float(self.G23 if self.G23 is not None else self.G12)
        s = np.zeros((2, 2))
        for t, angle in zip(np.atleast_1d(self.thicknesses), np.atleast_1d(self.angles)):
            c, n = math.cos(math.radians(float(angle))), math.sin(math.radians(float(angle)))
            q45 = (g13 - g23) * c * n
            s += float(t) * np.array([[g13 * c * c + g23 * n * n, q45], [q45, g23 * c * c + g13 * n * n]])
        return SHEAR_CORRECTION * s

    def mass_per_area(self) -> Optional[float]:
        """density x thickness, or None without a density."""
        return None if self.density is None else float(self.density) * self.thickness

    @property
    def thickness(self) -> float:
        return float(np.sum(self.thicknesses))

    def matrices(self) -> dict:
        import _zeft

        self.validate()
        t = np.atleast_1d(np.asarray(self.thicknesses, dtype=np.float32))
        a = np.atleast_1d(np.asarray(self.angles, dtype=np.float32))
        q = np.array([self.E1, self.E2, self.nu12, self.G12], dtype=np.float32)
        aal, ddl, adl = (np.zeros((3, 3), np.float32, order="F") for _ in range(3))
        _zeft.zeftutils.abdetc(t.size, t, a, q, 0.0, aal, ddl, adl, 0)
        if not all(np.all(np.isfinite(m)) for m in (aal, ddl, adl)):
            raise ValueError("the ply stack's stiffness exceeds the single-precision range; check the "
                             "thicknesses and moduli")
        return {"thickness": float(t.sum(dtype=np.float32)), "A": aal.astype(np.float64),
                "D": ddl.astype(np.float64), "coupling": adl.astype(np.float64)}

    def data_set(self) -> np.ndarray:
        return _data_set(self.matrices())


@dataclass(frozen=True)
class ABD:
    """Explicit stiffness matrices: membrane ``A``, bending ``D`` and the membrane-bending
    ``coupling`` in the sign the skin data expect (minus the classical B; zero by default).
    Each is a 3x3 matrix or six packed entries (11, 12, 22, 13, 23, 33)."""

    A: object
    D: object
    coupling: object = field(default_factory=lambda: np.zeros((3, 3)))
    #: Transverse shear stiffness, a 2x2 matrix (xz first) or three packed entries (11, 12, 22);
    #: None = not given (no transverse shear analysis possible).
    shear: object = None
    #: Mass per unit area, for frequencies; None = not given.
    mass: Optional[float] = None

    @classmethod
    def from_classical(cls, A, B, D) -> "ABD":
        """From the A, B, D of classical lamination theory (curvature -W,xx): coupling = -B."""
        return cls(A=A, D=D, coupling=-_matrix("B", B))

    def validate(self, name: str = "stiffness") -> None:
        _positive_definite(f"{name}.A", _matrix(f"{name}.A", self.A))
        _positive_definite(f"{name}.D", _matrix(f"{name}.D", self.D))
        _matrix(f"{name}.coupling", self.coupling)
        if self.shear is not None:
            _shear_matrix(f"{name}.shear", self.shear)
        if self.mass is not None:
            _positive(f"{name}.mass", self.mass)

    def transverse_shear(self) -> np.ndarray:
        """The given transverse shear stiffness (xz first)."""
        if self.shear is None:
            raise ValueError("shear: an ABD skin needs its transverse shear stiffness (shear=[[S_xz, S_xz_yz], "
                             "[S_xz_yz, S_yz]]) for functions with beta and gamma")
        return _shear_matrix("shear", self.shear)

    def mass_per_area(self) -> Optional[float]:
        return None if self.mass is None else float(self.mass)

    @property
    def thickness(self) -> float:
        """Equivalent thickness sqrt(12 D11/A11) of the sheet."""
        return math.sqrt(12.0 * _matrix("D", self.D)[0, 0] / _matrix("A", self.A)[0, 0])

    def matrices(self) -> dict:
        self.validate()
        return {"thickness": self.thickness, "A": _matrix("A", self.A), "D": _matrix("D", self.D),
                "coupling": _matrix("coupling", self.coupling)}

    def data_set(self) -> np.ndarray:
        return _data_set(self.matrices())


def _shear_matrix(name: str, value) -> np.ndarray:
    try:
        m = np.asarray(value, dtype=np.float64)
    except (TypeError, ValueError):
        raise ValueError(f"{name}: expected a 2x2 matrix or three packed entries") from None
    if m.shape == (3,):
        m = np.array([[m[0], m[1]], [m[1], m[2]]])
    if m.shape != (2, 2) or not np.all(np.isfinite(m)) or m[0, 1] != m[1, 0]:
        raise ValueError(f"{name}: expected a finite symmetric 2x2 matrix or three packed entries (11, 12, 22)")
    _positive_definite(name, m)
    return m


def shear_data(skin) -> np.ndarray:
    """The 21 further stiffness values of a skin's data set for first-order shear deformation.

    The bending strain of the skin data is the curvature of W; with the transverse shear
    strains (beta, gamma) = (w,x + psi_x, w,y + psi_y) the curvature of the normals is
    kappa = (W,xx - beta,x, W,yy - gamma,y, 2 W,xy - beta,y - gamma,x). Written out over the
    strain groups (membrane, W curvature, shear-strain gradient) the energy is
    [A, C, -C; C, D, -D; -C, -D, D] with C the coupling of the skin data, plus the transverse
    shear S on (beta, gamma). Layout: br = -C (1-6), dr = -D (7-12), rr = D (13-18), ss = S
    packed 11, 12, 22 (19-21).
    """
    m = skin.matrices()
    s = skin.transverse_shear()
    return np.concatenate([-pack(m["coupling"]), -pack(m["D"]), pack(m["D"]),
                           [s[0, 0], s[0, 1], s[1, 1]]]).astype(np.float32)


def _data_set(m: dict) -> np.ndarray:
    return np.concatenate([pack(m["A"]), pack(m["coupling"]), pack(m["D"])]).astype(np.float32)


#: The stiffness descriptions a skin, a foot or a stringer wall may take.
SKIN_TYPES = (Isotropic, PlyStack, ABD)


def validate_skin(name: str, skin) -> None:
    """Checks a skin description and that its A and D are positive definite."""
    if not isinstance(skin, SKIN_TYPES):
        raise ValueError(f"{name}: expected zeft.Isotropic, zeft.PlyStack or zeft.ABD, got {type(skin).__name__}")
    skin.validate(name)
    try:
        m = skin.matrices()
    except ValueError as e:
        raise ValueError(f"{name}: {e}") from None
    _positive_definite(f"{name} membrane stiffness A", m["A"])
    _positive_definite(f"{name} bending stiffness D", m["D"])
    whole = np.block([[m["A"], m["coupling"]], [m["coupling"].T, m["D"]]])
    if np.linalg.eigvalsh(whole).min() <= 0.0:
        raise ValueError(f"{name}: the 6x6 stiffness [A, coupling; coupling^T, D] is not positive definite "
                         f"(the membrane-bending coupling is too large for A and D)")
    data = np.concatenate([pack(m["A"]), pack(m["coupling"]), pack(m["D"])])
    if not np.all(np.abs(data) <= SINGLE_MAX):
        raise ValueError(f"{name}: the stiffness values exceed the single-precision range (|x| <= {SINGLE_MAX:.4g})")


@dataclass(frozen=True)
class Stiffener:
    """The four stiffness values of a stringer or frame: axial EA, coupling ES (EA times the
    eccentricity of the centroid from the skin's middle surface), bending EI and torsion GJ.

    EIp, when given, is the modulus-weighted polar moment of the section about its attachment
    line (integral of E (y^2 + z^2) dA, y across, z above the skin's middle surface): an open
    section then also loses torsional stiffness under its own axial force P, the energy
    P (EIp / EA) W,sn^2 / 2 entering the geometric stiffness. 0 leaves the term out."""

    EA: float = 0.0
    ES: float = 0.0
    EI: float = 0.0
    GJ: float = 0.0
    EIp: float = 0.0

    def validate(self, name: str = "stiffener") -> None:
        for key in ("EA", "EI", "GJ", "EIp"):
            x = _finite(f"{name}.{key}", getattr(self, key))
            if x < 0.0:
                raise ValueError(f"{name}.{key}: must not be negative, got {x:g}")
        es = _finite(f"{name}.ES", self.ES)
        # The beam's strain energy EA e'^2 + 2 ES e' k + EI k^2 is positive only if
        # EA EI >= ES^2, which holds when EI is taken about the skin's middle surface.
        if float(self.EA) * float(self.EI) < es * es:
            e = f"{es / self.EA:g}" if self.EA else "undefined"
            raise ValueError(f"{name}.EI: EA*EI = {float(self.EA) * float(self.EI):g} is below ES**2 = {es * es:g}; "
                             f"EI must be taken about the skin's middle surface, not about the stiffener's own "
                             f"centroid: EI = EI_centroid + EA*e**2 with the eccentricity e = ES/EA ({e})")
        if self.EIp > 0.0 and self.EA <= 0.0:
            raise ValueError(f"{name}.EIp: needs the axial stiffness EA > 0 (EIp / EA is the section's Ip / A)")

    def polar_ratio(self) -> float:
        """Ip / A = EIp / EA for the torsion under load; 0 without it."""
        return self.EIp / self.EA if self.EIp > 0.0 else 0.0

    def values(self) -> np.ndarray:
        return np.array([self.EA, self.ES, self.EI, self.GJ], dtype=np.float32)
