// Mode-shape output on unit 26: plot grid, curvature contour and the W field of the
// selected buckling modes, scaled for plotting.
#pragma once

namespace zeft {

/// Lays out the plot grid (record plotfls) over the panel, extended by the plot symmetry.
template <class P>
void pltmsh();

/// Evaluates the curvature surface of the panel on the plot grid and writes it to unit 26.
template <class P>
void cntour();

/// Writes W of every selected mode (mdsplt of record plotin) on the plot grid to unit 26.
/// ier = 0 on success.
template <class P>
void modes(int& ier);

}  // namespace zeft
