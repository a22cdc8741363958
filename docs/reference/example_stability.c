/* Allan and modified Allan deviation of a short phase record with one gap. */
#include <stdio.h>
#include <varnis.h>

/* Called with (0, title), (percent, title) ... and (0, "") at the end. */
static void show_progress(int percent, const char *text)
{
    if (percent >= 100)
        fprintf(stderr, "%s: done\n", text);
}

int main(void)
{
    /* Header: 12 samples, window 1 .. 12. Phase in seconds, sampled every second;
       the 0.0 at sample 6 is a missing reading. */
    double phase[3 + 12] = {12, 1, 12,
                            1.0e-9, 2.1e-9, 2.9e-9, 4.2e-9, 5.0e-9, 0.0,
                            7.1e-9, 7.9e-9, 9.2e-9, 9.8e-9, 11.1e-9, 12.0e-9};
    const double tau0 = 1.0;
    int stop = 0; /* another thread may set it to end a long calculation */

    for (int m = 1; m <= 3; ++m) {
        double adev = 0.0, mdev = 0.0;
        int n = CalcPhaseOverlapSigma(phase, &adev, tau0, m);
        if (n < 0) {
            printf("m = %d: refused (%d)\n", m, n);
            return 1;
        }
        /* Progress flag 0: no reports, but the closing call (0, "") is made in any
           case, so a valid callback is passed. */
        int nm = CalcPhaseModSigma(phase, &mdev, m * tau0, m, &stop, 0, show_progress);
        if (nm < 0) {
            printf("m = %d: modified deviation refused (%d)\n", m, nm);
            return 1;
        }
        printf("tau = %g s: ADEV %.3e from %d terms, MDEV %.3e from %d terms\n",
               m * tau0, adev, n, mdev, nm);
    }
    return 0;
}
