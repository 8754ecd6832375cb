// How the module calls a routine of the core: the converted arguments, one slot per parameter
// in the order of the C++ parameter list, handed to an invoker made from the function itself.
//
// Parameters map from the signature table by element type: a scalar 'i' or truth argument is
// int&, 'f' float&, 'd' double&; a text argument is const char* (exactly its declared length of
// characters, followed by a NUL); an array is int*, float* or double* to column-major storage.
#pragma once

#include <string>
#include <utility>

namespace zeft::binding {

/// Storage of one converted argument as the invoker sees it.
struct Slot {
    void* ptr = nullptr;  ///< scalar storage, text buffer or array data
};

using Invoker = void (*)(Slot* slots);

/// A routine's implementation: its invoker and its parameter kinds, one character per
/// parameter ('i' int&, 'f' float&, 'd' double&, 'c' text, 'I' int*, 'F' float*, 'D' double*).
struct Implementation {
    Invoker invoke = nullptr;
    std::string kinds;
};

namespace detail {

template <class T> struct Param;
template <> struct Param<int&> { static constexpr char kind = 'i'; static int& get(Slot& s) { return *static_cast<int*>(s.ptr); } };
template <> struct Param<float&> { static constexpr char kind = 'f'; static float& get(Slot& s) { return *static_cast<float*>(s.ptr); } };
template <> struct Param<double&> { static constexpr char kind = 'd'; static double& get(Slot& s) { return *static_cast<double*>(s.ptr); } };
template <> struct Param<const char*> { static constexpr char kind = 'c'; static const char* get(Slot& s) { return static_cast<const char*>(s.ptr); } };
template <> struct Param<int*> { static constexpr char kind = 'I'; static int* get(Slot& s) { return static_cast<int*>(s.ptr); } };
template <> struct Param<float*> { static constexpr char kind = 'F'; static float* get(Slot& s) { return static_cast<float*>(s.ptr); } };
template <> struct Param<double*> { static constexpr char kind = 'D'; static double* get(Slot& s) { return static_cast<double*>(s.ptr); } };

template <class F> struct Signature;
template <class... A> struct Signature<void (*)(A...)> {
    template <auto Fn, std::size_t... I>
    static void call(Slot* s, std::index_sequence<I...>) { Fn(Param<A>::get(s[I])...); }
    static std::string kinds() { return std::string{Param<A>::kind...}; }
    static constexpr std::size_t arity = sizeof...(A);
};

}  // namespace detail

/// The invoker and parameter kinds of a function.
template <auto Fn>
Implementation implementation() {
    using S = detail::Signature<decltype(Fn)>;
    return {[](Slot* s) { S::template call<Fn>(s, std::make_index_sequence<S::arity>{}); },
            S::kinds()};
}

}  // namespace zeft::binding
