/**
 * \file varnis.h
 * \brief Varnis: frequency-stability calculations for analysis programs.
 *
 * For the developers of this library: every export needs its doc comment, a block
 * opening with two stars in front of the declaration, inside its family's group
 * (between the group's opening and closing markers). The reference is built from this
 * header with ./run.sh docs, and a test fails the build of the reference when an
 * export, a type or a member is left without documentation.
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
 * Threads: every routine except GenNoise keeps no state and may run on several threads
 * at once on different data. GenNoise keeps its generator state between calls (guarded
 * by a lock).
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

/**
 * Progress callback: called on the caller's thread with (0, title) when a long
 * calculation starts, (percent, title) while it runs and (0, "") when it ends.
 * The percentage is approximate and may end slightly above 100.
 */
typedef void (*VarnisProgressCallback)(int percent, const char *text);

/**
 * Stability table: one row of results per averaging factor, owned and sized by the
 * caller. The library writes only count, numPoints, value and avgFactor; the other
 * eight members belong to the caller and are never read or written. Row r (r >= 1)
 * is stored at element r - 1 and count is set to r as each row is stored.
 */
typedef struct VarnisStabilityTable {
    int count;            /**< number of rows filled */
    void *callerMember2;  /**< caller's column, untouched */
    void *callerMember3;  /**< caller's column, untouched */
    float *numPoints;     /**< per row: number of analysis points behind the value */
    float *value;         /**< per row: the computed statistic (for MTIE: seconds) */
    void *callerMember6;  /**< caller's columns 6 to 11, untouched */
    void *callerMember7; /**< caller's column, untouched */
    void *callerMember8; /**< caller's column, untouched */
    void *callerMember9; /**< caller's column, untouched */
    void *callerMember10; /**< caller's column, untouched */
    void *callerMember11; /**< caller's column, untouched */
    int *avgFactor;       /**< per row: the averaging factor, in sampling intervals */
} VarnisStabilityTable;

/* ---- Presence check ---------------------------------------------------------- */
/** \defgroup presence Presence check
 * @{ */

/** Returns 200 and does nothing else: lets a caller check that the library loaded. */
VARNIS_API int CheckVarnis(void);

/** @} */

/* ---- Allan deviation family -------------------------------------------------- */
/** \defgroup allan Allan deviation family
 * @{ */

/**
 * Allan deviation of phase data (seconds) at the data's own spacing tau (seconds).
 * Uses every triple x[k], x[k+1], x[k+2] of the window without a gap; the first
 * triple is also used when only x[first] is 0.0, the last when only x[last] is 0.0.
 * Returns the number of triples used, or -1 (tau not positive, no usable triple).
 */
VARNIS_API int CalcPhaseSigma(const double *data, double *sigma, double tau);

/** Allan deviation of frequency data: pairs of consecutive nonzero samples. */
VARNIS_API int CalcFreqSigma(const double *data, double *sigma);

/**
 * Overlapping Allan deviation of phase data at averaging time m * tau0. Terms
 * x[k], x[k+m], x[k+2m] with the same gap and end rules as CalcPhaseSigma.
 * Returns the number of terms used, or -1 (m < 1, fewer than 2m samples, tau0 not
 * positive, no usable term).
 */
VARNIS_API int CalcPhaseOverlapSigma(const double *data, double *sigma, double tau0, int m);

/**
 * Overlapping Allan deviation of frequency data at averaging factor m. Pairs with a
 * gap are left out of each outer term, but every one of the M - 2m + 1 outer terms
 * is counted, so gaps lower the estimate. Returns M - 2m + 1, or -1.
 */
VARNIS_API int CalcFreqOverlapSigma(const double *data, double *sigma, int m);

/**
 * Standard deviation of the frequency implied by phase data (first differences
 * divided by tau). Needs at least three usable differences. Returns their number.
 */
VARNIS_API int CalcPhaseStdDev(const double *data, double *deviation, double tau);

/** Sample standard deviation of the nonzero frequency samples (at least two). */
VARNIS_API int CalcFreqStdDev(const double *data, double *deviation);

/**
 * Mean of the window. mode != 0 (frequency data): every 0.0 is a gap. mode == 0
 * (phase data): a 0.0 is a gap except at sample 1 and at sample N of the vector.
 * Returns the number of values averaged, or -1 when there is none.
 */
VARNIS_API int CalcMean(const double *data, double *mean, int mode);

/** Root-sum-square of five deviations. Returns -1.0 for a null pointer. */
VARNIS_API float AddSigma(const float *deviations);

/** @} */

/* ---- Modified Allan and time deviation --------------------------------------- */
/** \defgroup modified_allan Modified Allan and time deviation
 * @{ */

/**
 * Modified Allan deviation of phase data (seconds), honouring gaps, at averaging factor
 * m and averaging time tau = m * tau0 (seconds): sqrt(sum S^2 / (2 m^2 tau^2 n)) over
 * the outer terms s = first .. last - 3m + 1, where S(s) sums the second differences
 * x[i+2m] - 2 x[i+m] + x[i] of the triples i = s .. s+m-1 whose three samples are
 * nonzero. A 0.0 at the window's first sample (the triple i = first) or at its last
 * sample (the triple i = last - 2m) is taken as a reading; every other 0.0 is a gap. An
 * outer term without a usable triple is left out and not counted.
 * Progress: with progress nonzero, callback(0, "Calculating Mod/Time Sigma (with
 * gaps)") first, then (percent, the same title) after each outer term j that is at
 * least M / 100 terms past the last report, percent = j * 100 / (M - 3m) rounded (100
 * when M = 3m). The stop flag (may be null) is read after each outer term; nonzero
 * ends the calculation with the terms gathered so far. callback(0, "") is made at the
 * end even when progress is 0, so pass a valid callback (null is skipped).
 * Returns n, the number of terms used, or -1 (m < 1, fewer than 3m samples, tau not
 * positive: then no callback is made; no usable term). sigma is written only when n
 * is returned. Cost: about M operations for every m.
 */
VARNIS_API int CalcPhaseModSigma(const double *data, double *sigma, double tau, int m,
                                 const int *stop, int progress,
                                 VarnisProgressCallback callback);

/**
 * Modified Allan deviation of gap-free phase data by a sliding sum: the same terms and
 * normalisation as CalcPhaseModSigma, with every sample a value (0.0 included) and all
 * M - 3m + 1 terms counted. Returns M - 3m + 1, or -1 (m < 1, fewer than 3m samples,
 * tau not positive). Cost: about M operations, no scratch memory.
 */
VARNIS_API int CalcFastModSigma(const double *data, double *sigma, double tau, int m);

