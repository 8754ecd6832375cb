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
/// webheight / cos(alpha/2), permanently, and lists both forces.
void cripplingo(int& ier);

// ---------------------------------------------------------------- global buckling

}  // namespace zeft
