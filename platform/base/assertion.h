#pragma once
// PF_ASSERT catches misuse by our own code (wrong thread, unbalanced release, a forbidden raster operation), never bad
// input. Debug and test builds abort with the message; release builds count the failure and carry on, and the
// caller returns something harmless. Tests that provoke misuse on purpose install a handler that records it.

namespace pf {

struct AssertionInfo {
    const char* expression;
    const char* message;
    const char* file;
    int line;
};

using AssertHandler = void (*)(const AssertionInfo&);

AssertHandler setAssertHandler(AssertHandler handler); // null restores the default; returns the previous one
unsigned assertionFailureCount();                      // process-wide, every build type
[[gnu::cold]] void assertionFailed(const char* expression, const char* message, const char* file, int line);

} // namespace pf

#define PF_ASSERT(condition, message)                                                                                  \
    ((condition) ? static_cast<void>(0) : ::pf::assertionFailed(#condition, message, __FILE__, __LINE__))