/**
 * Modified Allan deviation of gap-free phase data from the running sums of the samples
 * differenced three times at lag m, which are the inner terms S(s): the same result and
 * count as CalcFastModSigma, computed the same way (window sums of second differences,
 * so that a large offset such as 1e-3 s under 1e-12 s of noise costs no precision, as
 * differencing raw running sums would). Returns M - 3m + 1, or -1 (m < 1, fewer than 3m
 * samples, tau not positive). Cost: about M operations, no scratch memory.
 */
VARNIS_API int CalcGreenhallModSigma(const double *data, double *sigma, double tau, int m);

/**
 * Modified Allan deviation of fractional-frequency data, honouring gaps, at averaging
 * factor m: sqrt(sum T^2 / (2 m^2 n)) over the M - 3m + 2 outer terms
 * s = first .. last - 3m + 2, where T(s) sums over i = s .. s+m-1 the mean A(i) of the
 * pair differences y[l+m] - y[l], l = i .. i+m-1, that have no 0.0 (an i without such
 * a pair adds nothing). A term whose T is exactly 0.0 (no usable pair, or only zero
 * differences) is not counted. On the first differences of gap-free phase data divided
 * by tau0 it gives the result and count of the phase routines with tau = m * tau0.
 * Returns n, or -1 (m < 1, fewer than 3m - 1 samples, no counted term, no memory for
 * its scratch of at most M - 2m + 1 values, the means A). Cost: about M operations for
 * every m.
 */
VARNIS_API int CalcFreqModSigma(const double *data, double *sigma, int m);

/** @} */

/* ---- Hadamard deviation family ----------------------------------------------- */
/** \defgroup hadamard Hadamard deviation family
 * @{ */

/**
 * Hadamard deviation of phase data (seconds) at the data's own spacing tau (seconds):
 * sqrt(sum d^2 / (6 n tau^2)) over the third differences
 * d = x[k+3] - 3 x[k+2] + 3 x[k+1] - x[k], k = first .. last - 3. A term is used when
 * its four samples are nonzero; the window's first term also when only x[first] is
 * 0.0, its last term also when only x[last] is 0.0. Insensitive to a linear frequency
 * drift. Returns the number of terms used, or -1 (tau not positive, no usable term;
 * sigma is then left as it was). Cost: about M operations.
 */
VARNIS_API int CalcPhaseHadamardDev(const double *data, double *sigma, double tau);

/** A second entry to CalcPhaseHadamardDev: the same arguments and the same result. */
VARNIS_API int CalcHadamardDev(const double *data, double *sigma, double tau);

/**
 * Hadamard deviation of fractional-frequency data at the data's own spacing:
 * sqrt(sum d^2 / (6 n)) over d = y[k] - 2 y[k+1] + y[k+2], k = first .. last - 2,
 * using only terms whose three samples are nonzero. Returns the number of terms used,
 * or -1 (no usable term).
 */
VARNIS_API int CalcFreqHadamardDev(const double *data, double *sigma);

/**
 * Overlapping Hadamard deviation of phase data at averaging time m * tau0 (tau0 the
 * sampling interval in seconds): sqrt(sum d^2 / (6 m^2 tau0^2 n)) over
 * d = x[k+3m] - 3 x[k+2m] + 3 x[k+m] - x[k], k = first .. last - 3m, with the gap
 * and end rules of CalcPhaseHadamardDev. Returns the number of terms used, or -1
 * (tau0 not positive, m < 1, a window of 3m samples or fewer, no usable term).
 * Cost: about M operations.
 */
VARNIS_API int CalcPhaseOverlapHadamardDev(const double *data, double *sigma, double tau0,
                                           int m);

/**
 * Overlapping Hadamard deviation of fractional-frequency data at averaging factor m:
 * sqrt(sum T^2 / (6 m^2 n)) over the M + 1 - 3m outer terms
 * T(s) = sum over i = s .. s+m-1 of (y[i] - 2 y[i+m] + y[i+2m]), where each i with a
 * 0.0 among its three samples is left out. A term whose T is exactly 0.0 (every i left
 * out, or only zero differences) is not counted. Up to m = 8 each T is summed afresh
 * from its differences (one whose differences cancel exactly is then 0.0 too); from
 * m = 16 to 1024 the differences are cut into blocks of m and each T is the end of one
 * block plus the beginning of the next, each summed difference by difference, so that
 * no rounding is carried from term to term; otherwise (and on records of at most 8m
 * terms) T slides by one i per term. Returns the number of terms counted, or -1 (m < 1,
 * fewer than 3m samples, no counted term). Cost: about M operations for every m.
 */
VARNIS_API int CalcFreqOverlapHadamardDev(const double *data, double *sigma, int m);

/** @} */

/* ---- Time interval error ----------------------------------------------------- */
/** \defgroup time_interval_error Time interval error
 * @{ */

/**
 * Maximum time interval error of phase data (seconds) for windows of span m sampling
 * intervals (m + 1 samples): the largest max - min over the windows starting at
 * s = first .. last - m. Within a window a 0.0 is a gap and ignored, except at sample
 * 1 and at sample N of the vector, where it is a value; a window without a value
 * counts 0. *mtie is set to 0.0 first, so a span that leaves no window (m >= M, or
 * m < 0) gives 0.0.
 * While it runs the routine keeps the window being scanned in the vector's header
 * (elements [1] and [2] hold s and s + m); on every return, also when stopped, it puts
 * back the first and last it began with, as whole numbers. No other thread may use
 * the vector during the call.
 * Progress (flag nonzero): (0, "Calculating MTIE"), then after a window start s that
 * has advanced by at least (last - first - m) / 100 since the last report
 * (percent, "Calculating MTIE") with percent = 100 * s / (last - first - m) rounded
 * (100 when that span is 0), and (0, "") at the end. The stop flag is read after each
 * window; nonzero ends the scan with the windows seen so far.
 * Returns M, the number of samples in the analysis window, however many windows were
 * scanned; -1 (with *mtie = 0.0) for an unusable header or a null mtie.
 * Cost: about M steps, independent of m (running window extremes); m + 1 indices of
 * scratch memory, without which each window is rescanned.
 */
VARNIS_API int CalcMTIE(double *data, double *mtie, int m, int *stop, int progress,
                        VarnisProgressCallback callback);

