// Closed-form stringer checks: crippling of the stringer walls, and global buckling of the
// stiffened panel as columns of a stringer with its effective skin width.
//
// Both crippling routines treat a wall of width w as a long orthotropic plate strip under
// axial compression, buckling at the running load
//   N = (pi/w)^2 k eta,   eta = sqrt(D11 D22),
// with the wall bending stiffness D = ddst of record stringercom (11 along the stringer,
// 22 across the wall); the crippling force of the wall is F = N w. All arithmetic is single
// precision. Inputs that would divide by zero are refused with a listing message,
// ier = 12, and no result.
#pragma once

namespace zeft {

// ---------------------------------------------------------------- crippling

/// Open stringer (a foot and one web): crippling force of the web, a strip with one long
/// edge simply supported on the foot and the other free. Sets epsweb (crippling strain of the
/// stringer) and sigmweb (crippling stress of the web) of record test and lists the force.
void cripplingt(int& ier);

/// Hat stringer (two webs inclined at alpha degrees to each other and a chord): crippling
/// forces of a web and of the chord, both strips simply supported on their long edges.
/// Replaces webheight of record stringercom by the inclined web length
/// webheight / cos(alpha/2), permanently, and lists both forces. Sets sigmweb of record test
/// to the crippling stress of the hat, the lower of the wall stresses N / t of web (webth)
/// and chord (chordth), for the global check.
void cripplingo(int& ier);

// ---------------------------------------------------------------- global buckling

/// Global buckling load of the stiffened panel: each stringer with its effective skin width
/// is a column on the Johnson-Euler curve, the Johnson parabola
/// sigma = sigma_c - (L/rho)^2 sigma_c^2 / (4 pi^2 Ex) down to sigma_c/2 and the Euler stress
/// pi^2 Ex / (L/rho)^2 below it; sigma_c is the crippling stress sigmweb of record test, L the
/// panel length and rho the radius of gyration of stringer plus effective skin. The stringer
/// is an open one (foot and web) or, for stype 2 of record f07dis, a hat (two feet, two webs
/// of slant length webheight as cripplingo leaves it, the chord). The effective width
/// weff = min(stpitch, t sqrt(k* Ex / sigma)) and sigma are iterated to a fixed point (at most
/// 100 passes); the skin beside weff carries fstbug, its own buckling load per unit width. The
/// load of one stringer bay times the number of bays W / stpitch is listed.
///
/// bb, dd, bd (6, elements): element stiffness arrays of the run; only bb(1,1) is read.
/// fstbug: Nx at node 1 at the lowest load factor. ier = 0; 11 when the iteration did not
/// converge (the last pass is listed); 12 when the input would divide by zero (a listing
/// message and no load).
template <class P>
void glbuck(float* bb, float* dd, float* bd, int& ier, float& fstbug);

}  // namespace zeft
