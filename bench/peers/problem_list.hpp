// The problems of the comparison, and explicit instantiation of a solver factory for each.
#pragma once

#include "neuron_problem.hpp"
#include "problems.hpp"

#define TXPEERS_FOR_EACH_PROBLEM(FACTORY)                                                  \
    template std::unique_ptr<Solver> FACTORY<txbench::Lorenz>(double, double);            \
    template std::unique_ptr<Solver> FACTORY<txbench::Arenstorf>(double, double);         \
    template std::unique_ptr<Solver> FACTORY<txbench::VanDerPol>(double, double);         \
    template std::unique_ptr<Solver> FACTORY<txbench::Neuron>(double, double);
