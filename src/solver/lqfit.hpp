// Linear least squares by modified Gram-Schmidt orthogonalisation.
#pragma once

namespace zeft {

/// Finds ak(ij) minimising || Phi ak + epss ||_2 (note the sign: ak solves Phi ak ~ -epss),
/// where Phi is the k x ij design matrix held in the first k rows of phi(m, ij), column-major
/// with leading dimension m. phi is overwritten by the orthogonalised columns. A column that
/// is numerically dependent on the earlier ones (remaining norm below 1.0E-30) is reported on
/// standard output with its projection coefficients, and the fit goes on without it.
void lqfit(double* phi, int& ij, int& k, int& m, double* epss, double* ak);

}  // namespace zeft
