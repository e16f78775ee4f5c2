// Runs a piece of work on a thread with a stack large enough for deeply
// nested input (the builder recurses once per nesting level).
#pragma once

#include <cstddef>
#include <functional>

namespace flowchart {

inline constexpr size_t kBuildStackBytes = size_t{1} << 30;  // reserved, touched only as used

// Runs work to completion on a thread with a stack of stackBytes where the
// platform lets a stack size be chosen, otherwise on the calling thread.
// An exception thrown by work is rethrown here.
void runWithLargeStack(const std::function<void()>& work, size_t stackBytes = kBuildStackBytes);

}  // namespace flowchart
