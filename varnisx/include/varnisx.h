/**
 * \file varnisx.h
 * \brief VarnisX: the companion library of Varnis, with statistics beyond its 92
 * exports: Theo1, bias-removed Theo1 (TheoBR) and TheoH; the parabolic deviation;
 * the three-cornered hat; the dynamic Allan deviation; noise identification by the
 * lag-1 autocorrelation.
 *
 * For the developers of this library: every export needs its doc comment, a block
 * opening with two stars in front of the declaration, inside its family's group. The
 * reference (./run.sh docs) is built from this header as from varnis.h, and a test
 * fails when an export is left without documentation.
 *
 * Conventions are those of varnis.h: plain C functions over caller-owned data vectors
 * (element [0] the number of samples N, [1] and [2] the first and last 1-based sample
 * of the analysis window, sample k at element [k + 2]); phase data in seconds; an int
 * count (> 0) on success or a negative code (-1: refused argument, window without a
 * usable term, exhausted memory); results through caller-owned out-parameters,
 * written only on success unless an entry says otherwise. A header that is not a
 * usable window, and a null pointer where an array is needed, are refused with -1
 * before any sample is read. Every entry states how it treats a sample of exactly
 * 0.0 (a gap in the Varnis convention). Long calculations take a stop flag (pointer to
 * a caller-owned int, may be null, read after each outer step; nonzero ends the call
 * with the rows finished so far) and a progress flag with a VarnisProgressCallback:
 * with the flag set, (0, title) at the start, (percent, title) about every percent,
 * (0, "") at the end; with the flag at 0 the callback is never called and may be null.
 *
 * The library keeps no state: every export may run on several threads at once, on
 * the same or on different data. It calls the exports of Varnis (libvarnis) and
 * needs it at run time; Varnis never calls it.
 *
 * This header is valid C99 and C++.
 */
#ifndef VARNISX_H
#define VARNISX_H

#include "varnis.h"

#if defined(_WIN32)
#  if defined(VARNISX_BUILDING)
#    define VARNISX_API __declspec(dllexport)
#  else
#    define VARNISX_API __declspec(dllimport)
#  endif
#else
#  define VARNISX_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Presence check ---------------------------------------------------------- */
/** \defgroup x_presence Presence check (VarnisX)
 * @{ */

/** Returns 200 and does nothing else: lets a caller check that VarnisX loaded. */
VARNISX_API int CheckVarnisX(void);

/** @} */

/* ---- Theo1, TheoBR and TheoH ------------------------------------------------- */
/** \defgroup theo Theo1, TheoBR and TheoH
 *
 * Theo1 at an even averaging factor m (10 <= m <= M - 1, M the number of samples in
 * the window) stands for the averaging time tau = 0.75 m tau0. With x_1 .. x_M the
 * window's phase samples, n = M - m and h = m / 2,
 *
 *     Theo1^2 = sum_{i=1}^{n} sum_{d=0}^{h-1} [(x_i - x_{i-d+h}) + (x_{i+m} - x_{i+d+h})]^2
 *               / (h - d)  /  (0.75 n (m tau0)^2).
 *
 * Gaps: a 0.0 strictly inside the window is a gap and is bridged by a straight line
 * between the nearest readings on either side before the calculation (the first and
 * last samples of the window are readings even when they are 0.0), so every one of
 * the n windows counts. Theo1 does not change when a straight line is added to the
 * phase, so the calculation starts from the first differences of the phase less
 * their mean: a record with a large time or frequency offset loses no accuracy. A
 * sweep also takes out the record's least-squares parabola (a frequency drift) and
 * adds its exact share back, so a drift far above the noise costs no accuracy either.
 *
 * Cost: a single factor takes about n h operations. A sweep shares its work between
 * factors: one pass over the record per lag L = 1 .. largest factor, about
 * M * (largest factor) operations for the whole sweep, whatever the number of factors
 * (each factor adds a few operations per lag). It takes about M + M / 16 doubles of
 * scratch, released before it returns.
 *
 * TheoBR removes the bias of Theo1 for the record at hand: it is Theo1 times the mean,
 * over the factor pairs of the published bias correction, of the ratio of the
 * overlapping Allan variance (Varnis CalcPhaseOverlapSigma) to Theo1 at the same
 * averaging time: Allan factor 9 + 3 i against Theo1 factor 12 + 4 i (both at
 * tau = (9 + 3 i) tau0), i = 0 .. k, k = floor(0.1 M / 3 - 3), so that the Allan
 * factors reach about a tenth of the record. It needs M >= 90 (k >= 0).
 *
 * TheoH is the overlapping Allan deviation up to a switch-over factor (by default a
 * tenth of the record) and TheoBR beyond it.
 * @{ */

