#pragma once

#include <functional>

// Runs one step a user started (a click, a key, a store on leaving a row) so that its failure is
// reported where every other failure is; the step's remaining work is not done.
using StepRunner = std::function<void(const std::function<void()>&)>;