/**
 * MTIE of phase data at the spans m = 2^i - 1, i = 1 .. floor(log2 M), from running
 * window extremes in single precision; 0.0 is an ordinary value here (no gaps). Row i
 * of the table receives value = the largest max - min over the M - m windows of 2^i
 * samples (seconds, float), numPoints = M - m and avgFactor = m; count is set to i as
 * each row is stored. firstRowOnly nonzero: only the row for span 1. The table's
 * numPoints, value and avgFactor must hold floor(log2 M) elements.
 * Progress (always): (0, "Calculating MTIE"), then within each level after a
 * position r that has advanced by at least (M - m) / 100 since the last report of the
 * level (percent, "Calculating MTIE") with percent = 100 * r / (M - m) truncated, and
 * (0, "") at the end.
 * Returns the number of rows stored (0, after the two callbacks, when M < 2, with
 * count not written); -1 without touching the table when scratch memory (2 M floats)
 * cannot be had (after the opening callback only), or for an unusable header, a null
 * table or a null column (before any callback). Cost: about M per row.
 */
VARNIS_API int CalcFastMTIE(const double *data, VarnisStabilityTable *table, int firstRowOnly,
                            VarnisProgressCallback callback);

/**
 * RMS time interval error of phase data at lag m: sqrt of the mean of
 * (x[k+m] - x[k])^2 over k = first .. last - m, using a pair when both samples are
 * nonzero; the first pair also when only x[first] is 0.0, the last pair also when
 * only x[last] is 0.0. Returns the number of pairs used; -1 with *tie = 0.0 when none
 * is usable (also for m >= M), for m < 0, or for an unusable header.
 */
VARNIS_API int TIErms(const double *data, double *tie, int m);

/** @} */

/* ---- Total variance family --------------------------------------------------- */
/** \defgroup total_variance Total variance family
 * @{ */

/**
 * Total deviation of phase data (seconds) at averaging time m * tau0 (seconds). The
 * window's M samples are extended at both ends by reflection through the end points,
 * and the second differences x*[w-m] - 2x*[w] + x*[w+m] are taken for every centre
 * w = 2 .. M-1. Terms touching a gap (a 0.0, or the reflected image of one) are
 * skipped; the term whose left point is the first sample, and the one whose right
 * point is the last sample, keep a 0.0 there. The last argument is not used.
 * Returns the number of terms; -1 for m outside 1 .. M-1 or tau0 not positive
 * (deviation untouched); -2 when no term is usable or the variance is not positive
 * (deviation set to 0.0). Cost: about M; no memory is taken.
 */
VARNIS_API int TotvarCalc(const double *data, double *deviation, double tau0, int m, int unused);

/**
 * Modified total deviation of phase data at averaging time m * tau0. For each of the
 * M - 3m + 1 subsequences of 3m samples (0.0 is a value, not a gap): the half-average
 * slope is removed, the subsequence is extended by symmetric reflection to 9m values,
 * and the 6m second differences of adjacent m-sample averages are squared and
 * averaged. Progress: (0, "Calculating Mod Totdev") and percentages only with the
 * progress flag, (0, "") always at the end, so callback must be valid; the stop flag
 * is read after each subsequence. Returns the number of subsequences; -1 for m < 1,
 * tau0 not positive or exhausted memory (deviation untouched, no closing call);
 * -2 when M < 3m or the variance is not positive (deviation 0.0). Cost: about
 * (M - 3m + 1) * 9m values, a few operations each (the window sums slide); 9m doubles
 * of memory, taken only when M >= 3m.
 */
VARNIS_API int ModTotvarCalc(const double *data, double *deviation, double tau0, int m,
                             int *stop, int progress, VarnisProgressCallback callback);

/**
 * Hadamard total deviation of frequency data at averaging factor m. As
 * ModTotvarCalc, with gaps filled as each subsequence is copied: a 0.0 between two
 * nonzero samples of the window takes their mean, any other 0.0 takes the last
 * nonzero sample copied so far (starting with the window's mean, or 0.0 when the
 * window holds no nonzero sample). The variance is the mean subsequence term / 6.
 * Progress title "Calculating Hadamard Totdev"; returns as ModTotvarCalc (-1 for
 * m < 1 or exhausted memory).
 */
VARNIS_API int HadTotvarCalc(const double *data, double *deviation, int m, int *stop,
                             int progress, VarnisProgressCallback callback);

/**
 * Bias factor of the total variance for noise alpha (frequency-spectrum exponent,
 * 2 white phase ... -2 random-walk frequency) at ratio = record length / tau.
 * Returns -1.0 for ratio < 2 or alpha outside -2 .. 2.
 */
VARNIS_API float TotvarBias(int alpha, float ratio);

/** Degrees of freedom of the total variance; -1.0 for ratio < 2 or alpha outside -2 .. 0. */
VARNIS_API float TotvarEDF(int alpha, float ratio);

/** Bias factor of the modified total variance; -1.0 for alpha outside -2 .. 2. */
VARNIS_API float ModTotvarBias(int alpha);

/** Degrees of freedom of the modified total variance; -1.0 for ratio < 3 or alpha outside -2 .. 2. */
VARNIS_API float ModTotvarEDF(int alpha, float ratio);

/**
 * Bias factor of the Hadamard total variance for alpha 0 (white frequency) .. -4
 * (random-run frequency); -1.0 outside.
 */
VARNIS_API float HadTotvarBias(int alpha);

/** Degrees of freedom of the Hadamard total variance (any ratio); -1.0 for alpha outside -4 .. 0. */
VARNIS_API float HadTotvarEDF(int alpha, float ratio);

/** @} */

/* ---- Equivalent degrees of freedom ------------------------------------------- */
/** \defgroup degrees_of_freedom Equivalent degrees of freedom
 * @{ */

/**
 * Equivalent degrees of freedom of the Allan variance for the power-law noise alpha
 * (frequency-spectrum exponent: 2 white phase, 1 flicker phase, 0 white frequency,
 * -1 flicker frequency, -2 random-walk frequency), from n data points at averaging
 * factor m (the magnitudes of n and m are used). Returns -1.0 for n or m zero, alpha
 * outside -2..2, alpha 2 with n equal to m, alpha 1 with n 1 or a negative logarithm
 * product, and alpha -2 with n 3. Other small n give whatever the formula gives.
 */
VARNIS_API float CalcDegFree(int alpha, int n, int m);

/**
 * Equivalent degrees of freedom by a two-coefficient table: beta is the phase-spectrum
 * exponent (0 white phase ... -4 random-walk frequency), m the averaging factor (every
 * m from 3 on shares one column), n the number of data points. EDF = A r / (1 - B / r)
 * with r = n / m. Returns -1.0 for beta outside -4..0 or m below 1.
 */
VARNIS_API float EDF(int beta, int m, int n);

