#include "editor_core/UiCommon.h"

#include <QAbstractButton>

#include <algorithm>

namespace UiCommon {

void setButtonMinWidth(QAbstractButton *button, int min_width)
{
    if (!button)
        return;
    button->setMinimumWidth(std::max(min_width, button->sizeHint().width()));
}

} // namespace UiCommon
