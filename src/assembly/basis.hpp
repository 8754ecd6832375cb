// Cubic Hermite basis on the unit interval. Every function of the panel is interpolated on a
// subdivision by products phi_r(eta) * phi_c(xi) of these four polynomials:
//
//   phi_1(z) = 1 - 3z^2 + 2z^3   value at z = 0
//   phi_2(z) = z - 2z^2 + z^3    slope at z = 0
//   phi_3(z) = 3z^2 - 2z^3       value at z = 1
//   phi_4(z) = z^3 - z^2         slope at z = 1
//
// The integrals of their products and derivatives are the constant tables s1, s2 (records
// f07in1, f07in2), filled at library load.
#pragma once

namespace zeft {

/// Hermite cubic i (1..4) at the local coordinate z in [0, 1], single precision.
/// ier = 0; 1 when z lies outside [-1.0E-5, 1.00001]; 2 when i is not 1..4.
/// On failure val keeps its previous value.
void phi(int& i, float& z, float& val, int& ier);

}  // namespace zeft