/**
 * Equivalent degrees of freedom of the Hadamard variance from n data points at
 * averaging factor m, for the phase-spectrum exponent beta (-2 white frequency ...
 * -6 random-run frequency), by a sum over the third-difference kernel (at most 100
 * terms; a closed-form shortcut for long records). Returns -1.0 for beta outside
 * -6..-2, m below 1, or n <= 3m.
 */
VARNIS_API float HadamardEDF(int n, int m, int beta);

/** @} */

/* ---- Chi-square and normal distributions ------------------------------------- */
/** \defgroup distributions Chi-square and normal distributions
 * @{ */

/**
 * Standard normal cumulative probability P(Z < z), by a polynomial approximation
 * accurate to single precision. Exactly 0.5 at z = 0, 1.0 for z >= 6, 0.0 for z <= -6.
 */
VARNIS_API float CalcNormalProb(float z);

/**
 * Upper tail P(X > x) of the chi-square distribution with n degrees of freedom, n the
 * integer part of df (df itself sets the length of the finite sum). 1.0 at x = 0.
 * Returns -1.0 for x < 0, df below 1, a NaN argument, or both x and df above about
 * 2e7 (the finite sum would take more than 1e7 terms). Cost: at most about
 * min(df, x) / 2 terms.
 */
VARNIS_API float CalcChiSqrProb(float x, float df);

/**
 * Chi-square value x with upper tail P(X > x) = p for df degrees of freedom (df need
 * not be an integer). For df > 100 by the Wilson-Hilferty approximation; otherwise by
 * a search on the exact distribution to a relative error of 1e-4 in the tail, bounded
 * at 100000 steps (below p of about 0.0005 the bound may end it, within about 0.1 %
 * of the quantile; a few tens of milliseconds at most). Returns -1.0 for
 * p <= 0.00001, p >= 1, and df not a positive finite number.
 */
VARNIS_API float CalcInvChiSqr(float p, float df);

/** @} */

/* ---- Bias functions and noise identification --------------------------------- */
/** \defgroup bias Bias functions and noise identification
 *
 * Exponents: mu is the exponent of the Allan variance in tau (-2 white and flicker
 * phase, -1 white frequency, 0 flicker frequency, 1 random-walk frequency, 2
 * flicker-walk frequency, 3 random-run frequency); alpha is the exponent of the
 * fractional-frequency spectrum (2 white phase ... -4 random-run frequency). The
 * functions keep no state, return floats and give exactly -1.0 for a refused
 * argument; NaN arguments are refused.
 * @{ */

/**
 * B1(N, mu): expected ratio of the N-sample (standard) variance to the Allan
 * variance for whole-number mu (-2..2) without dead time, in single precision.
 * Returns -1.0 for N <= 1 or mu outside -2..2.
 */
VARNIS_API float CalcBias(int N, int mu);

/**
 * B1(N, r, mu) for any mu in -2..2 and dead-time ratio r = T / tau (its sign is
 * dropped). Closed forms where they exist (N = 2, mu = 2, r = 1 with mu = 1,
 * mu = -1 with r >= 1, mu = -2 with r neither 0 nor 1); otherwise the general sum,
 * with mu = 0 and mu = -2 moved by 0.000001 and r clamped to 0.0001..1e6. Cost: N
 * terms. Returns -1.0 for N <= 1 or mu out of range.
 */
VARNIS_API float CalcBias1(int N, float r, float mu);

/**
 * B2(r, mu): the effect of the dead-time ratio r (sign dropped) on the Allan
 * variance, mu in -2..2. B2 = 0 at r = 0 and 1 at r = 1. Returns -1.0 for mu out of
 * range.
 */
VARNIS_API float CalcBias2(float r, float mu);

/**
 * B3(2, N, r, mu): the effect of averaging N adjacent measurements (sign of N
 * dropped) with dead-time ratio r on the Allan variance, mu in -2..2. Returns 1.0 for
 * r = 1, N = 1 or mu = 2, and N for mu = -2. Cost: N terms. Returns -1.0 for N = 0 or
 * mu out of range.
 */
VARNIS_API float CalcBias3(int N, float r, float mu);

/**
 * Measures the B1 ratio of frequency data treated as phase data: phase data
 * (isFrequency = 0) are first converted to frequency with spacing tau0 seconds
 * (true zeros kept as 1e-99), frequency data are taken as they are; the frequencies
 * are averaged by m and the result is (D / S)^2 of the standard deviation D and the
 * Allan deviation S of the averages read as phase. Gaps (0.0) follow the rules of the
 * conversion, averaging and deviation routines. The data vector is not changed.
 * Returns -1.0 for a bad header, tau0 not positive, m < 1 or above the window, too
 * few averages for either deviation, an Allan deviation of 0, or exhausted memory.
 * Allocates count + 3 doubles per call.
 */
VARNIS_API float CalcStarB1(const double *data, int isFrequency, double tau0, int m);

/**
 * Expected value of the frequency-as-phase B1 (what CalcStarB1 measures) for N
 * samples and mu in -1..3. Returns -1.0 for N < 2 or mu outside -1..3.
 */
VARNIS_API float CalcHadamardB1(int N, int mu);

/**
 * R(n): expected ratio of the modified to the plain Allan variance at averaging
 * factor n (sign dropped) for alpha in 2..-2. b is the bandwidth factor
 * 2 pi fh tau0 (fh the measurement bandwidth in hertz), used for alpha = 1 only,
 * where it must be positive; there n above 100 uses a closed approximation and the
 * sum is single precision. Returns 1.0 for n = 1 (any alpha), -1.0 for n = 0, alpha
 * out of range or (alpha = 1) b not positive.
 */
VARNIS_API float CalcRatio(int alpha, int n, float b);

/**
 * Dominant power-law noise (alpha) from a measured statistic x, by the variance kind:
 * kinds 0, 1, 6: x = standard / Allan variance over N samples (B1 test; returns
 *   -3 .. 1, the two phase noises both as 1);
 * kinds 2, 3, 7, 8: x = modified / Allan variance at averaging factor n with the
 *   bandwidth factor b of CalcRatio, which must be positive (returns -2 .. 2; always
 *   0 for n = 1);
 * kinds 4, 5, 9: x = CalcStarB1 over N averages (returns -4 .. 1).
 * Each boundary is the geometric mean of neighbouring expected values (the first of
 * the B1 test their arithmetic mean); the most divergent noise is tested first. A kind
 * outside 0..9 returns 0 (white frequency). There is no failure value.
 */
VARNIS_API int NoiseID(int N, int kind, int n, float b, float x);

/** @} */

