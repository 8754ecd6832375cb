"""Certification of the load factors of a run.

Every load factor the package hands back is checked against the eigenproblem of the run,
S w = lambda B w (S the bending matrix with the in-plane freedoms condensed out, B the geometric
stiffness of the variable load):

- its relative residual |(S - lambda B) w| / |S w| must lie below ``RESIDUAL_LIMIT``;
- Sturm-sequence counts (the negative pivots of L D L^T factorisations of the shifted coupled
  matrix) give the number of eigenvalues in (0, sigma+) and in (sigma-, 0), sigma+- just beyond
  the reported values on either side (and beyond the largest magnitude reported); each must
  equal the number of reported values on that side, or an eigenvalue of smaller magnitude
  than a reported one was missed. The interval that holds it is named.

The checks are made by the private entry ``_zeft._certify`` right after the run, on the
matrices the run kept (its coupled matrix before factorisation and its factor of the in-plane
block), or on its matrices assembled again from its records when it kept none.
"""

from __future__ import annotations

import warnings

import numpy as np

__all__ = ["CertificationWarning", "RESIDUAL_LIMIT"]

#: Largest relative residual of a certified load factor.
RESIDUAL_LIMIT = 1.0e-6

#: Starting tolerance of the subspace iteration in the package's runs (the published routines
#: start at 1e-8). A vector is locked once its contamination by the other vectors of the
#: subspace is within the tolerance (relaxed by 3 % per inverse step); in panels whose
#: condensed stiffness cancels most of A11 (curved, with eccentric stiffeners) a vector
#: locked at 1e-8 keeps a residual near 1e-6. Starting two decades lower leaves it near 1e-7.
ITERATION_TOLERANCE = 1.0e-10


class CertificationWarning(UserWarning):
    """A load factor of the result is not certified (see ``BucklingResult.certification``)."""


def certify(result) -> None:
    """Certifies the load factors of a result of the last run in this process: sets its
    ``certified``, ``residuals``, ``sturm_counts`` and ``certification``."""
    import _zeft

    try:
        c = _zeft._certify(result.preset, result.load_factors, result.eigenvectors)
    except _zeft.error as e:
        result.certified, result.certification = False, f"not certified: {e}"
        return
    result.residuals = np.asarray(c["residuals"])
    found, reported = c["found"], c["reported"]
    result.sturm_counts = {"negative": (found[0], reported[0]), "positive": (found[1], reported[1]),
                           "shifts": tuple(c["shifts"]), "missing": c["missing"]}
    problems = []
    for k in np.flatnonzero(~(result.residuals < RESIDUAL_LIMIT)):
        problems.append(f"load factor {k + 1} ({result.load_factors[k]:.6g}) has a relative residual of "
                        f"{result.residuals[k]:.2g}, above {RESIDUAL_LIMIT:g}: it is not an eigenvalue to that accuracy")
    for side, (lo, hi) in (("positive", (0.0, c["shifts"][1])), ("negative", (c["shifts"][0], 0.0))):
        n_found, n_reported = result.sturm_counts[side]
        if n_found != n_reported:
            problems.append(f"{n_found} eigenvalues lie in ({lo:.6g}, {hi:.6g}) but {n_reported} were reported")
    if c["missing"] is not None:
        problems.append("an eigenvalue that was not reported lies in ({:.6g}, {:.6g})".format(*c["missing"]))
    result.certified = not problems
    result.certification = "certified" if not problems else "not certified: " + "; ".join(problems)


def settle(result, strict: bool, retried_from=None) -> None:
    """Says what became of certification: a note of a rerun with the default number of
    iteration vectors, a CertificationWarning for a result that is not certified, or with
    ``strict`` an AnalysisError."""
    from .analysis import AnalysisError

    if retried_from is not None:
        result.certification += (f" ({retried_from} iteration vectors gave load factors that were not "
                                 f"certified; analysed again with {result.panel.neigit})")
    if result.certified:
        return
    message = (f"{result.panel.name}: {result.certification}. Ask for more iteration vectors, or check "
               f"the panel for nearly repeated load factors.")
    if strict:
        raise AnalysisError(message, output=result.output, listing=result.listing_path)
    warnings.warn(message, CertificationWarning, stacklevel=3)
