// The shared analysis state: every record exists once for the whole library and persists
// between calls. Records whose layout depends on the size preset are stored once, sized for
// preset 31, and read through a typed view per preset (f07ina<P>() and friends), so the
// fields after the first preset-dependent array lie where that preset's layout puts them.
// The larger size (61) has records of its own, and its matrices exist during a run only.
//
// Types follow the analysis conventions: real = float, double = double, integer = int32,
// boolean = int32 (0 false, nonzero true), text = blank-padded char array. All arrays are
// one-based in the mathematics and column-major in storage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "state/array.hpp"
#include "state/presets.hpp"

namespace zeft {

// ---------------------------------------------------------------- preset-independent records

/// Eigenvalue counts and print switches.
struct Man {
    int ix;      ///< number of W freedoms of the current grid (set by setkey)
    int iy;      ///< number of U, V, BETA, GAMMA freedoms (set by setkey)
    int iter;    ///< published to the host, unused
    int neigit;  ///< iteration vectors of the subspace iteration
    int itab;    ///< nonzero: list the condensed matrix
    int neigrq;  ///< requested eigenvalues
    int mempri;  ///< boolean: print membrane forces
    int x2pri;   ///< boolean: print in-plane eigenvectors
};

/// Analysis flags (booleans).
struct Antype {
    int temp, strs, buck, vibr, inpb, cripan, glban;
};

/// Run title, 80 characters blank-padded.
struct Title {
    char tit[80];
};

/// Unit numbers: namelist input, analysis listing, spare.
struct Datran {
    int nread, nwrite, nstore;
};

/// Mode-shape output control.
struct Plotin {
    float scal;      ///< plot scale (largest displacement of a plotted mode)
    int indplt;      ///< nonzero: write the mode-shape and contour file
    int npx, npy;    ///< plot grid intervals in x and y
    int isymx, isymy;///< plot symmetry codes
    int mdsplt[50];  ///< numbers of the modes to plot, 0 = empty slot
    int nmod;        ///< number of modes to plot
};

/// Radii of curvature (1.0E29 = flat).
struct F07inb {
    float rx, ry, rxy;
};

/// Angles of obliqueness (degrees on input, radians after the input echo).
struct F07ang {
    float alfax, alfay;
};

/// Boundary conditions: edge-wise codes and individually suppressed freedoms.
struct F07ind {
    int seiten;           ///< boolean: some edge-wise code is nonzero
    int bndy0[7];         ///< codes of edge y = 0
    int bndx0[7];         ///< codes of edge x = 0
    int bndyl[7];         ///< codes of edge y = l
    int bndxl[7];         ///< codes of edge x = l
    int idesup[4 * 250];  ///< idesup(4, p_nsup): (function, derivative kind, y-line, x-line)
    int numsup;           ///< used columns of idesup