/* ---- Domain conversion ------------------------------------------------------- */
/** \defgroup domain_conversion Domain conversion
 *
 * Measure codes (type): 1 S_y(f) (1/Hz), 2 S_x(f) (s^2/Hz), 3 S_phi(f) (rad^2/Hz) at
 * carrier nu0, 4 script-L(f) (dBc/Hz), 5 Allan deviation sigma_y(tau), 6 modified
 * Allan deviation, 7 time deviation (s). alpha: 2 white phase, 1 flicker phase,
 * 0 white frequency, -1 flicker frequency, -2 random-walk frequency. tau in seconds,
 * f the Fourier frequency, nu0 the carrier and fh the measurement bandwidth in hertz;
 * n the averaging factor of types 6 and 7. All of them are checked for every type.
 * Both keep no state and return 1 on success, -1 on refusal with out unchanged.
 * @{ */

/**
 * From the level h of S_y(f) = h f^alpha to the measure type. Refused: h exactly 0;
 * tau, f, nu0 or fh not positive; type outside 1..7, alpha outside -2..2, n < 1;
 * types 6 and 7 with tau / n below 1; a time-domain type with flicker phase noise where
 * 2 pi fh tau leaves no positive Allan variance; a result that is not finite in single
 * precision (e.g. a negative h under a square root or logarithm) or that vanishes in
 * it.
 */
VARNIS_API int ConvDomain(float h, float *out, float tau, float f, float nu0, float fh,
                          int type, int alpha, int n);

/**
 * From a measured value X of the measure type to the level h_alpha (the inverse of
 * ConvDomain). Refused as ConvDomain, with X exactly 0 in place of h and without the
 * tau / n check; X may be negative (a level in dB).
 */
VARNIS_API int CalcDomain(float *out, float X, float tau, float f, float nu0, float fh,
                          int type, int alpha, int n);

/** @} */

/* ---- Noise generation -------------------------------------------------------- */
/** \defgroup noise_generation Noise generation
 * @{ */

/**
 * Simulated power-law noise: white Gaussian noise of variance Q passed through the
 * fractional-integration filter h[1] = 1, h[i] = h[i-1] ((i - 2) + ha) / (i - 1),
 * ha = -beta / 2, so that the spectrum of the result goes as f^beta (0 white,
 * -1 flicker, -2 random walk, -3 flicker walk, -4 random run), beta from -4 to 0.
 * values[i-1] receives the sum over j = 1..i of h[j] w[i+1-j] (w the scaled
 * Gaussian draws, in order), formed by a transform of length 2 * count.
 *
 * count: number of values, a power of two of at least 2. values: a plain array of
 * count doubles (not a data vector). Q: variance of the driving white noise, > 0.
 * seed: in/out; a negative value reseeds the generator, which is also seeded on the
 * first call ever whatever the value; after seeding *seed is set to 1, and passing
 * it again continues the sequence. A positive seed above 54773 at the first call is
 * used as its congruent value modulo 259200 in the range -204426 .. 54773.
 * add: 0 = values are overwritten; nonzero = the noise is added to them.
 *
 * Returns count; -1 (null pointer, Q not a positive finite number, beta outside
 * -4..0, count below 2 or not a power of two: nothing is written, the generator is
 * untouched); -2 when working storage (4 * count doubles) cannot be had (values and
 * generator untouched). Cost O(count log count).
 * The generator state is library-wide and kept between calls; calls from several
 * threads are serialised by a lock and share one sequence.
 */
VARNIS_API int GenNoise(int count, double *values, float Q, float beta, int *seed, int add);

/** @} */

/* ---- Periodogram spectrum ---------------------------------------------------- */
/** \defgroup periodogram Periodogram spectrum
 * @{ */

/**
 * Power spectral density of n samples of a record by the averaged, windowed
 * periodogram, as logarithmic levels. The samples are taken from the window's first
 * sample on (the window's end is not consulted), converted to float, their gaps
 * filled with FillFloatGaps(gapMode), their mean removed, the record extended with
 * zeros to P, the smallest power of two not below n, and cut into `segments` equal
 * segments of L = P / segments samples. Each segment is multiplied `passes` times by
 * the window (0 none, 1 triangular, 2 Hann, 3 Welch, 4 Hamming, 5 Blackman) and
 * transformed; the periodograms of the segments are averaged.
 *
 * re: work and output, at least max(n + 3, P) floats; on return re[i] is the level
 * at the frequency im[i] = (i + 1) / (L tau) hertz: log10(power of the bin * L tau *
 * scale * P^2 / n^2) plus the window's correction, times 10 when units == 2
 * (decibels), as it is for any other units. im: work and output, at least P floats.
 * tau: sampling interval in seconds, > 0. scale: multiplies every power, > 0.
 * gapMode: 0 phase data, 1 frequency data. When gaps at either end shorten the
 * record, only the samples that remain are analysed (n in the ratio above is then
 * their number).
 *
 * Returns the number of levels written, L / 2 - 1; a bin without any power has the
 * level -infinity (the logarithm of zero). -1, with nothing written: null pointer,
 * bad header, n < 2, samples past the end of the record, n not exactly a float,
 * tau or scale not positive, passes outside 0..3, window outside 0..5, gapMode not
 * 0 or 1, segments not a power of two or above P / 2, no scratch memory.
 * Cost O(P log L). Keeps no state: may run on several threads at once on different
 * data.
 */
VARNIS_API int SpectrumCalc(const double *data, float *re, float *im, float tau, int n, int passes,
                            int window, int units, float scale, int segments, int gapMode);

/**
 * Combines five spectral levels. units == 4 (decibels): 10 log10 of the sum of the
 * powers 10^(v/10), a level of exactly 0 counting as absent; 0 when all are absent.
 * Other units: the square root of the sum of the squares. -1.0 for a null pointer.
 */
VARNIS_API float AddPSD(const float *levels, int units);

/** @} */

/* ---- Phase and frequency conversion and averaging ---------------------------- */
/** \defgroup conversion_averaging Phase and frequency conversion and averaging
 *
 * Records produced by the routines below get the header [0] = M, [1] = 1, [2] = M:
 * the window of the result is the whole result. Output vectors are sized by the
 * caller (M + 3 doubles; ConvFreqToPhase needs n + 4 for a window of n samples).
 * @{ */

/**
 * Averages frequency data in place over consecutive groups of `factor` samples of
 * the window; a partial group at the end is dropped. Gaps (0.0) are left out of a
 * group's average; a group of gaps only gives 0.0. Writes the M = n / factor
 * averages to samples 1..M. Returns M, or -1 (factor < 1 or above the window
 * length n; data unchanged).
 */
VARNIS_API int AverageFreqData(double *data, int factor);

