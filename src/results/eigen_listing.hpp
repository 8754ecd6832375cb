// Result blocks of an eigen analysis in the listing: the solver statistics and the
// eigenvalues, the membrane and stiffener forces at every eigenvalue, the condensed matrix,
// and the tables of eigenvectors (eigvpr, the in-plane vectors). The eigen analyses compute; these blocks write what they found.
#pragma once

namespace zeft {

/// Lists columns 1 .. neiga of x (m rows, leading dimension m) on unit `unit`, six vectors
/// side by side per block, headed "DOF" and "EIGENMODE k".
void eigvpr(int& unit, double* x, int& m, int& neiga);

/// Axial force of stiffener k (a stringer, the k-th of istx, else the k-th frame of isty) at
/// the node of y-line iy and x-line ix, at load factor lambda: EA times the strain along the
/// stiffener from N = lambda Nvar + Nfix of the node and the compliance of the stiffness set
/// whose loads the node carries (stiffener_force), as the geometric stiffness takes it.
template <class P>
float stiffener_node_force(bool stringer, int k, int iy, int ix, float lambda);

namespace listing {

/// The statistics of the subspace iteration (ip iterations, jac Jacobi sweeps, the
/// contamination epsiln) and the neigrq eigenvalues of record valus: with the membrane
/// forces of every node alike, each with the forces Nx, Nxy, Ny it stands for, else alone.
template <class P>
void eigenvalues(int ip, int jac, double epsiln);

/// At every requested eigenvalue lambda the membrane forces lambda Nvar + Nfix of every
/// node and, with stiffeners, their axial forces. membraneforces(i, 1 .. 5) of record pythres
/// receive the first value of the last line of each table (Nx, Nxy, Ny, x- and y-stiffeners).
template <class P>
void forces_per_eigenvalue();

/// The statistics of the subspace iteration and the neigrq eigenvalues of record valus of a
/// vibration analysis, each with its frequency sqrt(lambda) / 2 pi in Hz.
void frequencies(int ip, int jac, double epsiln);

/// The condensed A11 (count entries of its full lower triangle, row by row), seven values
/// per record, headed "UPDATED MATRIX A11".
void condensed_matrix(const double* a11, long long count);

/// The in-plane and rotation freedoms u (iy rows per mode) of the first neigrq modes, each
/// headed "EIGENMODE k"; after a buckling analysis (heading) the two heading lines
/// "X2-EIGENVECTORS ..." come first. u null: the heading alone (the work file ended early).
void in_plane_vectors(const double* u, int iy, int neigrq, bool heading);

/// The heading of the W eigenvectors (on a new page after a vibration analysis) and their
/// table x(ix, neigrq) by eigvpr.
void w_eigenvectors(double* x, int ix, int neigrq, bool vibration = false);

}  // namespace listing

}  // namespace zeft
