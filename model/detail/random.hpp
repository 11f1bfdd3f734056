// Generator state that tests need to reset between cases.
#pragma once

namespace tx::detail {

// Forgets the table and the spare deviate: the next draw seeds from lidum.
void reset_generators();

}  // namespace tx::detail
