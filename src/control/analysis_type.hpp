// Analysis type handling: the run title and analysis flags from namelist input, the check
// that the flags describe a run the system performs, the title page of the listing, and the
// bound of the eigenvalue counts by the size of the numbered problem.
#pragma once

namespace zeft {

/// Reads the namelist groups `title` (tit) and `antype` (the seven analysis flags), in this
/// order, from unit nread of record datran. ier = 0; 1 no `title` group before the end of
/// the input; 2 no `antype` group; 3 a group is malformed. Each failure writes a message
/// block to the listing and to standard output; items read before it keep their values.
void rdtype(int& ier);

/// Checks the analysis flags: ier = 2 when buckling and vibration are requested together.
/// Neither of them requested is reported but accepted (the run then only checks and echoes
/// its input).
void cktype(int& ier);

/// Writes the title page of the listing and one line per requested analysis type.
void prtype();

/// Bounds the eigenvalue counts of record man by the number ix of W freedoms:
/// neigit <= ix, then neigrq <= neigit - 1, as the subspace iteration requires.
/// Each reduction is reported on standard output.
void chneig();

}  // namespace zeft
