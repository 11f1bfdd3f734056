// A handle with registered parameters and an attached, filled bifurcation record, and the
// text a printer writes, for the tests of the continuation printers and the framed report.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "systems.hpp"
#include "tx.h"

namespace txtest {

inline void zero_field(double, double *, double *f) { f[0] = f[1] = f[2] = 0.0; }

struct RecordHandle {
    Traxis tx;
    TraxisBif b;
    std::vector<double> values;     // the parameters' current values
    std::vector<double *> address;  // what the registry holds

    // order n (at most 3), np parameters with current values 10, 20, ...
    RecordHandle(int n, int np) : tx(TXOpenTraxis(zero_field, n, 1e-8, 0.01)), values(np) {
        tx->TerminateOnFatalError = 0;
        for (int i = 0; i < np; ++i) values[i] = 10.0 * (i + 1);
        for (double &v : values) address.push_back(&v);
        tx->nparam = np;
        tx->c = address.data();
        b = TXCreateBif(tx);
        tx->txb = b;
    }
    ~RecordHandle() {
        tx->c = nullptr;
        tx->nparam = 0;
        TXCloseTraxis(tx);
    }
    RecordHandle(const RecordHandle &) = delete;
    RecordHandle &operator=(const RecordHandle &) = delete;
    operator Traxis() const { return tx; }
};

// Everything f writes to the stream it is given.
template <class F>
std::string written(F &&f) {
    char *buf = nullptr;
    std::size_t size = 0;
    std::FILE *s = open_memstream(&buf, &size);
    f(s);
    std::fclose(s);
    std::string text(buf, size);
    std::free(buf);
    return text;
}

}  // namespace txtest
