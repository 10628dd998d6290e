#pragma once

#include <QItemDelegate>

namespace assembly {
namespace private_impl {

// Draws the rows of a ComboBoxWithCheckboxes popup and toggles their check
// boxes: a left press, release or double click inside the check box (as
// drawn), or Space/Select, toggles at once and announces it by dataChanged().
class ComboBoxWithCheckboxesDelegate : public QItemDelegate
{
    Q_OBJECT

public:
    explicit ComboBoxWithCheckboxesDelegate(QObject *parent = nullptr);
    ~ComboBoxWithCheckboxesDelegate() override;

    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;

    // Where the check box of a row is drawn within option.rect.
    QRect checkRect(const QStyleOptionViewItem &option) const;

signals:
    void dataChanged();
};

} // namespace private_impl
} // namespace assembly
