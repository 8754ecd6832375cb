// Input echo of the analysis listing: the panel about to be analysed, block by block —
// boundary conditions, suppressed freedoms, functions, grid, angles, curvature, stiffness
// coefficients, discrete stiffeners and the membrane-force distributions over the nodes.
//
// The buckling echo prtout writes all blocks; the vibration echo reuses the block writers
// declared here. Every writer appends records to the given formatted unit; records start
// with their carriage-control character (" " single spacing, "0" one blank line before).
#pragma once

#include <string_view>

#include "state/records.hpp"

namespace zeft {

namespace listing {

/// Writes n empty records.
void empty_lines(int unit, int n);

/// Converts the angles of obliqueness alfax, alfay in place from degrees to radians
/// (angle * 3.1415927 / 180.0 in single precision, multiplied first).
void to_radians(F07ang& ang);

/// Checks the grid and table sizes the echo indexes with: 2 <= mx, my <= p_rtnds,
/// 1 <= knfun <= 5, numsup <= p_nsup, every leit(iy, ix) of the grid inside 1 .. p_nodes and,
/// with stiffener_counts, nox and noy not above p_stf. On a violation writes a message block
/// naming `routine` to the listing and to standard output and returns false.
template <class P>
bool echo_admissible(std::string_view routine, bool stiffener_counts);

/// Edge-wise boundary conditions, one row per edge (y = 0, x = 0, y = ly, x = lx) of the
/// code table ki(7, 4): symmetry, anti-symmetry, or marks "0" fixed, "-" free and
/// "*" not specified for W, U, V, BETA, GAMMA and the edge-normal slope of W.
/// ku(5) and knfun decide which functions are not specified.
void boundary_conditions(int unit, F07ind& ind, const int* ku, int knfun);

/// The individually suppressed freedoms idesup(4, numsup): node row and column, function
/// code and kind of derivative. Requires numsup <= p_nsup.
void suppressed_freedoms(int unit, F07ind& ind);

/// The function codes ku(1 .. knfun) of the DOFs taking part (knfun <= 5).
void functional_dofs(int unit, const int* ku, int knfun);

/// The numbers of subdivision lines mx and my.
void subdivision_lines(int unit, int mx, int my);

/// The subdivision lengths a(mx-1) and b(my-1) side by side; when one list is longer its
/// values stay in their own column.
void subdivision_lengths(int unit, const float* a, const float* b, int mx, int my);

/// Edge lengths: the sums of a(1 .. mx-1) and b(1 .. my-1) in single precision.
void edge_lengths(int unit, const float* a, const float* b, int mx, int my);

/// Prints the angles of obliqueness in degrees, then converts both in place to radians
/// (angle * 3.1415927 / 180.0 in single precision).
void angles_of_obliqueness(int unit, F07ang& ang);

/// Radii of curvature rx, ry, rxy; a radius of magnitude above 1.0E19 is "INFINITE".
void shell_curvature(int unit, const F07inb& radii);

/// Header of the stiffness-coefficient blocks, down to the "MEMBRANE" title.
void stiffness_header(int unit);

/// Record "0" 6X text: a block title with one blank line before it.
void title0(int unit, std::string_view text);

/// A symmetric 3x3 matrix packed as e(6) = (11, 12, 22, 13, 23, 33), written row by row
/// (3 records of 3E20.7), then 2 empty lines.
void packed3(int unit, const float* e);

/// A symmetric 2x2 matrix packed as t(3) = (11, 12, 22), written row by row (2 records of
/// 2E20.7), then 2 empty lines.
void packed2(int unit, const float* t);

/// Discrete stiffnesses of n stiffeners in direction 'X' or 'Y': per stiffener its line
/// number lines(i) and the four values steif(1 .. 4, i) (axial, coupling, bending, torsion).
void discrete_stiffnesses(int unit, char direction, int n, const int* lines, const float* steif);

/// The blocks every echo starts with, from records f07ind, f07ina, f07ang and f07inb:
/// boundary conditions (when seiten), suppressed freedoms (when numsup > 0), functional DOFs,
/// subdivision lines and lengths, edge lengths, angles of obliqueness (converted to radians
/// after printing) and shell curvature. Requires echo_admissible<P>.
template <class P>
void panel_description(int unit);

/// Three node tables of a membrane-force distribution f(p_nodes, 3) — NX, NXY, NY — over
/// the grid nodes leit(iy, ix) of record f07ina, the x-lines in groups of six.
template <class P>
void node_tables(int unit, const float* f);

}  // namespace listing

/// Writes the input echo of the panel about to be analysed to the analysis listing and
/// converts alfax, alfay of record f07ang from degrees to radians in place.
///
/// bb, dd, bd, rr, dr, br are (6, elements) and ss is (3, elements), column-major, one column
/// per element with the y index fastest; columns 1 .. my-1 (the first column of cells, one
/// per element strip) are read. A grid or table size outside the preset's limits is reported
/// in the listing and the echo is left out; the angles are converted in any case.
template <class P>
void prtout(float* bb, float* dd, float* bd, float* rr, float* dr, float* br, float* ss);

}  // namespace zeft
