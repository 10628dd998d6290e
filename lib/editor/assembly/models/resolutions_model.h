#pragma once

#include "editor/assembly/core/resolution.h"

#include <QAbstractListModel>
#include <QVector>

namespace assembly {

// The standard screen resolutions as a list with check boxes: a checked row
// is offered by the build's launcher. Each row shows its label
// ("1280x720 [16:9]") and carries its Resolution in RESOLUTION_ROLE.
class ResolutionsModel : public QAbstractListModel
{
    Q_OBJECT

public:
    static constexpr int RESOLUTION_ROLE = Qt::UserRole + 1;

    explicit ResolutionsModel(QObject *parent = nullptr);
    ~ResolutionsModel() override;

    // Replaces every row inside a model reset, all unchecked.
    void setResolutions(const QVector<Resolution> &resolutions);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // Check-state role only, with a value convertible to an integer: checked
    // for Qt::Checked, unchecked otherwise; dataChanged only when the flag
    // changes. False when refused.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

    // The row of the first entry with this resolution; -1 when none.
    int rowOf(const Resolution &resolution) const;
    bool isChecked(int row) const;

private:
    struct Entry
    {
        Resolution resolution;
        QString label;
        bool checked = false;
    };

    bool isEntry(const QModelIndex &index) const;

    QVector<Entry> entries_;
};

} // namespace assembly
