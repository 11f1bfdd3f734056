// The library-wide error stream.
#pragma once

#include <cstdio>

namespace tx::detail {

std::FILE *error_stream() noexcept;
void set_error_stream(std::FILE *where) noexcept;

}  // namespace tx::detail
