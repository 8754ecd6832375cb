// The module's declarative signature table: every routine group, every routine with its
// implementation in the core and its arguments. Argument parsing, conversion, error messages
// and help texts are generated from it.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "binding/implementation.hpp"

namespace zeft::binding {

/// How an argument crosses the boundary.
enum class Role {
    in,        ///< required input: scalar, text or array (copied unless already matching)
    inout,     ///< required in/out array: exact type, size and column-major layout
    optional,  ///< optional keyword with a default from another argument's shape
    returned   ///< output slot returned to the host
};

/// One argument, listed in the order of the routine's C++ parameters.
struct ArgDecl {
    std::string name;
    Role role = Role::in;
    char type = 'i';        ///< 'i' int32, 'f' float32, 'd' float64, 't' truth, 'c' text
    std::string dims;       ///< "" for a scalar; "(6,*)", "(n,m)", "(3844*neigrq)"; ">=" before
                            ///< an extent means at least that many ("(>=n)")
    int textlen = 0;        ///< characters of a text argument
    std::string deflt;      ///< optional keyword: "len(lv)", "shape(a,0)"
    std::string relation;   ///< optional keyword: "len(lv)>=n", "shape(a,0)==m"
};

/// Checks of array contents or extents that the shapes alone cannot express (an index
/// vector that must stay inside its matrix, say). Returns "" when the call may proceed, else
/// the reason, raised as _zeft.error.
struct CallView;
using Precheck = std::string (*)(const CallView& call);

/// One routine of a group: its implementation in the core and its arguments, which must carry
/// the names and kinds of the implementation's parameters in the same order (checked at import).
struct RoutineDecl {
    std::string name;
    Implementation impl;
    std::vector<ArgDecl> args;
    Precheck precheck = nullptr;
};

/// One attribute of the module that is a group: a routine group (with parameters in the
/// analysis modules) or a parameter group.
struct GroupDecl {
    std::string name;
    std::vector<std::pair<std::string, long long>> params;  ///< integer parameters, in order
    std::vector<RoutineDecl> routines;
    /// A private group (name beginning with "_") is a module attribute like the others but
    /// stays out of the module help text; the package uses its routines, hosts do not.
    bool published = true;
};

/// The published groups in the order the module help text lists them: zeft31, zeft19,
/// zeft21, zeft25, zeftutils, prtnds31, prtnds19, prtnds21, prtnds25; then the private ones.
const std::vector<GroupDecl>& module_groups();

/// "" when the arguments of routine decl of group agree with its implementation (parameter
/// kinds) and with every declaration of it in the core (parameter names, in order); else the
/// reason. The second form checks a list of argument names in place of the table's.
std::string table_mismatch(const std::string& group, const RoutineDecl& decl);
std::string table_mismatch(const std::string& group, const RoutineDecl& decl,
                           const std::vector<std::string>& names);

/// What a precheck sees of a converted call: the extents and data of each argument by name.
struct CallView {
    struct Arg {
        const ArgDecl* decl;
        void* data;                  ///< scalar storage, text buffer or array data
        std::vector<long long> dims; ///< array extents (empty for scalars)
        long long size() const {
            long long s = 1;
            for (long long d : dims) s *= d;
            return s;
        }
    };
    std::vector<Arg> args;

    const Arg& operator[](const std::string& name) const;
    long long ival(const std::string& name) const;  ///< value of an integer scalar argument
    const int* iarr(const std::string& name) const { return static_cast<const int*>((*this)[name].data); }
};

}  // namespace zeft::binding
