#include "platform/check.h"

#include <atomic>
#include <cstdio>

namespace platform {

namespace {

void toStandardError(const char *condition, const char *file, int line)
{
    std::fprintf(stderr, "Ravelind: check \"%s\" failed at %s:%d\n", condition, file, line);
}

std::atomic<CheckHandler> g_handler{&toStandardError};

} // namespace

CheckHandler setCheckHandler(CheckHandler handler)
{
    return g_handler.exchange(handler != nullptr ? handler : &toStandardError);
}

void reportFailedCheck(const char *condition, const char *file, int line)
{
    g_handler.load()(condition, file, line);
}

} // namespace platform
