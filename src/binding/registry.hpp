// Connects a routine's implementation to its entry in the module's signature table.
//
// The table (signatures.cpp) declares every routine of the module: group, name and its
// arguments in the order of the C++ parameter list. A source file that implements a routine
// registers it with one line next to its definition:
//
//     ZEFT_EXPORT_UTIL(trnpsi)          // zeft::trnpsi, routine of zeftutils
//     ZEFT_EXPORT_ANALYSIS(setkey)      // zeft::setkey<P>, routine of prtnds31/19/21/25
//
// Parameters map from the table by element type: a scalar 'i' or truth argument is int&,
// 'f' float&, 'd' double&; a text argument is const char* (exactly its declared length of
// characters, followed by a NUL); an array is int*, float* or double* to column-major storage.
// At import the module compares every registered parameter list with its table entry and
// refuses to load on a mismatch. A table routine without a registered implementation raises
// _zeft.error saying it is not available.
#pragma once

#include <string>
#include <tuple>
#include <type_traits>
#include <utility>

#include "state/presets.hpp"

namespace zeft::binding {

/// Storage of one converted argument as the invoker sees it.
struct Slot {
    void* ptr = nullptr;  ///< scalar storage, text buffer or array data
};

using Invoker = void (*)(Slot* slots);

/// One registered implementation: its invoker and its parameter kinds, one character per
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

/// Records the implementation of routine `name` in `group` ("zeftutils", or "prtnds31" etc.).
void register_routine(const char* group, const char* name, Implementation impl);

/// Static registration helper used by the export macros.
struct Registrar {
    Registrar(const char* group, const char* name, Implementation impl) {
        register_routine(group, name, std::move(impl));
    }
    template <class... I>
    Registrar(const char* name, Implementation p31, Implementation p19, Implementation p21,
              Implementation p25) {
        register_routine("prtnds31", name, std::move(p31));
        register_routine("prtnds19", name, std::move(p19));
        register_routine("prtnds21", name, std::move(p21));
        register_routine("prtnds25", name, std::move(p25));
    }
};

}  // namespace zeft::binding

/// Registers zeft::NAME as the routine NAME of zeftutils.
#define ZEFT_EXPORT_UTIL(NAME)                                                                \
    static ::zeft::binding::Registrar zeft_registrar_##NAME{                                  \
        "zeftutils", #NAME, ::zeft::binding::implementation<&::zeft::NAME>()};

/// Registers zeft::NAME<P> of every preset as the routine NAME of prtnds31/19/21/25.
#define ZEFT_EXPORT_ANALYSIS(NAME)                                                            \
    static ::zeft::binding::Registrar zeft_registrar_##NAME{                                  \
        #NAME, ::zeft::binding::implementation<&::zeft::NAME<::zeft::P31>>(),                 \
        ::zeft::binding::implementation<&::zeft::NAME<::zeft::P19>>(),                        \
        ::zeft::binding::implementation<&::zeft::NAME<::zeft::P21>>(),                        \
        ::zeft::binding::implementation<&::zeft::NAME<::zeft::P25>>()};