/**
 * Decimates phase data in place: keeps samples first, first + factor, ... up to
 * last, gaps included, as samples 1..M with M = (n - 1) / factor + 1. Returns M, or
 * -1 (factor < 1 or above the window length n; data unchanged).
 */
VARNIS_API int AveragePhaseData(double *data, int factor);

/**
 * Mean first difference x[k+1] - x[k] of the window (pairs without a gap; a 0.0 at
 * sample 1 or sample N of the record counts as a value). Returns the number of
 * differences, or -1: none usable (result untouched), or a difference of exactly
 * 0.0 (result set to 0.0).
 */
VARNIS_API int CalcFirstDiff(const double *data, double *result);

/**
 * Mean second difference of the window (triples without a gap; the triple at sample
 * 1 may start at 0.0, the window's last triple may end at 0.0). Returns the number
 * of triples, or -1 when none is usable (result untouched).
 */
VARNIS_API int CalcSecondDiff(const double *data, double *result);

/**
 * Integrates the window of fractional-frequency data (sampling interval tau,
 * seconds) into n + 1 phase samples (seconds) starting at the origin 0.0. With
 * remove_mean nonzero the mean frequency is taken out first. A frequency gap is
 * bridged with the window's mean frequency (0.0 when it holds no valid value) and
 * the phase point before it becomes a gap. Returns the number of frequency gaps, or
 * -1 (tau not positive; remove_mean set and no valid frequency).
 */
VARNIS_API int ConvFreqToPhase(const double *frequency, double *phase, double tau,
                               int remove_mean);

/**
 * First differences of the window of phase data (seconds) divided by tau (seconds):
 * n - 1 fractional frequencies. A pair with a gap gives a frequency gap (0.0); the
 * window's first phase reading may be the origin 0.0. With keep_zeros nonzero a
 * frequency of exactly 0.0 is written as 1e-99 so it is not taken for a gap.
 * Returns the number of gaps written, or -1 (tau not positive).
 */
VARNIS_API int ConvPhaseToFreq(const double *phase, double *frequency, double tau,
                               int keep_zeros);

/**
 * As ConvPhaseToFreq, with the interval of each pair taken from time tags: tag k
 * (element [k + 2] of time_tags) belongs to the k-th sample of the window, and
 * time_scale is the number of seconds in one tag unit. Writes the mean interval of
 * the used pairs, in seconds, to mean_tau (0.0 without a used pair). Returns the
 * number of gaps written, or -1 (time_scale not positive; two equal tags of a used
 * pair, which stops the conversion with the earlier frequencies written).
 */
VARNIS_API int ConvPhaseToFreqUsingTimetags(const double *phase, double *frequency,
                                            const double *time_tags, double time_scale,
                                            double *mean_tau, int keep_zeros);

/**
 * Subtracts value from every valid sample of the window. data_type 0 (phase): a 0.0
 * at sample 1 or N of the record is a value; otherwise every 0.0 is a gap and stays
 * 0.0. Returns the number of samples changed (0 is not an error).
 */
VARNIS_API int NormalizeData(double *data, double value, int data_type);

/**
 * Sets every valid sample x of the window (gap rule as NormalizeData) to
 * x * factor + offset. Note the order of the arguments: offset before factor.
 * Returns the number of samples changed.
 */
VARNIS_API int ScaleData(double *data, double offset, double factor, int data_type);

/** @} */

/* ---- Drift and offset estimation and removal --------------------------------- */
/** \defgroup drift Drift and offset estimation and removal
 *
 * The fits below work on the window of a data vector; k is the sample number in the
 * whole record (1-based), whatever the window. Frequency fits leave gaps (0.0) out.
 * The removals change the data in place, leave gaps at 0.0 and return the number of
 * samples changed (-1 for an unusable header); a sample that becomes exactly 0.0
 * reads as a gap afterwards. The coefficient order of each Remove routine is the
 * output order of its Calc routine.
 * @{ */

/**
 * Least-squares line y = intercept + slope * k through the frequency samples of the
 * window. variance is the residual variance (0.0 for two samples). Returns the
 * number of samples used, or -1 when fewer than two (outputs untouched).
 */
VARNIS_API int CalcLinFreqDrift(const double *data, double *intercept, double *slope,
                                double *variance);

/**
 * The same line through phase data (seconds); a 0.0 at sample 1 of the record or at
 * the window's last sample is a reading. slope is the frequency offset in seconds
 * per sample. Returns the number of samples used, or -1 (outputs untouched).
 */
VARNIS_API int CalcFreqOffset(const double *data, double *intercept, double *slope,
                              double *variance);

/**
 * Fits y = a * ln(b * k + 1) + y0 to frequency data by a search on b (starting at 1,
 * relative steps) until the residual sum of squares changes by no more than 1e-5 of
 * itself (at most 10000 passes). b has taken one step past the fit that a, y0 and
 * residual describe. Returns the number of samples, or -1 when fewer than two (b is
 * then 1.0). Each pass costs one sweep of the window.
 */
VARNIS_API int CalcLogFreqDrift(const double *data, double *a, double *b, double *y0,
                                double *residual);

/**
 * Fits y = intercept + slope * sqrt(k + time_offset) to frequency data by a search on
 * time_offset (samples, not below 0, first step 100) until the residual changes by
 * no more than 1e-6 of itself (at most 10000 passes); time_offset has taken one step
 * past the fit. Returns the number of samples, or -1 when fewer than two.
 */
VARNIS_API int CalcDiffusionFreqDrift(const double *data, double *intercept, double *slope,
                                      double *time_offset, double *residual);

/**
 * Least-squares quadratic x = a0 + a1 * t + a2 * t^2 through phase data, t = u * tau
 * with u = 1 .. m the position in the window (tau in seconds), after filling the
 * gaps of a copy (FillGaps, phase). variance is the residual variance. Returns m, or
 * -1: tau not positive or fewer than 3 samples (outputs untouched), fewer than 4
 * samples after filling (outputs 0.0), or no memory.
 */
VARNIS_API int CalcQuadraticDrift(const double *data, double tau, double *a0, double *a1,
                                  double *a2, double *variance);

/**
 * (mean of the second half - mean of the first half) / half length of the frequency
 * window, per sample; an odd middle sample belongs to the second half. The header is
 * narrowed during the call and restored. Returns -1.0 when a half holds no valid
 * value or the header is unusable.
 */
VARNIS_API float CalcBisectionDrift(double *data);

/**
 * Drift of phase data in seconds per sample squared from the window's first, middle
 * and last samples. Fills the record's gaps in place first (FillGaps, phase), which
 * may shorten it. Returns -1.0 for an unusable header or fewer than 3 samples.
 */
VARNIS_API float CalcThreePointDrift(double *data);

