// Help texts of the routines, generated from the signature table.
#include "binding/python.hpp"

namespace zeft::binding {

namespace {

const char* type_word(char type) {
    switch (type) {
        case 'f': case 'd': return "float";
        default: return "int";
    }
}

/// Bounds as printed: preset numbers, "*", and computed extents as "3844 * neigrq".
std::string bounds(const std::string& dims) {
    std::string out;
    for (size_t k = 0; k < dims.size(); ++k) {
        if (dims.compare(k, 2, ">=") == 0) { ++k; continue; }
        if (dims[k] == '*' && k > 0 && dims[k - 1] != '(' && dims[k - 1] != ',') out += " * ";
        else out += dims[k];
    }
    return out;
}

int rank_of(const std::string& dims) {
    int r = 1;
    for (char c : dims) r += c == ',';
    return r;
}

std::string array_kind(const ArgDecl& a) {
    return "rank-" + std::to_string(rank_of(a.dims)) + " array('" + std::string(1, a.type == 't' ? 'i' : a.type) +
           "') with bounds " + bounds(a.dims);
}

std::string parameter_line(const ArgDecl& a) {
    std::string s = a.name + " : ";
    if (a.role == Role::inout) return s + "in/output " + array_kind(a);
    if (a.role == Role::returned) return s + (a.dims.empty() ? type_word(a.type) : array_kind(a));
    if (!a.dims.empty()) return s + "input " + array_kind(a);
    if (a.type == 'c') return s + "input string(len=" + std::to_string(a.textlen) + ")";
    s += "input " + std::string(type_word(a.type));
    if (a.role == Role::optional) s += ", optional";
    return s;
}

}  // namespace

std::string signature_line(const RoutineDecl& decl) {
    std::string req, opt, ret;
    for (const ArgDecl& a : decl.args) {
        std::string& dst = a.role == Role::optional ? opt : a.role == Role::returned ? ret : req;
        dst += (dst.empty() ? "" : ",") + a.name;
    }
    std::string line = ret.empty() ? "" : ret + " = ";
    line += decl.name + "(" + req;
    if (!opt.empty()) line += (req.empty() ? "[" : ",[") + opt + "]";
    return line + ")";
}

std::string routine_help(const RoutineDecl& decl) {
    std::string h = signature_line(decl) + "\n\nWrapper for ``" + decl.name + "``.\n";
    std::string params, optional, returns;
    for (const ArgDecl& a : decl.args) {
        if (a.role == Role::optional)
            optional += parameter_line(a) + "\n    Default: " + a.deflt + "\n";
        else if (a.role == Role::returned)
            returns += parameter_line(a) + "\n";
        else
            params += parameter_line(a) + "\n";
    }
    if (!params.empty()) h += "\nParameters\n----------\n" + params;
    if (!optional.empty()) h += "\nOther Parameters\n----------\n" + optional;
    if (!returns.empty()) h += "\nReturns\n-------\n" + returns;
    return h;
}

}  // namespace zeft::binding
