#include "editor_core/base/Assert.h"

namespace base {

void printAssertMessage(const char *expr, const char *file, int line)
{
    Velmora::Log::message("SOFT ASSERT: \"%s\" in file %s, line %d\n", expr ? expr : "", file ? file : "", line);
}

} // namespace base
