// Small dense matrices as row pointers, the form the library takes them in.
#pragma once

#include <algorithm>
#include <initializer_list>
#include <vector>

namespace txtest {

struct Matrix {
    int rows, cols;
    std::vector<double> data;
    std::vector<double *> row;

    Matrix(int r, int c) : rows(r), cols(c), data(static_cast<std::size_t>(r * c)), row(r) {
        for (int i = 0; i < r; ++i) row[i] = data.data() + i * c;
    }
    Matrix(std::initializer_list<std::initializer_list<double>> values)
        : Matrix(static_cast<int>(values.size()), static_cast<int>(values.begin()->size())) {
        int i = 0;
        for (const auto &r : values) {
            int j = 0;
            for (double v : r) row[i][j++] = v;
            ++i;
        }
    }
    Matrix(const Matrix &o) : Matrix(o.rows, o.cols) {
        std::copy(o.data.begin(), o.data.end(), data.begin());
    }
    Matrix &operator=(const Matrix &) = delete;

    static Matrix identity(int n, int cols) {
        Matrix m(n, cols);
        for (int i = 0; i < n; ++i) m.row[i][i] = 1.0;
        return m;
    }
    double **ptr() { return row.data(); }
    double *operator[](int i) { return row[i]; }
    const double *operator[](int i) const { return row[i]; }
};

}  // namespace txtest
