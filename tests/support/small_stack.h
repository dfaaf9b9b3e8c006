// A thread with a small stack, for code that must not need a deep one.
#pragma once

#include <cstddef>
#include <functional>

// Runs work on a thread of its own whose stack holds stackBytes and waits for it to end; false
// when no such thread could be started.
bool RunOnSmallStack(size_t stackBytes, const std::function<void()>& work);
