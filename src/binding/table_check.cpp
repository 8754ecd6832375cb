// The import check of the signature table: every routine's arguments must match the parameter
// kinds of its implementation and the parameter names of every declaration of it in the core,
// in order. Kinds alone would let two arguments of one kind trade places unnoticed (the ten
// consecutive float loads and angles of callzeft, say).
#include "binding/signatures.hpp"

#include <cstring>
#include <string>
#include <vector>

namespace zeft::binding {

namespace {

/// One declaration or definition of a core function that names its parameters.
struct Declared {
    const char* function;
    const char* names;  ///< comma-separated, in parameter order
    const char* where;  ///< file:line
};

const Declared declared_parameters[] = {
#include "parameter_names.inc"
};

std::vector<std::string> split(const char* list) {
    std::vector<std::string> out;
    if (!*list) return out;
    std::string item;
    for (const char* c = list;; ++c) {
        if (*c == ',' || !*c) {
            out.push_back(item);
            item.clear();
            if (!*c) break;
        } else {
            item += *c;
        }
    }
    return out;
}

/// Parameter kinds an implementation must have for the table's arguments.
std::string expected_kinds(const RoutineDecl& decl) {
    std::string k;
    for (const ArgDecl& a : decl.args) {
        if (!a.dims.empty()) k += a.type == 'f' ? 'F' : a.type == 'd' ? 'D' : 'I';
        else if (a.type == 'c') k += 'c';
        else if (a.type == 'f' || a.type == 'd') k += a.type;
        else k += 'i';
    }
    return k;
}

}  // namespace

std::string table_mismatch(const std::string& group, const RoutineDecl& decl,
                           const std::vector<std::string>& names) {
    const std::string routine = group + "." + decl.name;
    if (!decl.impl.invoke) return routine + " has no implementation";
    const std::string want = expected_kinds(decl);
    if (want != decl.impl.kinds)
        return "parameter kinds of " + routine + " do not match the signature table (table '" + want +
               "', code '" + decl.impl.kinds + "')";
    bool seen = false;
    for (const Declared& d : declared_parameters) {
        if (decl.name != d.function) continue;
        seen = true;
        const std::vector<std::string> code = split(d.names);
        if (code.size() != names.size())
            return routine + " has " + std::to_string(names.size()) + " arguments in the signature table, " +
                   std::to_string(code.size()) + " parameters at " + d.where;
        for (size_t k = 0; k < code.size(); ++k)
            if (code[k] != names[k])
                return "argument " + std::to_string(k + 1) + " of " + routine + " is " + names[k] +
                       " in the signature table but " + code[k] + " at " + d.where;
    }
    if (!seen) return routine + " has no declaration naming its parameters in the core sources";
    return "";
}

std::string table_mismatch(const std::string& group, const RoutineDecl& decl) {
    std::vector<std::string> names;
    for (const ArgDecl& a : decl.args) names.push_back(a.name);
    return table_mismatch(group, decl, names);
}

}  // namespace zeft::binding
