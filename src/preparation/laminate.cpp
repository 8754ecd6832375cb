// Ply rotation and laminate stiffness.
#include "preparation/laminate.hpp"

#include <cmath>
#include <vector>

#include "io/units.hpp"
#include "state/array.hpp"
#include "state/errors.hpp"

namespace zeft {

void trnpsi(int& m, float& psi, float* a, float* b, int& ier) {
    ier = err::ok;
    if (m != 2 && m != 3) {
        ier = err::trnpsi::bad_order;
        io::writef(io::stdout_unit, "(2X,'ERROR NO. ',I2,' IN TRNPSI')", {ier});
        return;
    }
    const float phi = psi * 0.017453292f;
    const float c = std::cos(phi), s = std::sin(phi);

    float t[9];
    const Mat<float> T{t, m};
    if (m == 3) {
        const float cs = c * s;
        T(1, 1) = c * c;          T(1, 2) = s * s;          T(1, 3) = cs;
        T(2, 1) = s * s;          T(2, 2) = c * c;          T(2, 3) = -cs;
        T(3, 1) = -2.0f * cs;     T(3, 2) = 2.0f * cs;      T(3, 3) = c * c - s * s;
    } else {
        T(1, 1) = c;  T(1, 2) = s;
        T(2, 1) = -s; T(2, 2) = c;
    }

    // W = A T first, then B = T^T W, each sum in ascending index order.
    float w[9];
    const Mat<float> A{a, m}, B{b, m}, W{w, m};
    for (int j = 1; j <= m; ++j)
        for (int i = 1; i <= m; ++i) {
            float sum = 0.0f;
            for (int k = 1; k <= m; ++k) sum += A(i, k) * T(k, j);
            W(i, j) = sum;
        }
    for (int j = 1; j <= m; ++j)
        for (int i = 1; i <= m; ++i) {
            float sum = 0.0f;
            for (int k = 1; k <= m; ++k) sum += T(k, i) * W(k, j);
            B(i, j) = sum;
        }
}

void abdetc(int& nla, float* thkply, float* angply, float* q, float& thklam, float* aal, float* ddl,
            float* adl, int& ier) {
    ier = err::ok;
    const Vec<float> Q{q};

    // The reduced stiffness divides by E1 and by 1 - nu12^2 E2/E1; refuse a material that
    // makes either vanish rather than fill the laminate with infinities.
    const float poisson_product = Q(3) * Q(3) * Q(2) / (Q(1) != 0.0f ? Q(1) : 1.0f);
    if (Q(1) == 0.0f || 1.0f - poisson_product == 0.0f) {
        ier = err::abdetc::bad_material;
        io::writef(io::stdout_unit, "(2X,'ERROR NO. ',I2,' IN ABDETC')", {ier});
        io::writef(io::stdout_unit, "(2X,'PLY MATERIAL GIVES A SINGULAR REDUCED STIFFNESS:',"
                                    "' E1 = 0 OR NU12**2*E2/E1 = 1')");
        return;
    }

    const Vec<float> tk{thkply}, ang{angply};
    thklam = 0.0f;
    for (int k = 1; k <= nla; ++k) thklam += tk(k);
    std::vector<float> zs(static_cast<std::size_t>(nla > 0 ? nla + 1 : 1));
    const Vec<float> z{zs.data()};
    z(1) = -thklam / 2.0f;
    for (int k = 1; k <= nla; ++k) z(k + 1) = z(k) + tk(k);

    // Reduced stiffness of the ply in its own axes.
    const float d = 1.0f / (1.0f - poisson_product);
    float ql[9] = {};
    const Mat<float> QL{ql, 3};
    QL(1, 1) = Q(1) * d;
    QL(1, 2) = Q(2) * d * Q(3);
    QL(2, 1) = QL(1, 2);
    QL(2, 2) = Q(2) * d;
    QL(3, 3) = Q(4);

    const Mat<float> AA{aal, 3}, DD{ddl, 3}, AD{adl, 3};
    for (int j = 1; j <= 3; ++j)
        for (int i = 1; i <= 3; ++i) AA(i, j) = DD(i, j) = AD(i, j) = 0.0f;

    for (int k = 1; k <= nla; ++k) {
        // Fold the ply angle into [-90, 90]; one correction each way, as the stiffness has
        // period 180 degrees.
        float psi = ang(k);
        if (psi > 90.0f) psi -= 180.0f;
        if (psi < -90.0f) psi += 180.0f;

        float qr[9];
        int order = 3, code = 0;
        trnpsi(order, psi, ql, qr, code);
        if (code != err::ok) {
            ier = err::abdetc::trnpsi_base + code;
            return;
        }

        const Mat<float> QR{qr, 3};
        const float t = tk(k), zk = z(k), zk1 = z(k + 1);
        const float zm = 0.5f * (zk + zk1);
        const float f = (zk * zk + zk1 * (zk + zk1)) / 3.0f;  // (zk1^3 - zk^3) / (3 t)
        for (int j = 1; j <= 3; ++j)
            for (int i = 1; i <= 3; ++i) {
                const float g = QR(i, j) * t;
                AA(i, j) += g;
                AD(i, j) -= g * zm;
                DD(i, j) += g * f;
            }
    }
}

}  // namespace zeft
