#pragma once

#include <QString>
#include <QStringList>

namespace assembly {

// A launcher check box: value 0 unchecked, 1 checked, -1 neither.
struct CheckParameter
{
    QString label;
    QStringList off_args;
    QStringList on_args;
    int value = 0;

    bool operator==(const CheckParameter &other) const
    {
        return label == other.label && off_args == other.off_args && on_args == other.on_args && value == other.value;
    }
    bool operator!=(const CheckParameter &other) const { return !(*this == other); }
};

} // namespace assembly
