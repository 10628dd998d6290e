#include "editor/assembly/ui/combo_box_with_checkboxes_delegate.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace assembly {
namespace private_impl {

ComboBoxWithCheckboxesDelegate::ComboBoxWithCheckboxesDelegate(QObject *parent)
    : QItemDelegate(parent)
{}

ComboBoxWithCheckboxesDelegate::~ComboBoxWithCheckboxesDelegate() = default;

QRect ComboBoxWithCheckboxesDelegate::checkRect(const QStyleOptionViewItem &option) const
{
    QRect check = doCheck(option, option.rect, Qt::Checked);
    QRect empty;
    doLayout(option, &check, &empty, &empty, false);
    return check;
}

bool ComboBoxWithCheckboxesDelegate::editorEvent(QEvent *event, QAbstractItemModel *model,
                                                 const QStyleOptionViewItem &option, const QModelIndex &index)
{
    if (!event || !model)
        return false;
    const Qt::ItemFlags flags = model->flags(index);
    if (!(flags & Qt::ItemIsUserCheckable) || !(flags & Qt::ItemIsEnabled) || !(option.state & QStyle::State_Enabled))
        return false;
    const QVariant value = index.data(Qt::CheckStateRole);
    if (!value.isValid())
        return false;

    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: {
        const auto mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton || !checkRect(option).contains(mouse->pos()))
            return false;
        break;
    }
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key != Qt::Key_Space && key != Qt::Key_Select)
            return false;
        break;
    }
    default:
        return false;
    }

    auto state = Qt::CheckState(value.toInt());
    if (flags & Qt::ItemIsUserTristate)
        state = Qt::CheckState((state + 1) % 3);
    else
        state = state == Qt::Checked ? Qt::Unchecked : Qt::Checked;
    const bool result = model->setData(index, state, Qt::CheckStateRole);
    emit dataChanged();
    return result;
}

} // namespace private_impl
} // namespace assembly
