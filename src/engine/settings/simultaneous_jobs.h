#pragma once
// How many files a batch converts at once: the user's choice, kept to what
// the processor can run side by side.

#include <string_view>

namespace mirvane {

// The processor's cores as the standard library counts them; 1 when unknown.
unsigned ProcessorCores();

// The number in text (the settings' [Option] Jobs): 1 when text is empty, not
// a whole decimal number, or below 1; never more than cores (at least 1).
int SimultaneousJobs(std::string_view text, unsigned cores);

}  // namespace mirvane