    /// The four edge vectors as one table ki(7, 4), edges y=0, x=0, y=l, x=l.
    int& ki(int l, int j) {
        int* edge[4] = {bndy0, bndx0, bndyl, bndxl};
        return edge[j - 1][l - 1];
    }
    Mat<int> idesup_m() { return {idesup, 4}; }
};

/// Skin stiffness data sets (set 1 skin, set 2 skin with stringer foot).
struct Skstf {
    float matabd[18 * 2];  ///< matabd(18, p_abdstf): membrane 1-6, coupling 7-12, bending 13-18
    float matsw[21 * 2];   ///< matsw(21, p_abdstf): further stiffness terms
};

/// Mass per unit area of the skin and the mass scale factor of a vibration run.
struct Densit {
    float dom, pdom;
};

/// Stringer cross-section for the crippling and global buckling checks.
struct Stringercom {
    float footth, webth, footwidth, webheight;
    float ddst[6];  ///< wall bending stiffness, packed 11, 12, 22, 13, 23, 33
    float chordwidth, chordth, alpha;
};

/// Skin thickness and stringer pitch for the global buckling check.
struct Glbuckcom {
    float skinth, stpitch;
};

/// Eigenvalues of the last run.
struct Valus {
    double elam[55];
};

/// Stopping tolerance of the subspace iteration of a run, for a host that needs its vectors
/// more accurate than the runs of the published routines give them (not published).
struct Itertol {
    double epsiln;  ///< the starting eps of simvit; 0: the published 1.0E-8
};

/// Forces per eigenvalue prepared for the host: membraneforces(p_ngit, 5).
struct Pythres {
    double membraneforces[55 * 5];
};

/// Stiffener force, stiffness and strain values passed to the stringer checks.
struct Test {
    float pax[2];
    float stiffx, epsweb, sigmweb;
};

/// Inverse of the 3x3 membrane stiffness of the first element: aij(3, 3).
struct F07aij {
    float aij[9];
    float& operator()(int i, int j) { return aij[(i - 1) + 3 * (j - 1)]; }
};

/// Inverse membrane stiffness of each stiffness data set (the first element of a strip of
/// that set), for the stiffener forces of the nodes that carry the set's loads. Filled by the
/// buckling run control with aij; valid(k) = 0 when set k is on no strip of the grid.
struct F07aijs {
    float aij[2][9];  ///< aij(3, 3) of set 1 and of set 2, column-major
    int valid[2];
};

/// Element working values of the assembly: slope scales, skew factor, scale table.
struct F07pd {
    float sa, sb, fa;
    float b1[16];  ///< b1(4, 4)
    float fs;
    float& b1m(int r, int c) { return b1[(r - 1) + 4 * (c - 1)]; }
};

/// Strain-term table: generalized strain n = sum over m of feps(n, m) * D[keps(n, m)].
struct F01eps {
    float feps[33];  ///< feps(11, 3)
    int keps[33];    ///< keps(11, 3), derivative codes 100 f + 10 p + q
    float& f(int n, int m) { return feps[(n - 1) + 11 * (m - 1)]; }
    int& k(int n, int m) { return keps[(n - 1) + 11 * (m - 1)]; }
};

/// Integral table s1(3, 4, 3, 4) (published as a1(63), a2(81)).
struct F07in1 {
    float s1[144];
};

/// Integral table s2(3, 4, 3, 4) (published as b1(59), b2(85)).
struct F07in2 {
    float s2[144];
};

/// Plot grid and contour values of the mode-shape file.
struct Plotfls {
    float xplt[81], yplt[81];
    float lx, ly, dx, dy;
    float cntr[81 * 81];  ///< cntr(81, 81)
};

/// Published to the host, used by no routine.
struct F07inc {
    float s[21];
};

// ---------------------------------------------------------------- preset-dependent records

/// Grid and functions.
template <class P>
struct F07ina {
    int ku[5];                           ///< active function codes, compacted and ascending
    int mx, my;                          ///< subdivision lines in x and y
    float a[P::p_rtnds - 1];             ///< subdivision lengths in x
    float b[P::p_rtnds - 1];             ///< subdivision lengths in y
    int leit[P::p_rtnds * P::p_rtnds];   ///< leit(y-line, x-line): node numbers
    int ibdx, ibdy;                      ///< half-bandwidths of the W matrices and of A22
    int knfun;                           ///< number of active functions

    int& leitm(int iy, int ix) { return leit[(iy - 1) + P::p_rtnds * (ix - 1)]; }
};

/// Stiffeners: stringers (x) and frames (y).
template <class P>
struct F07dis {
    float steifx[4 * P::p_stf];  ///< steifx(4, p_stf): axial, coupling, bending, torsion
    int istx[P::p_stf];          ///< y-line of each stringer, 0 ends the list
    int nox;                     ///< number of stringers
    float domx[P::p_stf];        ///< mass per length of each stringer
    float steify[4 * P::p_stf];  ///< steify(4, p_stf)
    int isty[P::p_stf];          ///< x-line of each frame, 0 ends the list
    int noy;                     ///< number of frames
    float domy[P::p_stf];        ///< mass per length of each frame
    int stype;                   ///< stringer cross-section type

