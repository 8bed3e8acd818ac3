// No exception may unwind through Windows' own frames. A window or dialog procedure catches
// everything, keeps the first exception here and ends its dialog; the code that entered the
// modal loop or dispatched the message rethrows it once Windows has handed control back.
#pragma once

namespace callback_guard {

// Call inside a catch (...) block.
void Keep();
// Throws the kept exception, if any, and forgets it.
void RethrowKept();

} // namespace callback_guard
