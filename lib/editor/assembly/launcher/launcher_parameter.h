#pragma once

#include "editor/assembly/core/assembly_enums.h"
#include "editor/assembly/launcher/check_parameter.h"
#include "editor/assembly/launcher/choice_parameter.h"

#include <QVector>

namespace assembly {

// One entry of the launcher's window; only the part of its type is meaningful.
struct LauncherParameter
{
    LauncherParameterType type = LauncherParameterType::None;
    ChoiceParameter choice;
    CheckParameter check;

    bool operator==(const LauncherParameter &other) const
    {
        return type == other.type && choice == other.choice && check == other.check;
    }
    bool operator!=(const LauncherParameter &other) const { return !(*this == other); }
};

using LauncherParameters = QVector<LauncherParameter>;

} // namespace assembly
