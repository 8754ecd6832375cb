// Extent and index checks of host calls to the shared numerical utilities.
#include "binding/prechecks.hpp"

#include <algorithm>

namespace zeft::binding {

namespace {
std::string num(long long v) { return std::to_string(v); }
}  // namespace

std::string check_profile(const char* what, long long len, const int* lv, long long lvlen,
                          long long n, long long ibd) {
    if (n < 0) return std::string("the order of ") + what + " is negative";
    if (n == 0) return "";
    if (ibd < 1 || ibd > n)
        return std::string("the half-bandwidth of ") + what + " (" + num(ibd) + ") is outside 1 .. n = " + num(n);
    if (lvlen < n) return std::string("the pointer vector of ") + what + " has fewer than n = " + num(n) + " entries";
    // Row i occupies a(lv(i) + ja(i)) .. a(lv(i) + i), ja(i) = max(1, i - ibd + 1).
    for (long long i = 1; i <= n; ++i) {
        const long long ja = std::max(1LL, i - ibd + 1);
        const long long first = static_cast<long long>(lv[i - 1]) + ja, last = static_cast<long long>(lv[i - 1]) + i;
        if (first < 1 || last > len)
            return std::string("row ") + num(i) + " of " + what + " lies outside its " + num(len) +
                   " stored entries (pointer " + num(lv[i - 1]) + ")";
    }
    return "";
}

std::string check_abdetc(const CallView& c) {
    const long long nla = c.ival("nla");
    if (nla < 1) return "nla must be at least 1 ply";
    if (c["thkply"].size() < nla || c["angply"].size() < nla)
        return "thkply and angply need nla = " + num(nla) + " entries";
    return "";
}

std::string check_chodec(const CallView& c) {
    return check_profile("a", c["a"].size(), c.iarr("lv"), c["lv"].size(), c.ival("n"), c.ival("ibd"));
}

std::string check_chosol(const CallView& c) {
    std::string r = check_chodec(c);
    if (!r.empty()) return r;
    if (c["y"].size() < c.ival("n")) return "the work vector y needs n = " + num(c.ival("n")) + " entries";
    return "";
}

std::string check_probtm(const CallView& c) {
    std::string r = check_chodec(c);
    if (!r.empty()) return r;
    if (c.ival("m1") < 1 && c.ival("m") >= 1) return "m1 must be at least 1";
    return "";
}

std::string check_jacob2(const CallView& c) {
    const long long n = c.ival("n");
    return check_profile("a", c["a"].size(), c.iarr("lvtri"), c["lvtri"].size(), n, std::max(1LL, n));
}

std::string check_lqfit(const CallView& c) {
    const long long m = c.ival("m"), ij = c.ival("ij"), k = c.ival("k");
    if (ij < 0 || k < 0) return "ij and k must not be negative";
    if (k > m) return "k = " + num(k) + " equations exceed the leading dimension m = " + num(m);
    if (c["phi"].dims.size() == 2 && c["phi"].dims[1] < ij) return "phi has fewer than ij = " + num(ij) + " columns";
    if (c["epss"].size() < k) return "epss needs k = " + num(k) + " entries";
    if (c["ak"].size() < ij) return "ak needs ij = " + num(ij) + " entries";
    return "";
}

std::string check_mklvbd(const CallView& c) {
    const long long nn = c.ival("nn");
    if (c.ival("ibd") < 1) return "ibd must be at least 1";
    if (nn > c["lv"].size()) return "lv has fewer than nn = " + num(nn) + " entries";
    return "";
}

std::string check_simvit(const CallView& c) {
    const long long n = c.ival("n"), neigit = c.ival("neigit");
    std::string r = check_profile("a", c["a"].size(), c.iarr("lvbnda"), c["lvbnda"].size(), n, c.ival("ibda"));
    if (!r.empty()) return r;
    r = check_profile("b", c["b"].size(), c.iarr("lvbndb"), c["lvbndb"].size(), n, c.ival("ibdb"));
    if (!r.empty()) return r;
    if (c["elam"].size() < neigit) return "elam needs neigit = " + num(neigit) + " entries";
    if (neigit > 0)
        r = check_profile("the projected matrix", neigit * (neigit + 1) / 2, c.iarr("lvtri"), c["lvtri"].size(),
                          neigit, neigit);
    return r;
}

}  // namespace zeft::binding