    float& sx(int k, int i) { return steifx[(k - 1) + 4 * (i - 1)]; }
    float& sy(int k, int i) { return steify[(k - 1) + 4 * (i - 1)]; }
};

/// Torsion of the stiffeners under their own axial force: Ip/A per stringer and per frame,
/// the polar moment of the section about its attachment line over its area. The geometric
/// stiffness gains P (Ip/A) theta,s^2 along a stiffener whose entry is nonzero, theta the
/// slope of the skin across the line; zero entries leave B as it was.
template <class P>
struct Stftor {
    float ipax[P::p_stf];  ///< Ip/A of each stringer, length squared
    float ipay[P::p_stf];  ///< Ip/A of each frame
};

/// Stiffness data set (or strip kind) per element strip.
template <class P>
struct Stiffcom {
    int elmstf[P::p_rtnds - 1];
};

/// Prescribed (fixed) membrane forces per node: pfest(p_nodes, 3), columns Nx, Nxy, Ny.
template <class P>
struct Cpfest {
    float pfest[P::p_nodes * 3];
    float& operator()(int n, int c) { return pfest[(n - 1) + P::p_nodes * (c - 1)]; }
};

/// Variable membrane forces per node: pvar(p_nodes, 3), scaled by the eigenvalue.
template <class P>
struct Cpvar {
    float pvar[P::p_nodes * 3];
    float& operator()(int n, int c) { return pvar[(n - 1) + P::p_nodes * (c - 1)]; }
};

/// W eigenvectors x(p_nx, p_ngit), one column per mode.
template <class P>
struct Vectrs {
    double x[P::p_nx * P::p_ngit];
};

/// Profile pointer vectors.
template <class P>
struct Comlv {
    int lvtri[P::p_nx];  ///< full triangle of order p_nx
    int lva22[P::p_ny];  ///< A22
    int lvb[P::p_nx];    ///< B and the mass matrix
};

/// Matrix work storage: A22 (profile), A11 (full triangle), B (profile), A21 (dense, ld p_ny).
template <class P>
struct Matrix {
    double a22[P::p_la22];
    double a11[P::p_la11];
    double b11[P::p_lb11];
    double a21[static_cast<long long>(P::p_ny) * P::p_nx];
};

/// Matrix work storage of the larger size, on the heap for the length of a run (see
/// RunMatrices in assembly/storage.hpp); null pointers outside a run. A11 and B lie in band
/// profiles through lvtri and lvb (half-bandwidth ibdx), A22 through lva22 (ibdy); column j of
/// A21 holds its rows a21lo(j) .. a21lo(j) + a21h - 1 only, at a21 + a21h (j - 1).
template <>
struct Matrix<P61> {
    double* a22;
    double* a11;
    double* b11;
    double* a21;
    long long la22, la11, lb11;  ///< entries of the A22, A11 and B stores
    const int* a21lo;            ///< first row held of every column of A21 (ix entries)
    int a21h;                    ///< rows held per column of A21
};

/// Key matrix lm(5, 4, p_nodes): equation numbers, 0 suppressed, -909 inactive.
template <class P>
struct F07mat {
    int lm[5 * 4 * P::p_nodes];
    int& operator()(int f, int kd, int n) { return lm[(f - 1) + 5 * ((kd - 1) + 4 * (n - 1))]; }
};

/// Quadratic-form terms of every element.
template <class P>
struct F01qua {
    float fquad[P::help];   ///< fquad(p_itrm, p_elmts)
    int kquad[P::help2];    ///< kquad(p_itrm, 3, p_elmts)
    int ikt[P::p_elmts];    ///< terms per element

    float& f(int t, int e) { return fquad[(t - 1) + P::p_itrm * (e - 1)]; }
    int& k(int t, int j, int e) { return kquad[(t - 1) + P::p_itrm * ((j - 1) + 3 * (e - 1))]; }
};

/// The driver's arguments of a panel laid out by the panel set-up and not yet run: controls,
/// grid lengths, boundary codes, stiffener tables and strip kinds, as zeftmain takes them, and
/// the line counts of the layout.
template <class P>
struct Panrun {
    int ready;                           ///< preset number of the set-up until the run, else 0
    char proj[8], tit[80];               ///< project name and title, blank-padded
    int buck, itab, neigit, neigrq, mempri, indplt;
    int ku[5];                           ///< function codes
    int bndx0[7], bndxl[7], bndy0[7], bndyl[7];
    float rx, ry, rxy;                   ///< radii of curvature
    float alfax, alfay;                  ///< angles of obliqueness, degrees
    int mx, my;                          ///< subdivision lines of the layout in x and y
    float ap[P::p_rtnds - 1];            ///< subdivision lengths in x
    float bp[P::p_rtnds - 1];            ///< element strip widths in y
    int istx[P::p_stf], isty[P::p_stf];  ///< stringer y-lines, frame x-lines, 0 ends a list
    int elmstf[P::p_rtnds - 1];          ///< strip kinds
    float steifx[4 * P::p_stf];          ///< steifx(4, p_stf)
    float steify[4 * P::p_stf];          ///< steify(4, p_stf)
};

/// One storage block for a preset-dependent record, with a typed view per published preset;
/// the larger size has a block of its own (large_store), which the presets' layouts never share.
template <template <class> class R>
union PresetRecord {
    R<P31> p31;
    R<P19> p19;
    R<P21> p21;
    R<P25> p25;

