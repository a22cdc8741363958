// Three-cornered hat: the variance of each of three clocks from the variances of their
// three pairwise comparisons. With independent clocks V_AB = V_A + V_B and so on, so
// each clock's variance is half the sum of its two pairs less the third.
#include "core/data_vector.h"
#include "varnisx.h"

namespace {

void quiet_progress(int, const char*) {}

// The chosen variance of one pairwise record; the routine's count, or -1.
int pair_variance(const double* data, double tau0, int m, int kind, double* variance) {
    double deviation = 0.0;
    int n = -1;
    switch (kind) {
        case VARNISX_ALLAN:
            n = CalcPhaseOverlapSigma(data, &deviation, tau0, m);
            break;
        case VARNISX_MODIFIED_ALLAN: {
            const int no_stop = 0;
            n = CalcPhaseModSigma(data, &deviation, m * tau0, m, &no_stop, 0, quiet_progress);
            break;
        }
        case VARNISX_HADAMARD:
            n = CalcPhaseOverlapHadamardDev(data, &deviation, tau0, m);
            break;
        case VARNISX_PARABOLIC:
            n = CalcParabolicDev(data, &deviation, tau0, m);
            break;
        case VARNISX_THEO1:
            n = CalcTheo1Dev(data, &deviation, tau0, m);
            break;
        default:
            return -1;
    }
    if (n > 0) *variance = deviation * deviation;
    return n;
}

}  // namespace

extern "C" VARNISX_API int CalcThreeCorneredHat(const double* ab, const double* bc,
                                                const double* ca, double tau0, int m, int kind,
                                                double* variances, double* pairs) {
    if (variances == nullptr) return -1;
    double v_ab = 0.0, v_bc = 0.0, v_ca = 0.0;
    const int n_ab = pair_variance(ab, tau0, m, kind, &v_ab);
    const int n_bc = pair_variance(bc, tau0, m, kind, &v_bc);
    const int n_ca = pair_variance(ca, tau0, m, kind, &v_ca);
    if (n_ab <= 0 || n_bc <= 0 || n_ca <= 0) return -1;
    variances[0] = 0.5 * (v_ab + v_ca - v_bc);
    variances[1] = 0.5 * (v_ab + v_bc - v_ca);
    variances[2] = 0.5 * (v_bc + v_ca - v_ab);
    if (pairs != nullptr) {
        pairs[0] = v_ab;
        pairs[1] = v_bc;
        pairs[2] = v_ca;
    }
    int smallest = n_ab < n_bc ? n_ab : n_bc;
    return smallest < n_ca ? smallest : n_ca;
}
