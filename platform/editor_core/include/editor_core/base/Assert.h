#pragma once

#include <velmora/Log.h>

namespace base {

// Logs "SOFT ASSERT: "expr" in file F, line N" and returns.
void printAssertMessage(const char *expr, const char *file, int line);

} // namespace base

// Hard assertion of editor-core: a broken call contract. Stays compiled in
// release builds and ends in Velmora::Log::fatal.
#define EC_ASSERT(expr)                                                                                                \
    do {                                                                                                               \
        if (!(expr))                                                                                                   \
            ::Velmora::Log::fatal("%s:%d: Assertion: '%s'\n", __FILE__, __LINE__, #expr);                              \
    } while (false)

// Soft assertion: logs through base::printAssertMessage and goes on.
#define EC_SOFT_ASSERT(expr)                                                                                           \
    do {                                                                                                               \
        if (!(expr))                                                                                                   \
            ::base::printAssertMessage(#expr, __FILE__, __LINE__);                                                     \
    } while (false)
