/*
 * Varnis: frequency-stability calculations for analysis programs.
 *
 * Every export is a plain C function over caller-owned arrays. Data are passed as a
 * "data vector": an array of doubles whose element [0] holds the number of samples N,
 * [1] and [2] the first and last 1-based sample of the analysis window, and sample k
 * (1 <= k <= N) at element [k + 2]. A sample of exactly 0.0 marks a gap (a missing
 * measurement); each routine documents how it treats gaps. Phase data are in seconds,
 * frequency data are fractional frequency.
 *
 * Return convention: a count (> 0) of the terms, windows, samples or rows used on
 * success; -1 for a refused argument, a window without a usable term, or exhausted
 * memory; -2 from the total variances when the estimate is not positive. Results are
 * written through out-parameters, in general only on success.
 *
 * A header that is not a usable window (count, first or last not finite, first < 1,
 * last > count, first > last) is refused before any sample is read. A null pointer for
 * the data vector or an out-parameter is refused as well.
 *
 * Threads: every routine that keeps no state may run on several threads at once on
 * different data. GenNoise keeps its generator state between calls (guarded by a lock);
 * SpectrumCalc and MultiTaperSpectrumCalc must not run on two threads at once.
 *
 * This header is valid C99 and C++.
 */
#ifndef VARNIS_H
#define VARNIS_H

#if defined(_WIN32)
#  if defined(VARNIS_BUILDING)
#    define VARNIS_API __declspec(dllexport)
#  else
#    define VARNIS_API __declspec(dllimport)
#  endif
#else
#  define VARNIS_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Progress callback: called on the caller's thread with (0, title) when a long
 * calculation starts, (percent, title) while it runs and (0, "") when it ends.
 * The percentage is approximate and may end slightly above 100.
 */
typedef void (*VarnisProgressCallback)(int percent, const char *text);

/*
 * Stability table: one row of results per averaging factor, owned and sized by the
 * caller. The library writes only count, numPoints, value and avgFactor; the other
 * eight members belong to the caller and are never read or written. Row r (r >= 1)
 * is stored at element r - 1 and count is set to r as each row is stored.
 */
typedef struct VarnisStabilityTable {
    int count;            /* number of rows filled */
    void *callerMember2;  /* caller's column, untouched */
    void *callerMember3;  /* caller's column, untouched */
    float *numPoints;     /* per row: number of analysis points behind the value */
    float *value;         /* per row: the computed statistic (for MTIE: seconds) */
    void *callerMember6;  /* caller's columns 6 to 11, untouched */
    void *callerMember7;
    void *callerMember8;
    void *callerMember9;
    void *callerMember10;
    void *callerMember11;
    int *avgFactor;       /* per row: the averaging factor, in sampling intervals */
} VarnisStabilityTable;

/* ---- Presence check ---------------------------------------------------------- */

/* Returns 200 and does nothing else: lets a caller check that the library loaded. */
VARNIS_API int CheckVarnis(void);

/* ---- Allan deviation family -------------------------------------------------- */

/*
 * Allan deviation of phase data (seconds) at the data's own spacing tau (seconds).
 * Uses every triple x[k], x[k+1], x[k+2] of the window without a gap; the first
 * triple is also used when only x[first] is 0.0, the last when only x[last] is 0.0.
 * Returns the number of triples used, or -1 (tau not positive, no usable triple).
 */
VARNIS_API int CalcPhaseSigma(const double *data, double *sigma, double tau);

/* Allan deviation of frequency data: pairs of consecutive nonzero samples. */
VARNIS_API int CalcFreqSigma(const double *data, double *sigma);

/*
 * Overlapping Allan deviation of phase data at averaging time m * tau0. Terms
 * x[k], x[k+m], x[k+2m] with the same gap and end rules as CalcPhaseSigma.
 * Returns the number of terms used, or -1 (m < 1, fewer than 2m samples, tau0 not
 * positive, no usable term).
 */
VARNIS_API int CalcPhaseOverlapSigma(const double *data, double *sigma, double tau0, int m);

/*
 * Overlapping Allan deviation of frequency data at averaging factor m. Pairs with a
 * gap are left out of each outer term, but every one of the M - 2m + 1 outer terms
 * is counted, so gaps lower the estimate. Returns M - 2m + 1, or -1.
 */
VARNIS_API int CalcFreqOverlapSigma(const double *data, double *sigma, int m);

/*
 * Standard deviation of the frequency implied by phase data (first differences
 * divided by tau). Needs at least three usable differences. Returns their number.
 */
