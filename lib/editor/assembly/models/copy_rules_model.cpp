#include "editor/assembly/models/copy_rules_model.h"

namespace assembly {

CopyRulesModel::CopyRulesModel(QObject *parent)
    : QAbstractTableModel(parent)
{}

CopyRulesModel::~CopyRulesModel() = default;

void CopyRulesModel::setRules(CopyRuleList *rules)
{
    beginResetModel();
    rules_ = rules;
    endResetModel();
}

int CopyRulesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !rules_ ? 0 : rules_->size();
}

int CopyRulesModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : COLUMN_COUNT;
}

bool CopyRulesModel::isRuleCell(const QModelIndex &index) const
{
    return index.isValid() && rules_ && index.model() == this && index.row() >= 0 && index.row() < rules_->size()
            && (index.column() == COLUMN_FROM || index.column() == COLUMN_TO);
}

QVariant CopyRulesModel::data(const QModelIndex &index, int role) const
{
    if (!isRuleCell(index) || (role != Qt::DisplayRole && role != Qt::EditRole))
        return QVariant();
    const CopyRule &rule = rules_->at(index.row());
    return index.column() == COLUMN_FROM ? rule.from : rule.to;
}

Qt::ItemFlags CopyRulesModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return QAbstractTableModel::flags(index);
    return QAbstractTableModel::flags(index) | Qt::ItemIsEditable;
}

QVariant CopyRulesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QVariant();
    if (section == COLUMN_FROM)
        return tr("From (Absolute Path)");
    if (section == COLUMN_TO)
        return tr("To (Relative Path)");
    return QVariant();
}

bool CopyRulesModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !isRuleCell(index))
        return false;
    CopyRule &rule = (*rules_)[index.row()];
    QString &field = index.column() == COLUMN_FROM ? rule.from : rule.to;
    const QString text = value.toString();
    if (field != text) {
        field = text;
        emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    }
    return true;
}

} // namespace assembly
