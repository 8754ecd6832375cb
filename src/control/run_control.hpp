// Buckling run control: one buckling run from the input check to the eigenvalues.
#pragma once

namespace zeft {

/// Carries one buckling run: input check and element stiffness arrays (rddata), input echo,
/// numbering of the freedoms, profile pointers of A22 and B, element stiffness terms, the
/// membrane compliance aij of the first element, eigenvalue-count limits, assembly, crippling
/// check, eigen solution and global buckling check. ier = 0, or the code of the first
/// failing step (its error block is in the listing and on standard output).
template <class P>
void buvi(int& ier);

}  // namespace zeft