/**
 * Theo1 deviation of phase data at the even averaging factor m (averaging time
 * 0.75 m tau0; tau0 the sampling interval in seconds). Gaps bridged, see the group.
 * Returns n = M - m, the number of windows, or -1 (tau0 not positive, m odd, below 10
 * or above M - 1, exhausted memory). Cost about n m / 2 operations; no progress, no
 * stop: sweeps should use CalcTheo1Sweep, which shares its work between factors.
 */
VARNISX_API int CalcTheo1Dev(const double *data, double *deviation, double tau0, int m);

/**
 * Theo1 deviations of phase data at count even averaging factors (strictly
 * increasing, each 10 <= m <= M - 1): deviations[r] for factors[r], at averaging time
 * 0.75 factors[r] tau0; windows (may be null) receives M - factors[r]. Gaps bridged,
 * see the group.
 * Progress title "Calculating Theo1"; the stop flag is read after each lag (or each
 * factor, when the direct sum is the cheaper way): a stopped call has finished the
 * first r factors, writes those rows only and returns r.
 * Returns the number of rows written (count unless stopped), or -1 (null arrays,
 * count < 1, tau0 not positive, a factor outside the rules above, exhausted memory).
 */
VARNISX_API int CalcTheo1Sweep(const double *data, double tau0, const int *factors, int count,
                               double *deviations, int *windows, const int *stop,
                               int progress, VarnisProgressCallback callback);

/**
 * The bias-removal ratio of TheoBR for this record: the mean over i = 0 .. k of
 * AVAR(9 + 3 i) / Theo1^2(12 + 4 i) (see the group; pairs in which either statistic
 * fails, for instance the Allan variance on a window full of gaps, are left out).
 * TheoBR^2 = ratio * Theo1^2. The ratio does not depend on tau0.
 * Progress title "Calculating TheoBR"; a stopped call writes nothing and returns 0.
 * Returns the number of pairs used, or -1 (M < 90, no usable pair, exhausted memory).
 * Cost: one Theo1 sweep up to a factor of about 0.13 M (about 0.13 M^2 operations)
 * and k + 1 Allan deviations.
 */
VARNISX_API int CalcTheoBRRatio(const double *data, double *ratio, const int *stop,
                                int progress, VarnisProgressCallback callback);

/**
 * TheoBR deviations at the Theo1 factors of CalcTheo1Sweep (same rules, rows and
 * windows): sqrt(ratio) times Theo1, with the ratio of CalcTheoBRRatio, computed in
 * the same passes as the requested factors. ratio (may be null) receives the ratio.
 * Progress title "Calculating TheoBR"; a stopped call writes nothing and returns 0.
 * Returns count, or -1 (the refusals of CalcTheo1Sweep and of CalcTheoBRRatio).
 */
VARNISX_API int CalcTheoBRSweep(const double *data, double tau0, const int *factors, int count,
                                double *deviations, int *windows, double *ratio,
                                const int *stop, int progress, VarnisProgressCallback callback);

/**
 * TheoH deviations of phase data at count averaging times given in sampling intervals
 * (afs[r] = tau / tau0, strictly increasing whole numbers >= 1). A row with
 * afs[r] <= switchFactor is the overlapping Allan deviation at factor afs[r]
 * (Varnis CalcPhaseOverlapSigma and its gap rules; needs afs[r] <= M / 2); a row
 * beyond it is TheoBR at the even Theo1 factor m nearest to 4 afs[r] / 3
 * (m = 2 * floor(2 afs[r] / 3 + 0.5), which must lie in 10 .. M - 1), whose averaging
 * time 0.75 m tau0 may differ from afs[r] tau0 by up to 0.75 tau0.
 * switchFactor <= 0 takes the default, floor(M / 10).
 * Per row: deviations[r]; taus (may be null) the averaging time of the row in seconds;
 * terms (may be null) the Allan terms or Theo1 windows behind it; kinds (may be null)
 * 0 for an Allan row, 1 for a TheoBR row. An Allan row without a usable term gets NaN
 * and 0 terms.
 * Progress title "Calculating TheoH", reported while the Theo1 sums of the TheoBR rows
 * are formed (a sweep of Allan rows only makes no progress call); a stopped call
 * writes nothing and returns 0.
 * Returns count, or -1 (null arrays, count < 1, tau0 not positive, afs not strictly
 * increasing or below 1, a row outside the limits above, M < 90 when a TheoBR row is
 * asked for, exhausted memory).
 */
