#pragma once

#include <QString>
#include <QStringList>

namespace assembly {

// One entry of a launcher choice and the command-line arguments it stands for.
struct ChoiceItem
{
    QString text;
    QStringList arguments;

    bool operator==(const ChoiceItem &other) const { return text == other.text && arguments == other.arguments; }
    bool operator!=(const ChoiceItem &other) const { return !(*this == other); }
};

} // namespace assembly
