// One-based, column-major views over flat storage, so that the numerical routines read
// like their mathematics: a(i, j) is row i, column j, the first index running fastest.
#pragma once

#include <cstddef>

namespace zeft {

/// One-based vector view: v(i) is p[i-1].
template <class T>
struct Vec {
    T* p;
    T& operator()(std::ptrdiff_t i) const { return p[i - 1]; }
};

/// One-based column-major matrix view with leading dimension ld.
template <class T>
struct Mat {
    T* p;
    std::ptrdiff_t ld;
    T& operator()(std::ptrdiff_t i, std::ptrdiff_t j) const { return p[(i - 1) + ld * (j - 1)]; }
    T* col(std::ptrdiff_t j) const { return p + ld * (j - 1); }
};

/// One-based column-major rank-3 view with extents n1, n2 (the last is free).
template <class T>
struct Arr3 {
    T* p;
    std::ptrdiff_t n1, n2;
    T& operator()(std::ptrdiff_t i, std::ptrdiff_t j, std::ptrdiff_t k) const {
        return p[(i - 1) + n1 * ((j - 1) + n2 * (k - 1))];
    }
};

/// One-based column-major rank-4 view with extents n1, n2, n3 (the last is free).
template <class T>
struct Arr4 {
    T* p;
    std::ptrdiff_t n1, n2, n3;
    T& operator()(std::ptrdiff_t i, std::ptrdiff_t j, std::ptrdiff_t k, std::ptrdiff_t l) const {
        return p[(i - 1) + n1 * ((j - 1) + n2 * ((k - 1) + n3 * (l - 1)))];
    }
};

}  // namespace zeft
