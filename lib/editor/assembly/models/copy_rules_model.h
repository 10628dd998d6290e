#pragma once

#include "editor/assembly/core/copy_rule.h"

#include <QAbstractTableModel>
#include <QMetaType>
#include <QVector>

namespace assembly {

using CopyRuleList = QVector<CopyRule>;

// The user's copy rules as a two-column table: column 0 is where a rule
// copies from (an absolute path), column 1 where it copies to (relative to
// the build folder). The model edits a list it does not own; its owner
// resets the model whenever the list is replaced or changes length.
class CopyRulesModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { COLUMN_FROM = 0, COLUMN_TO = 1, COLUMN_COUNT = 2 };

    explicit CopyRulesModel(QObject *parent = nullptr);
    ~CopyRulesModel() override;

    // Replaces the list inside a model reset; null shows no rows.
    void setRules(CopyRuleList *rules);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // Edit role only: the text replaces the field; dataChanged only when it
    // differs. True for an accepted cell, false for anything refused.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

private:
    bool isRuleCell(const QModelIndex &index) const;

    CopyRuleList *rules_ = nullptr;
};

} // namespace assembly

Q_DECLARE_METATYPE(assembly::CopyRule)
