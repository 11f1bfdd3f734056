// Eigenvalues, eigenvectors and linear solves of small dense matrices.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <random>
#include <vector>

#include "matrix.hpp"
#include "systems.hpp"
#include "tx.h"

namespace {

using txtest::Matrix;
using cplx = std::complex<double>;

struct Handle {
    Traxis tx;
    Handle() : tx(TXOpenTraxis(txtest::decay, 1, 1e-8, 0.01)) { tx->TerminateOnFatalError = 0; }
    ~Handle() { TXCloseTraxis(tx); }
    operator Traxis() const { return tx; }
};

// Work room for TXLinZero: n doubles, then n ints.
std::vector<double> lin_work(int n) { return std::vector<double>(2 * n + 1); }

Matrix random_matrix(int n, std::mt19937 &gen) {
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    Matrix a(n, n);
    for (double &v : a.data) v = u(gen);
    return a;
}

// Determinant by Gaussian elimination with partial pivoting, independent of the library.
double determinant(Matrix a) {
    const int n = a.rows;
    double det = 1.0;
    for (int k = 0; k < n; ++k) {
        int p = k;
        for (int i = k + 1; i < n; ++i)
            if (std::fabs(a[i][k]) > std::fabs(a[p][k])) p = i;
        if (p != k) {
            for (int j = 0; j < n; ++j) std::swap(a[p][j], a[k][j]);
            det = -det;
        }
        det *= a[k][k];
        for (int i = k + 1; i < n; ++i) {
            const double f = a[i][k] / a[k][k];
            for (int j = k; j < n; ++j) a[i][j] -= f * a[k][j];
        }
    }
    return det;
}

// One step of inverse iteration: returns |(A - lambda I) x| / |x| for x = (A - lambda I)^-1 b,
// an upper bound of the smallest singular value of A - lambda I.
double singularity(const Matrix &a, cplx lambda) {
    const int n = a.rows;
    std::vector<std::vector<cplx>> m(n, std::vector<cplx>(n));
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) m[i][j] = a[i][j] - (i == j ? lambda : 0.0);
    const auto original = m;
    std::vector<cplx> x(n, 1.0);
    for (int k = 0; k < n; ++k) {
        int p = k;
        for (int i = k + 1; i < n; ++i)
            if (std::abs(m[i][k]) > std::abs(m[p][k])) p = i;
        std::swap(m[p], m[k]);
        std::swap(x[p], x[k]);
        if (m[k][k] == 0.0) return 0.0;  // exactly singular
        for (int i = k + 1; i < n; ++i) {
            const cplx f = m[i][k] / m[k][k];
            for (int j = k; j < n; ++j) m[i][j] -= f * m[k][j];
            x[i] -= f * x[k];
        }
    }
    for (int i = n - 1; i >= 0; --i) {
        for (int j = i + 1; j < n; ++j) x[i] -= m[i][j] * x[j];
        x[i] /= m[i][i];
    }
    double xnorm = 0.0, rnorm = 0.0;
    for (int i = 0; i < n; ++i) {
        cplx r = 0.0;
        for (int j = 0; j < n; ++j) r += original[i][j] * x[j];
        rnorm += std::norm(r);
        xnorm += std::norm(x[i]);
    }
    return std::sqrt(rnorm / xnorm);
}

TEST(LinZero, EmptySystemTouchesNothing) {
    Handle tx;
    double b = 7.0;
    double work = 5.0;
    EXPECT_EQ(TXLinZero(tx, 0, nullptr, &b, &work), 1);
    EXPECT_EQ(b, 7.0);
    EXPECT_EQ(work, 5.0);
}

TEST(LinZero, SolvesWellConditionedSystems) {
    Handle tx;
    std::mt19937 gen(11);
    for (int n = 1; n <= 12; ++n) {
        Matrix a = random_matrix(n, gen);
        for (int i = 0; i < n; ++i) a[i][i] += 3.0;  // diagonally dominant enough
        std::vector<double> x(n), b(n, 0.0);
        for (int i = 0; i < n; ++i) x[i] = i - 0.5 * n;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) b[i] += a[i][j] * x[j];
        auto work = lin_work(n);
        ASSERT_EQ(TXLinZero(tx, n, a.ptr(), b.data(), work.data()), 1);
        for (int i = 0; i < n; ++i) EXPECT_NEAR(b[i], x[i], 1e-12) << "n=" << n;
    }
}