    template <class P>
    R<P>& get();
};

/// The record R of the larger size (static storage, pages committed only when used).
template <template <class> class R>
R<P61>& large_store();

template <template <class> class R>
template <class P>
R<P>& PresetRecord<R>::get() {
    if constexpr (P::number == 31) return p31;
    else if constexpr (P::number == 19) return p19;
    else if constexpr (P::number == 21) return p21;
    else if constexpr (P::number == 25) return p25;
    else return large_store<R>();
}

// ---------------------------------------------------------------- the one instance

extern Man man;
extern Antype antype;
extern Title title;
extern Datran datran;
extern Plotin plotin;
extern F07inb f07inb;
extern F07ang f07ang;
extern F07ind f07ind;
extern Skstf skstf;
extern Densit densit;
extern Stringercom stringercom;
extern Glbuckcom glbuckcom;
extern Valus valus;
extern Itertol itertol;

/// The starting eps of the subspace iteration of a run: itertol's when set, else 1.0E-8.
inline double iteration_tolerance() { return itertol.epsiln > 0.0 ? itertol.epsiln : 1.0E-8; }
extern Pythres pythres;
extern Test test;
extern F07aij f07aij;
extern F07aijs f07aijs;
extern F07pd f07pd;
extern F01eps f01eps;
extern F07in1 f07in1;
extern F07in2 f07in2;
extern Plotfls plotfls;
extern F07inc f07inc;

extern PresetRecord<F07ina> f07ina_store;
extern PresetRecord<F07dis> f07dis_store;
extern PresetRecord<Stiffcom> stiffcom_store;
extern PresetRecord<Cpfest> cpfest_store;
extern PresetRecord<Cpvar> cpvar_store;
extern PresetRecord<Vectrs> vectrs_store;
extern PresetRecord<Comlv> comlv_store;
extern PresetRecord<Matrix> matrix_store;
extern PresetRecord<F07mat> f07mat_store;
extern PresetRecord<F01qua> f01qua_store;
extern PresetRecord<Panrun> panrun_store;
extern PresetRecord<Stftor> stftor_store;

template <class P> F07ina<P>& f07ina() { return f07ina_store.get<P>(); }
template <class P> F07dis<P>& f07dis() { return f07dis_store.get<P>(); }
template <class P> Stiffcom<P>& stiffcom() { return stiffcom_store.get<P>(); }
template <class P> Cpfest<P>& cpfest() { return cpfest_store.get<P>(); }
template <class P> Cpvar<P>& cpvar() { return cpvar_store.get<P>(); }
template <class P> Vectrs<P>& vectrs() { return vectrs_store.get<P>(); }
template <class P> Comlv<P>& comlv() { return comlv_store.get<P>(); }
template <class P> Matrix<P>& matrix() { return matrix_store.get<P>(); }
template <class P> F07mat<P>& f07mat() { return f07mat_store.get<P>(); }
template <class P> F01qua<P>& f01qua() { return f01qua_store.get<P>(); }
template <class P> Panrun<P>& panrun() { return panrun_store.get<P>(); }
template <class P> Stftor<P>& stftor() { return stftor_store.get<P>(); }

/// Returns every record to its contents at library load: all storage cleared, then the
/// constant tables (integral tables, strain terms) and the starting values filled in.
void reset_records();

/// A copy of every record, to be put back by restore. Storage pages that hold only zeros
/// are not copied.
class RecordSnapshot {
public:
    /// Copies the records as they are now.
    RecordSnapshot();
    /// Puts the copied contents back into every record.
    void restore() const;

private:
    /// A saved piece of one record: bytes [offset, offset + length) of record number `record`.
    struct Stretch {
        std::size_t record, offset, length;
    };
    std::vector<Stretch> pages_;        ///< the saved pieces, in record order
    std::vector<unsigned char> bytes_;  ///< their contents, one after the other
};

/// The integral tables S = s1 + s2 read as s(i, k, j, l), i, j derivative order + 1.
inline float& s1(int i, int k, int j, int l) { return f07in1.s1[(i - 1) + 3 * ((k - 1) + 4 * ((j - 1) + 3 * (l - 1)))]; }
inline float& s2(int i, int k, int j, int l) { return f07in2.s2[(i - 1) + 3 * ((k - 1) + 4 * ((j - 1) + 3 * (l - 1)))]; }
/// S(i, k, j, l) = s1 + s2, formed in single precision.
inline float sint(int i, int k, int j, int l) { return s1(i, k, j, l) + s2(i, k, j, l); }

}  // namespace zeft
