#pragma once

// RAVELIND_CHECK(condition, action): for states that cannot happen unless the program has a
// fault. When `condition` is false it reports the condition, file and line, then runs
// `action`, the stated recovery (return a failure, skip the item, `break`). It never aborts:
// a fault in one corner must not take the user's window and unsaved work down with it.
//
//     RAVELIND_CHECK(row < m_rows.size(), return {});
//     RAVELIND_CHECK(reporter != nullptr, return platform::kUnspecifiedFailure);
//
// The report goes to standard error, or to the handler a test installs.

namespace platform {

// Receives each failed check. Called on the thread where the check failed.
using CheckHandler = void (*)(const char *condition, const char *file, int line);

// Installs `handler` (nullptr: standard error again) and returns the previous one.
// Meant for tests; install it before the threads that may fail a check start.
CheckHandler setCheckHandler(CheckHandler handler);

// Reports one failed check through the current handler.
void reportFailedCheck(const char *condition, const char *file, int line);

} // namespace platform

#define RAVELIND_CHECK(condition, action)                                                          \
    if (condition) {                                                                               \
    } else {                                                                                       \
        ::platform::reportFailedCheck(#condition, __FILE__, __LINE__);                             \
        action;                                                                                    \
    }                                                                                              \
    do {                                                                                           \
    } while (false)