TEST(LinZero, ZeroRowOrNonFiniteEntryIsRefusedWithMatrixAndRightHandSideUnchanged) {
    Handle tx;
    for (double last : {0.0, std::numeric_limits<double>::quiet_NaN(), HUGE_VAL}) {
        Matrix a{{1.0, 2.0, 3.0}, {4.0, 5.0, 6.0}, {0.0, 0.0, last}};
        const Matrix before(a);
        double b[3] = {1.0, 2.0, 3.0};
        auto work = lin_work(3);
        EXPECT_EQ(TXLinZero(tx, 3, a.ptr(), b, work.data()), 0);
        EXPECT_EQ(TXErrorTraxis(tx), TX_ERR_SINGULAR);
        EXPECT_EQ(std::vector<double>(a.data.begin(), a.data.end() - 1),
                  std::vector<double>(before.data.begin(), before.data.end() - 1));
        EXPECT_EQ(b[0], 1.0);
        EXPECT_EQ(b[1], 2.0);
        EXPECT_EQ(b[2], 3.0);
    }
}

TEST(LinZero, ZeroRowEndsTheProcessWithAReportByDefault) {
    Traxis tx = TXOpenTraxis(txtest::decay, 1, 1e-8, 0.01);
    Matrix a{{0.0}};
    double b = 1.0;
    auto work = lin_work(1);
    EXPECT_EXIT(TXLinZero(tx, 1, a.ptr(), &b, work.data()), testing::ExitedWithCode(1),
                "'LUdcmp': Singular matrix in LU decompostition");
    TXCloseTraxis(tx);
}

TEST(LinZero, RankDeficientMatrixGivesAHugeSolution) {
    Handle tx;
    Matrix a{{1.0, 2.0}, {2.0, 4.0}};
    double b[2] = {1.0, 1.0};
    auto work = lin_work(2);
    ASSERT_EQ(TXLinZero(tx, 2, a.ptr(), b, work.data()), 1);
    EXPECT_GT(std::fabs(b[1]), 1e15);
    EXPECT_TRUE(std::isfinite(b[0]) && std::isfinite(b[1]));
}

TEST(LinZero, RowPointersOfTheCallerStayInPlace) {
    Handle tx;
    Matrix a{{1.0, 0.0}, {5.0, 1.0}};  // pivoting exchanges the rows
    double *const first = a.row[0];
    double b[2] = {1.0, 5.0};
    auto work = lin_work(2);
    ASSERT_EQ(TXLinZero(tx, 2, a.ptr(), b, work.data()), 1);
    EXPECT_EQ(a.row[0], first);
    EXPECT_NEAR(b[0], 1.0, 1e-15);
    EXPECT_NEAR(b[1], 0.0, 1e-15);
}

TEST(Eigen, EmptyAndOneByOne) {
    Handle tx;
    EXPECT_EQ(TXEigen(tx, 0, nullptr, nullptr, nullptr), 1);
    Matrix a{{-2.5}};
    double er = 9.0, ei = 9.0;
    ASSERT_EQ(TXEigen(tx, 1, a.ptr(), &er, &ei), 1);
    EXPECT_EQ(er, -2.5);
    EXPECT_EQ(ei, 0.0);

    Matrix b{{4.0}};
    double ev = 0.0, ws[2];
    EXPECT_EQ(TXEigenVector(tx, 1, b.ptr(), 4.0, &ev, ws), 1);
    EXPECT_EQ(ev, 1.0);
}

TEST(Eigen, ComplexPairStoresTheNegativeImaginaryPartFirst) {
    Handle tx;
    Matrix a{{0.0, 2.0}, {-2.0, 0.0}};
    double er[2], ei[2];
    ASSERT_EQ(TXEigen(tx, 2, a.ptr(), er, ei), 1);
    EXPECT_EQ(er[0], 0.0);
    EXPECT_EQ(er[1], 0.0);
    EXPECT_EQ(ei[0], -2.0);
    EXPECT_EQ(ei[1], 2.0);
}