/** y[k] -= intercept + slope * k for the frequency samples of the window. */
VARNIS_API int RemoveLinFreqDrift(double *data, double intercept, double slope);

/**
 * Phase data (a 0.0 at sample 1 or the window's last sample is a reading): with
 * use_intercept nonzero x[k] -= intercept + slope * (k - 1); with 0, x[k] -= slope * k
 * and intercept is ignored.
 */
VARNIS_API int RemoveFreqOffset(double *data, double intercept, double slope,
                                int use_intercept);

/** y[k] -= a * ln(b * k + 1) + y0 for the frequency samples of the window. */
VARNIS_API int RemoveLogFreqDrift(double *data, double a, double b, double y0);

/** y[k] -= intercept + slope * sqrt(k + time_offset) for the frequency samples. */
VARNIS_API int RemoveDiffusionFreqDrift(double *data, double intercept, double slope,
                                        double time_offset);

/**
 * Phase data (a 0.0 at the window's first or last sample is a reading):
 * x[k] -= a0 + a1 * u + a2 * u^2 with u = k + 2, the record's own abscissa for this
 * model; coefficients of CalcQuadraticDrift need converting by the caller.
 */
VARNIS_API int RemoveQuadraticDrift(double *data, double a0, double a1, double a2);

/** @} */

/* ---- Gaps, outliers and robust statistics ------------------------------------ */
/** \defgroup gaps_outliers Gaps, outliers and robust statistics
 *
 * mode: 0 phase data (the first and last samples of a window, and sample 1 of a
 * record, may be 0.0), 1 frequency data (every 0.0 is a gap). Other modes are
 * refused with -1.
 * @{ */

/**
 * Number of gaps in samples first..last (frequency) or first+1..last-1 (phase).
 */
VARNIS_API int CountGaps(const double *data, int mode);

/**
 * Fills the gaps of a record in place. A run of gaps at the start (from sample 1 for
 * frequency data, sample 2 for phase data) is cut out and the later samples move
 * down; a run at the end (ending at sample N for frequency data, at N - 1 for phase
 * data, whose final sample is kept) is cut off. The count and the window limits
 * follow the samples they name. Interior gaps of the window are then bridged by a
 * straight line between their neighbours. A record without a valid sample is left
 * as it is. Returns the number of leading gaps removed.
 */
VARNIS_API int FillGaps(double *data, int mode);

/** FillGaps for a float data vector; the interpolation is in single precision. */
VARNIS_API int FillFloatGaps(float *data, int mode);

/**
 * Finds frequency samples of the window outside mean +- factor * standard deviation
 * (strictly); with remove nonzero each becomes a gap. Mean and deviation are taken
 * once, before any removal. Returns the number of outliers, or -1 when the window
 * holds fewer than two valid values (data unchanged).
 */
VARNIS_API int FindFreqOutliers(double *data, float factor, int remove);

/**
 * Median of the window. Below 100 samples: the gaps of a copy are filled (FillGaps,
 * mode), the remaining window values are sorted, and an even count gives the mean of
 * the two middle values. From 100 samples on: selection in single precision among
 * the window's values (gaps left out; in phase mode a 0.0 at the window's first or
 * last position counts), and an even count gives the lower middle value. The data
 * are not changed. Returns 0, or -1: no valid value (median untouched), or no
 * memory (median set to 0.0).
 */
VARNIS_API int FindMedian(const double *data, int mode, double *median);

/**
 * Median absolute deviation of the frequency window about its median, divided by
 * 0.6745 (a standard deviation for normal noise), after filling the gaps of a copy.
 * Stored as a float. Returns the window length, 1 when memory cannot be had (result
 * untouched), or -1 when the window holds no valid value (result untouched).
 */
VARNIS_API int MedDev(const double *data, float *result);

/** @} */

/* ---- Multitaper spectrum ----------------------------------------------------- */
/** \defgroup multitaper Multitaper spectrum
 * @{ */

/**
 * Multitaper power spectrum of N samples taken from the window's first sample on
 * (the window's end is not consulted). The samples are converted to float, their gaps
 * filled with FillFloatGaps(gapMode), their mean removed; the record is multiplied by
 * each of the K Slepian tapers of time-bandwidth product NW (unit mean square), each
 * product zero-padded to Nfft = 2 P (P the smallest power of two not below N) and
 * transformed, and the K power spectra |X_k|^2 / A^2 are combined.
 *
 * spectrum: output and working buffer, at least max(N + 3, Nfft / 2 - 1) floats.
 * frequencies: output, Nfft / 2 - 1 floats: j / (tau Nfft) hertz for bins
 * j = 1 .. Nfft / 2 - 1 (bin 0 and the Nyquist bin are not returned).
 * spectrum[j - 1] = G (log10(S(j) scale) - log10(1 / (tau Nfft))), G = 10 when
 * logForm == 2, else 1. tau: sampling interval in seconds, > 0. NW: > 0 and below
 * N / 2. estimator 1: S is the square root of the eigenvalue-weighted power
 * sum_k |X_k|^2 / (A^2 K lambda_k) (an amplitude); a bin whose sum is not positive
 * keeps the sum and the line "sqrt problem in hires pos=<bin> <sum>" goes to the
 * standard output. estimator 2: adaptive weights, iterated up to 20 times per bin
 * from the mean of the first two taper spectra (the first alone when K = 1); S is a
 * power; "<count> failed iterations" goes to the standard error after every call.
 * normalisation: A = N (1), 1 / tau (2), sqrt(N) (3), 1 (any other value).
 * scale: multiplies every spectral value, > 0. gapMode: 0 phase data, 1 frequency
 * data. When gaps at either end shorten the record, only the samples that remain are
 * analysed (they replace N in the tapers and in A); the transform length stays.
 * unused: not read. A bin without any power has the level
 * -infinity.
 *
 * Returns Nfft / 2 + 1 (the number of values written is two less); -1: null pointer,
 * bad header, N < 2, K < 1 or above N, NW not positive or not below N / 2, estimator
 * not 1 or 2, samples past the end of the record, N not exactly a float, tau or scale
 * not positive, gapMode not 0 or 1, no scratch memory, or fewer than 2 (or K) samples
 * left after gap filling. Cost O(K N) for the tapers (bisection and inverse iteration
 * on a tridiagonal matrix) plus K transforms of length Nfft; scratch about
 * 8 K (N + Nfft / 2) bytes. Keeps no state (nor does its taper solver): may run on
 * several threads at once on different data.
 */
