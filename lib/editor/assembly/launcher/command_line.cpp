#include "editor/assembly/launcher/command_line.h"

#include <QtDebug>

#include <algorithm>

namespace assembly {

namespace {

QStringList chosenArguments(const LauncherParameter &parameter)
{
    switch (parameter.type) {
    case LauncherParameterType::Choice: {
        const ChoiceParameter &choice = parameter.choice;
        if (choice.value == -1)
            return {};
        if (choice.value >= 0 && choice.value < choice.items.size())
            return choice.items.at(choice.value).arguments;
        qWarning() << "Build Tool: convertToArgs, Choice parameter has an invalid index (" << choice.label << ").";
        return {};
    }
    case LauncherParameterType::Check: {
        const CheckParameter &check = parameter.check;
        switch (check.value) {
        case -1:
            return {};
        case 0:
            return check.off_args;
        case 1:
            return check.on_args;
        default:
            qWarning() << "Build Tool: convertToArgs, Check parameter has an invalid state (" << check.label << ").";
            return {};
        }
    }
    case LauncherParameterType::None:
        break;
    }
    return {};
}

} // namespace

QStringList convertToArgs(const CommandLine &command_line)
{
    QStringList result;
    for (const LauncherParameter &parameter : command_line.params) {
        const QStringList chosen = chosenArguments(parameter);
        const bool meaningful = std::any_of(chosen.cbegin(), chosen.cend(),
                                            [](const QString &argument) { return !argument.isEmpty(); });
        if (meaningful)
            result << chosen;
    }
    result << command_line.args;
    return result;
}

} // namespace assembly
