#pragma once

#include <QVarLengthArray>

namespace Editor {

// The argument array handed to the engine: the process arguments in order,
// then "-skip_guidsdb". There is no terminating null: the engine copies
// exactly count() entries. Room for 128 pointers without a heap allocation.
class EngineArguments
{
public:
    static constexpr const char *SKIP_GUIDS_DB = "-skip_guidsdb";

    EngineArguments(int argc, char **argv);

    int count() const { return int(args_.size()); }
    char **data() { return args_.data(); }

private:
    QVarLengthArray<char *, 128> args_;
};

} // namespace Editor
