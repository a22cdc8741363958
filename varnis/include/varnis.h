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

/* ---- Time interval error ----------------------------------------------------- */

/* ---- Total variance family --------------------------------------------------- */

/* ---- Equivalent degrees of freedom ------------------------------------------- */

/*
 * Equivalent degrees of freedom of the Allan variance for the power-law noise alpha
 * (frequency-spectrum exponent: 2 white phase, 1 flicker phase, 0 white frequency,
 * -1 flicker frequency, -2 random-walk frequency), from n data points at averaging
 * factor m (the magnitudes of n and m are used). Returns -1.0 for n or m zero, alpha
 * outside -2..2, alpha 2 with n equal to m, alpha 1 with n 1 or a negative logarithm
 * product, and alpha -2 with n 3. Other small n give whatever the formula gives.
 */
VARNIS_API float CalcDegFree(int alpha, int n, int m);

/*
 * Equivalent degrees of freedom by a two-coefficient table: beta is the phase-spectrum
 * exponent (0 white phase ... -4 random-walk frequency), m the averaging factor (every
 * m from 3 on shares one column), n the number of data points. EDF = A r / (1 - B / r)
 * with r = n / m. Returns -1.0 for beta outside -4..0 or m below 1.
 */
VARNIS_API float EDF(int beta, int m, int n);

/*
 * Equivalent degrees of freedom of the Hadamard variance from n data points at
 * averaging factor m, for the phase-spectrum exponent beta (-2 white frequency ...
 * -6 random-run frequency), by a sum over the third-difference kernel (at most 100
 * terms; a closed-form shortcut for long records). Returns -1.0 for beta outside
 * -6..-2, m below 1, or n <= 3m.
 */
VARNIS_API float HadamardEDF(int n, int m, int beta);

/* ---- Chi-square and normal distributions ------------------------------------- */

/*
 * Standard normal cumulative probability P(Z < z), by a polynomial approximation
 * accurate to single precision. Exactly 0.5 at z = 0, 1.0 for z >= 6, 0.0 for z <= -6.
 */
VARNIS_API float CalcNormalProb(float z);

/*
 * Upper tail P(X > x) of the chi-square distribution with n degrees of freedom, n the
 * integer part of df (df itself sets the length of the finite sum). 1.0 at x = 0.
 * Returns -1.0 for x < 0, df below 1, a NaN argument, or both x and df above about
 * 2e7 (the finite sum would take more than 1e7 terms). Cost: at most about
 * min(df, x) / 2 terms.
 */
VARNIS_API float CalcChiSqrProb(float x, float df);

/*
 * Chi-square value x with upper tail P(X > x) = p for df degrees of freedom (df need
 * not be an integer). For df > 100 by the Wilson-Hilferty approximation; otherwise by
 * a search on the exact distribution to a relative error of 1e-4 in the tail, bounded
 * at 1000 steps. Returns -1.0 for p <= 0.00001, p >= 1, and df not a positive finite
 * number.
 */
VARNIS_API float CalcInvChiSqr(float p, float df);

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