VARNIS_API int CalcPhaseStdDev(const double *data, double *deviation, double tau);

/* Sample standard deviation of the nonzero frequency samples (at least two). */
VARNIS_API int CalcFreqStdDev(const double *data, double *deviation);

/*
 * Mean of the window. mode != 0 (frequency data): every 0.0 is a gap. mode == 0
 * (phase data): a 0.0 is a gap except at sample 1 and at sample N of the vector.
 * Returns the number of values averaged, or -1 when there is none.
 */
VARNIS_API int CalcMean(const double *data, double *mean, int mode);

/* Root-sum-square of five deviations. Returns -1.0 for a null pointer. */
VARNIS_API float AddSigma(const float *deviations);

/* ---- Modified Allan and time deviation --------------------------------------- */

/* ---- Hadamard deviation family ----------------------------------------------- */

/*
 * Hadamard deviation of phase data (seconds) at the data's own spacing tau (seconds):
 * sqrt(sum d^2 / (6 n tau^2)) over the third differences
 * d = x[k+3] - 3 x[k+2] + 3 x[k+1] - x[k], k = first .. last - 3. A term is used when
 * its four samples are nonzero; the window's first term also when only x[first] is
 * 0.0, its last term also when only x[last] is 0.0. Insensitive to a linear frequency
 * drift. Returns the number of terms used, or -1 (tau not positive, no usable term;
 * sigma is then left as it was). Cost: about M operations.
 */
VARNIS_API int CalcPhaseHadamardDev(const double *data, double *sigma, double tau);

/* A second entry to CalcPhaseHadamardDev: the same arguments and the same result. */
VARNIS_API int CalcHadamardDev(const double *data, double *sigma, double tau);

/*
 * Hadamard deviation of fractional-frequency data at the data's own spacing:
 * sqrt(sum d^2 / (6 n)) over d = y[k] - 2 y[k+1] + y[k+2], k = first .. last - 2,
 * using only terms whose three samples are nonzero. Returns the number of terms used,
 * or -1 (no usable term).
 */
VARNIS_API int CalcFreqHadamardDev(const double *data, double *sigma);

/*
 * Overlapping Hadamard deviation of phase data at averaging time m * tau0 (tau0 the
 * sampling interval in seconds): sqrt(sum d^2 / (6 m^2 tau0^2 n)) over
 * d = x[k+3m] - 3 x[k+2m] + 3 x[k+m] - x[k], k = first .. last - 3m, with the gap
 * and end rules of CalcPhaseHadamardDev. Returns the number of terms used, or -1
 * (tau0 not positive, m < 1, a window of 3m samples or fewer, no usable term).
 * Cost: about M operations.
 */
VARNIS_API int CalcPhaseOverlapHadamardDev(const double *data, double *sigma, double tau0,
                                           int m);

/*
 * Overlapping Hadamard deviation of fractional-frequency data at averaging factor m:
 * sqrt(sum T^2 / (6 m^2 n)) over the M + 1 - 3m outer terms
 * T(s) = sum over i = s .. s+m-1 of (y[i] - 2 y[i+m] + y[i+2m]), where each i with a
 * 0.0 among its three samples is left out. A term whose T is exactly 0.0 (every i left
 * out, or only zero differences) is not counted. Returns the number of terms counted,
 * or -1 (m < 1, fewer than 3m samples, no counted term). Cost: about M operations
 * for every m.
 */
VARNIS_API int CalcFreqOverlapHadamardDev(const double *data, double *sigma, int m);

/* ---- Time interval error ----------------------------------------------------- */

/* ---- Total variance family --------------------------------------------------- */

/* ---- Equivalent degrees of freedom ------------------------------------------- */

/* ---- Chi-square and normal distributions ------------------------------------- */

/* ---- Bias functions and noise identification --------------------------------- */

/* ---- Domain conversion ------------------------------------------------------- */

/* ---- Noise generation -------------------------------------------------------- */

/* ---- Periodogram spectrum ---------------------------------------------------- */

/* ---- Phase and frequency conversion and averaging ---------------------------- */

/* ---- Drift and offset estimation and removal --------------------------------- */

/* ---- Gaps, outliers and robust statistics ------------------------------------ */

/* ---- Multitaper spectrum ----------------------------------------------------- */

/* ---- Plot scaling ------------------------------------------------------------ */

/* ---- Date and time conversion ------------------------------------------------ */

#ifdef __cplusplus
}
#endif

#endif /* VARNIS_H */
