#include "platform/base/assertion.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace pf {

namespace {

std::atomic<AssertHandler> g_handler{nullptr};
std::atomic<unsigned> g_failures{0};

void defaultHandler([[maybe_unused]] const AssertionInfo& info)
{
#ifndef NDEBUG
    // The one place the layer writes to the terminal: the process is about to stop and the reason must be seen.
    std::fprintf(stderr, "%s:%d: assertion failed: %s (%s)\n", info.file, info.line, info.expression, info.message);
    std::abort();
#endif
}

} // namespace

AssertHandler setAssertHandler(AssertHandler handler)
{
    return g_handler.exchange(handler);
}

unsigned assertionFailureCount()
{
    return g_failures.load();
}

void assertionFailed(const char* expression, const char* message, const char* file, int line)
{
    g_failures.fetch_add(1);
    const AssertionInfo info{expression, message, file, line};
    const AssertHandler handler = g_handler.load();
    (handler != nullptr ? handler : defaultHandler)(info);
}

} // namespace pf
