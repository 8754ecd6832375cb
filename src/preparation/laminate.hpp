// Laminate stiffness by classical lamination theory: rotation of a ply stiffness by its
// angle, and the membrane, coupling and bending stiffness of a ply stack. All arithmetic is
// single precision; angles are in degrees.
#pragma once

namespace zeft {

/// Rotates the stiffness a(m, m) (column-major) by the angle psi in degrees: b = T^T a T.
/// m = 3: in-plane stiffness with
///   T = [c^2, s^2, cs; s^2, c^2, -cs; -2cs, 2cs, c^2 - s^2],
/// m = 2: transverse-shear stiffness with T = [c, s; -s, c]  (c = cos psi, s = sin psi).
/// ier = 0, or 1 for any other m (reported on standard output; b is left unchanged).
void trnpsi(int& m, float& psi, float* a, float* b, int& ier);

/// Stiffness of a laminate of nla plies stacked from the bottom face upward, ply k with
/// thickness thkply(k) and angle angply(k) in degrees, all of the material
/// q = (E1, E2, nu12, G12). Returns the laminate thickness thklam and, 3x3 column-major,
///   aal = A = sum Qk t_k,   ddl = D = sum Qk (z_{k+1}^3 - z_k^3)/3,
///   adl = -B = -sum Qk t_k (z_k + z_{k+1})/2,
/// with Qk the rotated reduced stiffness of ply k and z measured from the mid-plane.
/// ier = 0; 20 + the code of trnpsi; 10 when q makes the reduced stiffness singular
/// (E1 = 0 or nu12^2 E2 / E1 = 1), reported on standard output with nothing computed.
void abdetc(int& nla, float* thkply, float* angply, float* q, float& thklam, float* aal, float* ddl,
            float* adl, int& ier);

}  // namespace zeft
