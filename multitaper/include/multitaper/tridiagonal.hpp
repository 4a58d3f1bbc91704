// Eigenvalues and eigenvectors of a real symmetric tridiagonal matrix: a
// selected run of eigenvalues by Sturm-sequence bisection and their vectors by
// inverse iteration.
//
// The matrix of order n has diagonal d(1..n) and subdiagonal e(2..n); e(1) is
// arbitrary and e2 holds the squares of e.  Element i of the notation lives
// at index i-1 of each span.  Where an element of e is negligible beside its
// diagonal neighbours the matrix splits into independent submatrices,
// numbered 1, 2, ... from the top; bisection marks every split by setting e2
// to zero there, and inverse iteration reads the splits from those zeros.
#pragma once

#include <span>

namespace multitaper {

// Relative machine precision used by both routines.
inline constexpr double machep = 1.25e-15;

// Eigenvalues m11 .. m11+m-1 (in ascending order) into w(1..m), with ind(i)
// the submatrix in which w(i) lies and [lb, ub] an interval holding them.
// eps1 is the absolute tolerance; a value not above zero is replaced by
// machep times the largest Gershgorin bound.  ierr: 0, 3n+1 when eigenvalues
// tied at index m11 (or m11 < 1) leave the choice open, 3n+2 the same at
// m11+m-1 (or past n); a tie is still resolved and the m values returned.
// rv4 and rv5 are work vectors of n values; e2 is changed at the splits.
void tridib(int n, double& eps1, std::span<const double> d, std::span<const double> e,
            std::span<double> e2, double& lb, double& ub, int m11, int m, std::span<double> w,
            std::span<int> ind, int& ierr, std::span<double> rv4, std::span<double> rv5);

// Eigenvectors of the m eigenvalues w (ascending within each submatrix, as
// tridib returns them) into the columns of z (leading dimension nm >= n),
// each of unit Euclidean length.  Equal or close eigenvalues of a submatrix
// are perturbed apart and their vectors orthogonalised.  ierr: 0, or -r when
// vector r did not converge within 5 iterations (its column is zero; the
// remaining vectors are still computed; the last failure is reported).
// rv1, rv2, rv3, rv4 and rv6 are work vectors of n values.
void tinvit(int nm, int n, std::span<const double> d, std::span<const double> e,
            std::span<const double> e2, int m, std::span<const double> w, std::span<const int> ind,
            std::span<double> z, int& ierr, std::span<double> rv1, std::span<double> rv2,
            std::span<double> rv3, std::span<double> rv4, std::span<double> rv6);

} // namespace multitaper
