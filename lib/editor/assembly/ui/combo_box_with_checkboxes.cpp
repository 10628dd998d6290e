#include "editor/assembly/ui/combo_box_with_checkboxes.h"

#include "editor/assembly/ui/combo_box_with_checkboxes_delegate.h"

namespace assembly {

ComboBoxWithCheckboxes::ComboBoxWithCheckboxes(QWidget *parent)
    : QComboBox(parent)
    , delegate_(new private_impl::ComboBoxWithCheckboxesDelegate(this))
{
    setItemDelegate(delegate_);
    connect(delegate_, &private_impl::ComboBoxWithCheckboxesDelegate::dataChanged, this,
            [this]() { last_check_.start(); });
}

ComboBoxWithCheckboxes::~ComboBoxWithCheckboxes() = default;

void ComboBoxWithCheckboxes::hidePopup()
{
    if (last_check_.isValid() && last_check_.elapsed() < KEEP_OPEN_MS) {
        last_check_.invalidate();
        return;
    }
    QComboBox::hidePopup();
}

} // namespace assembly