TEST(Eigen, DiagonalMatrixDeflatesInPlace) {
    Handle tx;
    const double d[5] = {3.0, -1.0, 7.0, 0.5, 0.0};
    Matrix a(5, 5);
    for (int i = 0; i < 5; ++i) a[i][i] = d[i];
    double er[5], ei[5];
    ASSERT_EQ(TXEigen(tx, 5, a.ptr(), er, ei), 1);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(er[i], d[i]);
        EXPECT_EQ(ei[i], 0.0);
    }
}

TEST(Eigen, RandomMatricesMatchTraceDeterminantAndAreSingularAtEachEigenvalue) {
    Handle tx;
    std::mt19937 gen(7);
    for (int n = 2; n <= 12; ++n) {
        for (int rep = 0; rep < 4; ++rep) {
            const Matrix a = random_matrix(n, gen);
            Matrix work(a);
            std::vector<double> er(n), ei(n);
            ASSERT_EQ(TXEigen(tx, n, work.ptr(), er.data(), ei.data()), 1);
            cplx sum = 0.0, product = 1.0;
            double trace = 0.0, scale = 1.0;
            for (int i = 0; i < n; ++i) {
                const cplx lambda(er[i], ei[i]);
                sum += lambda;
                product *= lambda;
                scale *= 1.0 + std::abs(lambda);
                trace += a[i][i];
                EXPECT_LT(singularity(a, lambda), 1e-12) << "n=" << n << " i=" << i;
                if (ei[i] < 0.0) {  // pair partner follows with the opposite sign
                    ASSERT_LT(i + 1, n);
                    EXPECT_EQ(ei[i + 1], -ei[i]);
                    EXPECT_EQ(er[i + 1], er[i]);
                }
            }
            EXPECT_NEAR(sum.real(), trace, 1e-12 * n);
            EXPECT_NEAR(sum.imag(), 0.0, 1e-12 * n);
            EXPECT_NEAR(product.real(), determinant(a), 1e-12 * scale);
            EXPECT_NEAR(product.imag(), 0.0, 1e-12 * scale);
        }
    }
}

TEST(Eigen, BadlyScaledMatrixIsBalanced) {
    Handle tx;
    // Similar to diag(1, 2, 3) through a scaling over 24 orders of magnitude.
    const double s[3] = {1e-12, 1.0, 1e12};
    const double b[3][3] = {{1.0, 0.3, 0.2}, {0.0, 2.0, 0.7}, {0.0, 0.0, 3.0}};
    Matrix a(3, 3);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) a[i][j] = s[i] * b[i][j] / s[j];
    double er[3], ei[3];
    ASSERT_EQ(TXEigen(tx, 3, a.ptr(), er, ei), 1);
    std::vector<double> sorted(er, er + 3);
    std::sort(sorted.begin(), sorted.end());
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(sorted[i], i + 1.0, 1e-12);
        EXPECT_EQ(ei[i], 0.0);
    }
}

TEST(Eigen, NonFiniteEntriesEndInTheIterationLimitInsteadOfHanging) {
    Handle tx;
    for (double bad : {std::numeric_limits<double>::quiet_NaN(), HUGE_VAL}) {
        Matrix a{{1.0, bad, 0.0}, {2.0, 3.0, 1.0}, {0.5, 1.0, 2.0}};
        double er[3], ei[3];
        EXPECT_EQ(TXEigen(tx, 3, a.ptr(), er, ei), 0);
        EXPECT_EQ(TXErrorTraxis(tx), TX_ERR_HQR_ITERATIONS);
    }
}

