// Matrix storage of one run.
//
// The published presets assemble into the static record `matrix`, sized for their largest
// grid: A11 as a full triangle and A21 dense. At the larger size those layouts alone would
// take gigabytes, so a run of it holds, on the heap and for the length of the run only,
//
//   A11, B  band profiles of half-bandwidth ibdx (pointers lvtri, lvb),
//   A22     band profile of half-bandwidth ibdy (pointers lva22),
//   A21     column bands: column j (W freedom j) keeps the rows of the in-plane freedoms of
//           the nodes that share a subdivision with the node of j, rows lo(j) .. lo(j) + h - 1,
//
// every entry an element or a stiffener can reach, since both couple the nodes of one
// subdivision only. The assembly writes through the same sinks either way.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "state/presets.hpp"

namespace zeft {

/// The matrix storage of one run of size P, laid out for the grid numbered by setkey (orders
/// ix, iy of record man, bands ibdx, ibdy of f07ina). For a published preset it does nothing;
/// for the larger size it allocates the stores, points record matrix<P61> at them and, when
/// it ends, releases them and clears the pointers.
template <class P>
class RunMatrices {
public:
    RunMatrices();
    ~RunMatrices();
    RunMatrices(const RunMatrices&) = delete;
    RunMatrices& operator=(const RunMatrices&) = delete;

    /// Empty, or why the storage could not be laid out or allocated (a message line).
    const std::string& fault() const { return fault_; }

private:
    std::unique_ptr<double[]> a22_, a11_, b11_, a21_;
    std::vector<int> a21lo_;
    std::string fault_;
};

/// Half-bandwidth of the A11 store through lvtri: ix for the full triangle of the published
/// presets, ibdx for the band of the larger size.
template <class P>
int a11_band();

/// Entries of the A11, A22 and B stores of the current run.
template <class P>
long long a11_capacity();
template <class P>
long long a22_capacity();
template <class P>
long long b11_capacity();

}  // namespace zeft