VARNISX_API int CalcTheoHSweep(const double *data, double tau0, const int *afs, int count,
                               int switchFactor, double *deviations, double *taus, int *terms,
                               int *kinds, const int *stop, int progress,
                               VarnisProgressCallback callback);

/** @} */

/* ---- Parabolic deviation ----------------------------------------------------- */
/** \defgroup parabolic Parabolic deviation
 * @{ */

/**
 * Parabolic deviation (PDEV) of phase data at averaging factor m (averaging time
 * m tau0), the deviation of counters that average by linear regression. m = 1 gives
 * the overlapping Allan deviation (Varnis CalcPhaseOverlapSigma, with its rules and
 * count). For m > 1, with M' = M - 2m terms i = 1 .. M' (window-relative),
 *
 *     PDEV^2 = 72 sum_i [sum_{k=0}^{m-1} ((m-1)/2 - k)(x_{i+k} - x_{i+k+m})]^2
 *              / (n m^4 (m tau0)^2),
 *
 * n the number of terms used (M' without gaps). Gaps: a term is left out when one of
 * its samples x_i .. x_{i+2m-1} is 0.0, except sample 1 and sample N of the vector,
 * which are readings. Each term is updated from the previous one in a few operations
 * (sums of differences, recomputed at fixed starts so rounding cannot accumulate):
 * about M operations for any m.
 * Returns n, or -1 (tau0 not positive, m < 1, M' < 1, no usable term).
 */
VARNISX_API int CalcParabolicDev(const double *data, double *deviation, double tau0, int m);

/** @} */

/* ---- Three-cornered hat ------------------------------------------------------ */
/** \defgroup three_cornered_hat Three-cornered hat
 * @{ */

/** Overlapping Allan variance (Varnis CalcPhaseOverlapSigma). */
#define VARNISX_ALLAN 0
/** Modified Allan variance (Varnis CalcPhaseModSigma, gaps honoured). */
#define VARNISX_MODIFIED_ALLAN 1
/** Overlapping Hadamard variance (Varnis CalcPhaseOverlapHadamardDev). */
#define VARNISX_HADAMARD 2
/** Parabolic variance (CalcParabolicDev). */
#define VARNISX_PARABOLIC 3
/** Theo1 variance at the even factor m (CalcTheo1Dev; tau = 0.75 m tau0). */
#define VARNISX_THEO1 4

/**
 * The instability of each of three clocks A, B and C from their three pairwise phase
 * records ab (A - B), bc (B - C) and ca (C - A), with no reference clock: for the
 * variance chosen by kind (VARNISX_ALLAN ... VARNISX_THEO1) at averaging factor m,
 *
 *     V_A = (V_AB + V_CA - V_BC) / 2,  V_B = (V_AB + V_BC - V_CA) / 2,
 *     V_C = (V_BC + V_CA - V_AB) / 2,
 *
 * written to variances[0..2]. A clock much more stable than the others can come out
 * negative: the value is written as it is (take the deviation only where it is
 * positive). pairs (may be null) receives V_AB, V_BC and V_CA. Each pairwise variance
 * follows its routine's gap rules; the three records need not have the same length.
 * Returns the smallest of the three term counts, or -1 (kind unknown, variances null,
 * or a refusal of the variance routine for any of the three records).
 */
VARNISX_API int CalcThreeCorneredHat(const double *ab, const double *bc, const double *ca,
                                     double tau0, int m, int kind, double *variances,
                                     double *pairs);

/** @} */

