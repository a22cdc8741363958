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

/* ---- Chi-square and normal distributions ------------------------------------- */

/* ---- Bias functions and noise identification --------------------------------- */

/*
 * Exponents: mu is the exponent of the Allan variance in tau (-2 white and flicker
 * phase, -1 white frequency, 0 flicker frequency, 1 random-walk frequency, 2
 * flicker-walk frequency, 3 random-run frequency); alpha is the exponent of the
 * fractional-frequency spectrum (2 white phase ... -4 random-run frequency). The
 * functions keep no state, return floats and give exactly -1.0 for a refused
 * argument; NaN arguments are refused.
 */

/*
 * B1(N, mu): expected ratio of the N-sample (standard) variance to the Allan
 * variance for whole-number mu (-2..2) without dead time, in single precision.
 * Returns -1.0 for N <= 1 or mu outside -2..2.
 */
VARNIS_API float CalcBias(int N, int mu);

/*
 * B1(N, r, mu) for any mu in -2..2 and dead-time ratio r = T / tau (its sign is
 * dropped). Closed forms where they exist (N = 2, mu = 2, r = 1 with mu = 1,
 * mu = -1 with r >= 1, mu = -2 with r neither 0 nor 1); otherwise the general sum,
 * with mu = 0 and mu = -2 moved by 0.000001 and r clamped to 0.0001..1e6. Cost: N
 * terms. Returns -1.0 for N <= 1 or mu out of range.
 */
VARNIS_API float CalcBias1(int N, float r, float mu);

/*
 * B2(r, mu): the effect of the dead-time ratio r (sign dropped) on the Allan
 * variance, mu in -2..2. B2 = 0 at r = 0 and 1 at r = 1. Returns -1.0 for mu out of
 * range.
 */
VARNIS_API float CalcBias2(float r, float mu);

/*
 * B3(2, N, r, mu): the effect of averaging N adjacent measurements (sign of N
 * dropped) with dead-time ratio r on the Allan variance, mu in -2..2. Returns 1.0 for
 * r = 1, N = 1 or mu = 2, and N for mu = -2. Cost: N terms. Returns -1.0 for N = 0 or
 * mu out of range.
 */
VARNIS_API float CalcBias3(int N, float r, float mu);

/*
 * Expected value of the frequency-as-phase B1 (what CalcStarB1 measures) for N
 * samples and mu in -1..3. Returns -1.0 for N < 2 or mu outside -1..3.
 */
VARNIS_API float CalcHadamardB1(int N, int mu);

/*
 * R(n): expected ratio of the modified to the plain Allan variance at averaging
 * factor n (sign dropped) for alpha in 2..-2. b is the bandwidth factor
 * 2 pi fh tau0 (fh the measurement bandwidth in hertz), used for alpha = 1 only,
 * where it must be positive; there n above 100 uses a closed approximation and the
 * sum is single precision. Returns 1.0 for n = 1 (any alpha), -1.0 for n = 0, alpha
 * out of range or (alpha = 1) b not positive.
 */
VARNIS_API float CalcRatio(int alpha, int n, float b);

/*
 * Dominant power-law noise (alpha) from a measured statistic x, by the variance kind:
 * kinds 0, 1, 6: x = standard / Allan variance over N samples (B1 test; returns -3
 *   .. 1, the two phase noises both as 1);
 * kinds 2, 3, 7, 8: x = modified / Allan variance at averaging factor n with the
 *   bandwidth factor b of CalcRatio, which must be positive (returns -2 .. 2; always
 *   0 for n = 1);
 * kinds 4, 5, 9: x = CalcStarB1 over N averages (returns -4 .. 1).
 * Each boundary is the geometric mean of neighbouring expected values (the first of
 * the B1 test their arithmetic mean); the most divergent noise is tested first. A kind
 * outside 0..9 returns 0 (white frequency). There is no failure value.
 */
VARNIS_API int NoiseID(int N, int kind, int n, float b, float x);

/* ---- Domain conversion ------------------------------------------------------- */

/*
 * Measure codes (type): 1 S_y(f) (1/Hz), 2 S_x(f) (s^2/Hz), 3 S_phi(f) (rad^2/Hz) at
 * carrier nu0, 4 script-L(f) (dBc/Hz), 5 Allan deviation sigma_y(tau), 6 modified
 * Allan deviation, 7 time deviation (s). alpha: 2 white phase, 1 flicker phase,
 * 0 white frequency, -1 flicker frequency, -2 random-walk frequency. tau in seconds,
 * f the Fourier frequency, nu0 the carrier and fh the measurement bandwidth in hertz;
 * n the averaging factor of types 6 and 7. All of them are checked for every type.
 * Both keep no state and return 1 on success, -1 on refusal with out unchanged.
 */

/*
 * From the level h of S_y(f) = h f^alpha to the measure type. Refused: h exactly 0;
 * tau, f, nu0 or fh not positive; type outside 1..7, alpha outside -2..2, n < 1;
 * types 6 and 7 with tau / n below 1; a time-domain type with flicker phase noise where
 * 2 pi fh tau leaves no positive Allan variance; a result that is not finite in single
 * precision (e.g. a negative h under a square root or logarithm).
 */
VARNIS_API int ConvDomain(float h, float *out, float tau, float f, float nu0, float fh,
                          int type, int alpha, int n);

/*
 * From a measured value X of the measure type to the level h_alpha (the inverse of
 * ConvDomain). Refused as ConvDomain, with X exactly 0 in place of h and without the
 * tau / n check; X may be negative (a level in dB).
 */
VARNIS_API int CalcDomain(float *out, float X, float tau, float f, float nu0, float fh,
                          int type, int alpha, int n);

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