TEST(EigenVector, UnitLengthPositiveLastComponentAndAnEigenvector) {
    Handle tx;
    // Upper triangular: eigenvalues 2, -1, 0.5 with known eigenvectors up to scale.
    const Matrix a{{2.0, 1.0, 3.0}, {0.0, -1.0, 2.0}, {0.0, 0.0, 0.5}};
    const double lambda = 0.5;
    Matrix work(a);
    double ev[3], ws[4];
    ASSERT_EQ(TXEigenVector(tx, 3, work.ptr(), lambda, ev, ws), 1);
    EXPECT_NEAR(ev[0] * ev[0] + ev[1] * ev[1] + ev[2] * ev[2], 1.0, 1e-15);
    EXPECT_GT(ev[2], 0.0);
    for (int i = 0; i < 3; ++i) {
        const double av = a[i][0] * ev[0] + a[i][1] * ev[1] + a[i][2] * ev[2];
        EXPECT_NEAR(av, lambda * ev[i], 1e-14);
    }
}

// Max-norm residual |A v - r v| / |A| of the vector TXEigenVector returns into v.
double eigen_residual(const Matrix &a, double r, std::vector<double> &v, Traxis tx) {
    const int n = a.rows;
    Matrix work(a);
    std::vector<double> ws(2 * n);
    v.assign(n, 0.0);
    EXPECT_EQ(TXEigenVector(tx, n, work.ptr(), r, v.data(), ws.data()), 1);
    EXPECT_EQ(TXErrorTraxis(tx), 0);  // a success leaves no code behind
    double norm = 0.0, res = 0.0, length = 0.0;
    for (int i = 0; i < n; ++i) {
        double row = 0.0, av = 0.0;
        for (int j = 0; j < n; ++j) row += std::fabs(a[i][j]), av += a[i][j] * v[j];
        norm = std::max(norm, row);
        res = std::max(res, std::fabs(av - r * v[i]));
        length += v[i] * v[i];
    }
    EXPECT_NEAR(length, 1.0, 1e-15);
    return res / norm;
}

TEST(EigenVector, TrueEigenvectorForExactRepeatedAndDefectiveEigenvalues) {
    Handle tx;
    std::vector<double> v;
    // A - 5I exactly singular; the eigenvector of 5 is e1, with a zero last component.
    const Matrix jordan{{5.0, 1.0, 0.0}, {0.0, 5.0, 0.0}, {0.0, 0.0, 3.0}};
    EXPECT_LT(eigen_residual(jordan, 5.0, v, tx), 1e-15);
    EXPECT_EQ(v[0], 1.0);
    // S J S^-1 with S = [[1,0,0],[1,1,0],[0,1,1]]: J = [[3,1,0],[0,3,0],[0,0,-1]] (eigenvector
    // (1,1,0) of the defective 3) and J = diag(2, 2, 1).
    const Matrix defective{{2.0, 1.0, 0.0}, {-1.0, 4.0, 0.0}, {-4.0, 4.0, -1.0}};
    const Matrix repeated{{2.0, 0.0, 0.0}, {0.0, 2.0, 0.0}, {-1.0, 1.0, 1.0}};
    for (const Matrix *a : {&defective, &repeated}) {
        Matrix copy(*a);
        double er[3], ei[3];
        ASSERT_EQ(TXEigen(tx, 3, copy.ptr(), er, ei), 1);
        for (int k = 0; k < 3; ++k)
            for (double r : {er[k], std::round(er[k])})  // as computed, and exact
                EXPECT_LT(eigen_residual(*a, r, v, tx), 1e-13) << "r=" << r;
    }
    // No report of an inner step either: a terminating handle used to end the process here.
    Traxis loud = TXOpenTraxis(txtest::decay, 1, 1e-8, 0.01);
    Matrix a(jordan);
    double ev[3], ws[4];
    EXPECT_EQ(TXEigenVector(loud, 3, a.ptr(), 5.0, ev, ws), 1);
    TXCloseTraxis(loud);
    Matrix bad{{1.0, 0.0}, {0.0, std::nan("")}};
    EXPECT_EQ(TXEigenVector(tx, 2, bad.ptr(), 1.0, ev, ws), 0);
    EXPECT_EQ(TXErrorTraxis(tx), TX_ERR_SINGULAR);
}

}  // namespace