VARNIS_API int MultiTaperSpectrumCalc(const double *data, float *spectrum, float *frequencies,
                                      float tau, int N, float NW, int K, int estimator,
                                      int normalisation, int unused, int logForm, float scale,
                                      int gapMode);

/** @} */

/* ---- Plot scaling ------------------------------------------------------------ */
/** \defgroup plot_scaling Plot scaling
 * @{ */

/**
 * Extremes of the window first..last. zeroGaps != 0: every 0.0 is a gap and skipped.
 * zeroGaps == 0 (phase data): a 0.0 is skipped except at sample 1 and at sample N of
 * the vector, where it is a value. min and max are set to 0 first and stay 0 when no
 * sample counts. Returns the number of samples taken into account (0 for an empty
 * window), or -1 for an unusable header or a null pointer.
 */
VARNIS_API int FindMinMax(const double *data, double *min, double *max, int zeroGaps);

/**
 * Histogram of the window: each counted sample x (zero rule as FindMinMax) adds 1 to
 * counts[j] for the first bin j (0 .. nbins-1) with x <= edges[j+1]; a value above
 * edges[nbins] is not counted, and edges[0] is never compared, so values below it fall
 * into bin 0. edges holds nbins + 1 entries, counts nbins; counts are added to, never
 * cleared. *maxCount is set to 0 first and receives the largest count an increment
 * produced. Returns the array position after the window, floor(last - first + 1) +
 * floor(first + 2) of the header (last + 3 for a whole-number header), or -1 for an
 * unusable header or a null pointer.
 */
VARNIS_API int HistoCalc(const double *data, const float *edges, float *counts, double *maxCount,
                         int nbins, int zeroGaps);

/**
 * Round axis limits *lo .. *hi covering min .. max, in whole divisions of one step of
 * 1, 2, 3, 4, 5, 6, 8 or 10 times a power of ten chosen from the range. Returns the
 * number of divisions from *lo to *hi, or -1 with *lo = *hi = 0 when max - min is not
 * positive or not finite.
 */
VARNIS_API int FindPlotScale(double min, double max, double *lo, double *hi);

/**
 * Axis of n labels (n < 2 is taken as 2) start + k * step, k = 0 .. n-1, covering a
 * and b (in either order), with a step of 10, 12, 15, 16, 20, 25, 30, 40, 50, 60, 75,
 * 80, 100, 120 or 150 times a power of ten; a range at or below zero is scaled as its
 * mirror image. Tries n - 1 divisions, then twice and four times as many, labelling
 * every second or fourth. Returns 1 when an axis was found, else 0 with *start and
 * *step holding the last candidate (0 and 0 for a range that has no step: values not
 * finite, or a range below the resolution of its values).
 */
VARNIS_API int BasScale(double a, double b, int n, double *start, double *step);

/**
 * Widens *lo .. *hi by a 5 % margin to round limits in units of one tenth of the
 * larger magnitude's power of ten, and writes a tick interval for the rounded span.
 * A lo or hi that is not finite (or a range below the smallest double) is left as it
 * is, with *tick = 0.
 */
VARNIS_API void RoundAxes(double *lo, double *hi, double *tick);

/** @} */

/* ---- Date and time conversion ------------------------------------------------ */
/** \defgroup calendar Date and time conversion
 *
 * Calendar forms: a packed date is year * 10000 + month * 100 + day (20030904 for
 * 4 September 2003); a Julian Day Number counts days with 2451545 for 1 January 2000;
 * an MJD is the Julian Day Number - 2400001 (51544 for 1 January 2000, 0 for
 * 17 November 1858); days of the week run 0 Sunday .. 6 Saturday; day of year 1 is
 * 1 January. Integer division truncates toward zero. None of these functions keeps
 * state; all may run on several threads at once.
 * @{ */

/**
 * Packs a date. A year of at most 100 counts from 1900 (3 is 1903, 100 is 2000);
 * a larger year is used as it is. Nothing is validated; a year beyond 214748 does not
 * fit in the packed form and wraps around.
 */
VARNIS_API int MakeDate(int month, int day, int year);

/** Unpacks a date: year = date / 10000, month = (date / 100) % 100, day = date % 100. */
VARNIS_API void BreakDate(int date, int *month, int *day, int *year);

/**
 * Day of the week (0 Sunday .. 6 Saturday) of a packed date, or -1 for a month
 * outside 1 .. 12, a day outside 1 .. 31 or a year before 1900. Right from
 * 1 January 1900 to 28 February 2100; from 1 March 2100 on one day late (2100 is
 * counted as a leap year).
 */
VARNIS_API int DayOfWeek(int date);

/**
 * Julian Day Number of a packed date, the proleptic Gregorian day count for every
 * date from the year 1 on; -1 for a date <= 0 and for 19000000 (an empty date).
 */
VARNIS_API int DateToJulian(int date);

/**
 * Packed date of a Julian Day Number: the inverse of DateToJulian from the year 101
 * on. Dates of the years 1 .. 100 come out as 1901 .. 2000 (the year rule of
 * MakeDate). -1 for a number below 1, and for one past 31 December 214748, whose
 * packed form does not fit in an int.
 */
VARNIS_API int JulianToDate(int julian);

/**
 * MJD of a date given as day, month and full year (1999, not 99). Right from
 * 1 March 1900 to 28 February 2100 (1900 and 2100 are counted as leap years).
 */
VARNIS_API int DateToMJD(int day, int month, int year);

/** Date of an MJD: the inverse of DateToMJD over the same range. */
VARNIS_API void MJDToDate(int mjd, int *day, int *month, int *year);

/**
 * Day of the year of an MJD (leap years by the full Gregorian rule), right over the
 * range of MJDToDate; -1 for an MJD so far before 1858 that it yields no month.
 */
VARNIS_API int MJDtoDOY(int mjd);

/**
 * GPS week of an MJD, modulo 1024: ((mjd - 44244) / 7) % 1024, truncating, so MJD
 * 44244 .. 44250 (the week from 6 January 1980) give 0 and earlier days give zero or
 * negative weeks.
 */
VARNIS_API int MJDtoGPS(int mjd);

/**
 * Month view: for the first day of *month in *year (a year of at most 100 counts from
 * 1900, as in MakeDate; the inputs are not written back) writes the day of the week
 * (as DayOfWeek), the day of the year, the MJD and the number of days in the month
 * (leap years by the full Gregorian rule). Returns the days in the month, or -1
 * without writing anything for a month outside 1 .. 12 or a null pointer.
 */
VARNIS_API int DateConv(int *month, int *daysInMonth, int *year, int *dayOfWeek, int *dayOfYear,
                        int *mjd);

/** @} */

#ifdef __cplusplus
}
#endif

#endif /* VARNIS_H */
