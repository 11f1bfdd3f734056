// Every installed C++ header compiles on its own against the installed tree.
#include "tx.h"
#if __has_include("tx.hpp")
#include "tx.hpp"
#endif

int main() { return 0; }
