// Slepian tapers (discrete prolate spheroidal sequences) for the multitaper spectrum:
// eigenvectors of a symmetric tridiagonal matrix, found by Sturm-sequence bisection
// for the eigenvalues and inverse iteration for the vectors, so that no dense matrix
// is ever formed. Each routine keeps its working values (bounds, tolerances, factors)
// in the call, so they may run on several threads at once.
#pragma once

namespace varnis {

// The tridiagonal matrix of order n whose eigenvectors are the tapers, negated so
// that the most concentrated tapers belong to the smallest eigenvalues:
// diagonal[i] = -cos(2 pi w) ((n - 1)/2 - i)^2 and, for i >= 1, the off-diagonal
// element between rows i - 1 and i, off[i] = -i (n - i) / 2 (off[0] is unused).
void slepian_matrix(long n, double w, double* diagonal, double* off);

// The `count` smallest eigenvalues of the symmetric tridiagonal matrix (diagonal,
// off as above, squares of off in off_squared), ascending, by bisection. Returns
// false when working storage cannot be had.
bool smallest_eigenvalues(long n, const double* diagonal, const double* off_squared,
                          int count, double* eigenvalues);

// Unit-length eigenvectors for the ascending eigenvalues, by inverse iteration; the
// vectors of eigenvalues that lie close together are orthogonalised against each
// other. Vector k occupies vectors[k n .. k n + n - 1]. Returns false when working
// storage cannot be had.
bool eigenvectors_by_inverse_iteration(long n, const double* diagonal, const double* off,
                                       int count, const double* eigenvalues, double* vectors);

// Asymptotic concentrations of the first `count` tapers of length n for the
// time-bandwidth product nw: the larger of two classic approximations.
void asymptotic_concentrations(long n, double nw, int count, double* concentrations);

// The first `count` tapers of length n for the time-bandwidth product nw, each scaled
// to unit mean square (taper k at tapers[k n ..]), and their concentrations. Returns
// false when working storage cannot be had.
bool slepian_tapers(long n, double nw, int count, double* tapers, double* concentrations);

}  // namespace varnis
