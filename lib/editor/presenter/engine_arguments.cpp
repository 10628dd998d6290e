#include "editor/presenter/engine_arguments.h"

namespace Editor {

EngineArguments::EngineArguments(int argc, char **argv)
{
    for (int i = 0; i < argc; ++i)
        args_.append(argv[i]);
    args_.append(const_cast<char *>(SKIP_GUIDS_DB));
}

} // namespace Editor
