#pragma once

#include "editor/assembly/launcher/launcher_parameter.h"

#include <QStringList>

namespace assembly {

// What a launcher passes to the main executable: free arguments and the
// parameters the launcher's window offers.
struct CommandLine
{
    QStringList args;
    LauncherParameters params;

    bool operator==(const CommandLine &other) const { return args == other.args && params == other.params; }
    bool operator!=(const CommandLine &other) const { return !(*this == other); }
};

// The arguments a launcher script passes: the chosen arguments of every
// parameter in order (a chosen list of only empty strings adds nothing), then
// the free arguments. An invalid choice index or check state logs a warning
// and adds nothing.
QStringList convertToArgs(const CommandLine &command_line);

} // namespace assembly
