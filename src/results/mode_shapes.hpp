// Mode-shape file on unit 26: a regular plot grid over the panel (extended by the plot
// symmetry), the curvature surface of the shell on that grid, and the normal displacement W
// of the selected buckling modes on that grid, scaled for plotting.
//
// The file is plain text for an outside plotting program:
//
//   Next line: Nmbr of grid points in x- and y-direction
//   npx npy                                       (I4,1X,I4)
//   #CONTOUR. X increases from line to line       (or Y, see below)
//   table of the contour values
//   " MODE  m. X increases from line to line"     one heading and table per selected mode
//   table of W
//
// A table has one row per plot line in the direction with more intervals (x unless
// npy > npx, which turns the layout to "Y"); its first row holds 0.0 and the coordinates
// across, every further row the coordinate of its line and the values along it. A row is
// written (1X,82(E12.4,1X)): a blank, then the values E12.4 one blank apart (the blank after
// the last value is a position, not a character, and ends no line). With at most 80 intervals
// a row holds at most 82 values and is always one line; npx and npy are refused above 80, so
// the format never reverts to a continuation line.
#pragma once

namespace zeft {

/// Lays out the plot grid (record plotfls: xplt, yplt, lx, ly, dx, dy) over the panel,
/// extended by the plot symmetry codes isymx, isymy of record plotin. Makes npx, npy even (a
/// single interval stays one) and at most 80 and stores them back. Refuses (listing message, grid left as it was) intervals
/// that end up below 1, a grid of subdivision lines outside 2 .. p_rtnds, and symmetry codes
/// outside -2 .. 2.
template <class P>
void pltmsh();

/// Evaluates the shell surface 0.5 (b11 x^2 + b12 x y + b22 y^2) on the plot grid minus the
/// least-squares plane through its four corners, stores it in cntr(81, 81) of record plotfls
/// and writes the file header and the contour table to unit 26 from its start. Refuses
/// (listing message, nothing written) intervals outside 1 .. 80 and symmetry codes outside
/// -2 .. 2.
template <class P>
void cntour();

/// Evaluates W of every selected mode (mdsplt(1 .. nmod) of record plotin, columns of x of
/// record vectrs) on the computed part of the plot grid, scales its largest magnitude to scal,
/// continues it over the symmetric part and appends its table to unit 26. A mode number that
/// is not among the neigrq computed modes is skipped with a listing message; a mode that
/// vanishes on the computed part is written as zeros.
/// ier = 0 on success, the code of iuoriv or phi when those fail, err::modes::bad_input when
/// the plot or panel grid, the symmetry codes, nmod or the key matrix do not fit the records.
template <class P>
void modes(int& ier);

}  // namespace zeft
