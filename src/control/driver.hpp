// The analysis driver: one buckling run from the host's control values to the closed listing.
#pragma once

#include <string_view>

namespace zeft {

/// The project name names files in the working folder only: it must not hold a path
/// separator "/" or a NUL character. Empty when the name is usable, else the reason.
std::string_view project_name_fault(std::string_view proj);

/// Runs one analysis: resets and fills the shared records from the arguments, opens the
/// listing "<proj>.out" on unit 9, checks the analysis type, hands over to buvi and writes
/// the mode-shape file "<proj>MODES.txt" when plot output is requested.
///
/// Texts proj (8 characters) and titp (80) are blank-padded; truth values are int (0 false).
/// Arrays are column-major: kup(5), ap(p_rtnds-1), bp(p_rtnds-1), the edge codes (7 each),
/// istxp(p_stf), istyp(p_stf), elmstfp(p_rtnds-1), steifxp(4, p_stf), steifyp(4, p_stf).
/// Nothing is written back into the arguments; a failure shows as the stop block in the
/// listing and on standard output.
template <class P>
void zeftmain(const char* proj, const char* titp, int& buckp, int& itabp, int& neigitp,
              int& neigrqp, int& memprip, int& indpltp, int* kup, float* ap, float* bp,
              int* bndx0p, int* bndxlp, int* bndy0p, int* bndylp, float& rxp, float& ryp,
              float& rxyp, int* istxp, int* istyp, int* elmstfp, float* steifxp,
              float* steifyp, float& alfaxp, float& alfayp);

/// Resets the stiffener tables (steifx, steify, istx, isty, domx, domy), the subdivision
/// lengths a, b, the node table leit, the suppressed freedoms idesup and sets dom = 1.0E-6.
template <class P>
void initlz();

}  // namespace zeft