/* ---- Dynamic Allan deviation ------------------------------------------------- */
/** \defgroup dynamic_allan Dynamic Allan deviation
 * @{ */

/**
 * Dynamic Allan deviation: the overlapping Allan deviation of phase data in a window
 * of `window` samples sliding along the record in steps of `step` samples, at count
 * averaging factors. Window r (0-based) holds the samples first + r step ..
 * first + r step + window - 1; there are W = (M - window) / step + 1 windows (integer
 * division). deviations is a row-major matrix of W rows (windows) by count columns
 * (factors): element [r * count + c] is the deviation of window r at factors[c], with
 * the terms x[k] - 2 x[k+m] + x[k+2m] of that window. terms (may be null, same shape)
 * receives the number of terms behind each element. Gaps: a term with a 0.0 sample is
 * left out, except at sample 1 and sample N of the vector, which are readings; an
 * element without a usable term is NaN with 0 terms. Without gaps each element equals
 * CalcPhaseOverlapSigma on that window.
 * Cost: about M operations per factor, whatever window and step (sums over each
 * window from compensated running sums).
 * Progress title "Calculating Dynamic Allan Deviation"; the stop flag is read after
 * each factor; a stopped call has filled the first columns only (the others are
 * untouched) and returns 0.
 * Returns W, or -1 (null arrays, count < 1, tau0 not positive, step < 1, window
 * larger than M, a factor below 1 or with 2 m >= window, W larger than capacity,
 * exhausted memory).
 */
VARNISX_API int CalcDynamicAllanDev(const double *data, double tau0, int window, int step,
                                    const int *factors, int count, double *deviations,
                                    int *terms, int capacity, const int *stop, int progress,
                                    VarnisProgressCallback callback);

/** @} */

/* ---- Noise identification by the lag-1 autocorrelation ----------------------- */
/** \defgroup lag1_noise_id Noise identification by the lag-1 autocorrelation
 * @{ */

/**
 * The power-law noise type alpha (2 white phase, 1 flicker phase, 0 white frequency,
 * -1 flicker frequency, -2 random-walk frequency, -3 flicker-walk, -4 random-run) at
 * averaging factor m, from the lag-1 autocorrelation; it works at every factor that
 * leaves at least 32 points. dataType 0: phase data, decimated by m (every m-th
 * sample from the window's first); 1: frequency data, averaged over consecutive
 * blocks of m samples; 2: phase data, read as the frequency averaged over its blocks
 * of m intervals (the difference of the phase at each block's two ends; as dataType 1
 * on the phase's frequency, without converting it). The series is then differenced
 * until delta = r1 / (1 + r1) < 0.25, at most twice (r1 its lag-1 autocorrelation
 * about its mean). A series of fractionally integrated noise of order delta_total has
 * r1 = delta / (1 - delta) after its d differences, delta = delta_total - d, so the
 * estimate delta + d stands for S(f) ~ f^(-2 (delta + d)): alpha = 2 - 2 (delta + d) for
 * phase data (dataType 0), -2 (delta + d) for frequency data (1 and 2). estimate
 * (may be null) receives that value; alpha receives it rounded to the nearest integer
 * (halves upwards) and limited to -4 .. 2.
 * Decimation keeps the noise a record has at the averaging time; noise that extends to
 * the sampling rate folds into it: flicker phase noise decimated by 16 or more reads
 * between 1 and 2 (its octaves above the new Nyquist frequency add white phase noise),
 * as the Allan deviation cannot tell the two apart either.
 * Gaps: 0.0 samples are gaps (phase data: except sample 1 and sample N of the vector);
 * a decimated gap stays a gap, a block of frequency data averages its nonzero samples
 * (a block of gaps is a gap), a block of phase data with a gap at either end is a gap;
 * differences with a gap are gaps; r1 uses the pairs without a gap.
 * Needs no memory of the record's size: the series is computed again on each pass.
 * Returns the number of points after decimation or averaging, or -1 (dataType not 0,
 * 1 or 2, m < 1, fewer than 32 points or fewer than 32 without a gap, a series without
 * variation).
 */
VARNISX_API int CalcLag1NoiseID(const double *data, int dataType, int m, int *alpha,
                                double *estimate);

/** @} */

#ifdef __cplusplus
}
#endif

#endif /* VARNISX_H */
