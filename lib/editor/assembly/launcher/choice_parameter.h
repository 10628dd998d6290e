#pragma once

#include "editor/assembly/launcher/choice_item.h"

#include <QString>
#include <QVector>

namespace assembly {

// A launcher choice: the index of the chosen item, -1 for none.
struct ChoiceParameter
{
    QString label;
    QVector<ChoiceItem> items;
    int value = 0;

    bool operator==(const ChoiceParameter &other) const
    {
        return label == other.label && items == other.items && value == other.value;
    }
    bool operator!=(const ChoiceParameter &other) const { return !(*this == other); }
};

} // namespace assembly
