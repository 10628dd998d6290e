#include "editor/assembly/ui/copy_rules_widget.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace assembly {

namespace {

// Room for a few rules before the table scrolls.
const int MINIMUM_TABLE_HEIGHT = 120;

} // namespace

CopyRulesWidget::CopyRulesWidget(QWidget *parent)
    : QWidget(parent)
{
    model_ = new CopyRulesModel(this);
    model_->setRules(&rules_);

    auto layout = new QVBoxLayout(this);
    auto buttons = new QHBoxLayout;
    add_button_ = new QPushButton(tr("Add Line"), this);
    buttons->addWidget(add_button_);
    buttons->addStretch();
    layout->addLayout(buttons);

    view_ = new QTableView(this);
    view_->setModel(model_);
    view_->setAlternatingRowColors(true);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setShowGrid(true);
    view_->verticalHeader()->hide();
    view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    view_->horizontalHeader()->setMinimumSectionSize(100);
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    view_->setMinimumHeight(MINIMUM_TABLE_HEIGHT);
    layout->addWidget(view_);

    connect(add_button_, &QPushButton::clicked, this, &CopyRulesWidget::add_line);
    connect(model_, &CopyRulesModel::dataChanged, this, &CopyRulesWidget::dataChanged);
    connect(view_, &QTableView::customContextMenuRequested, this, &CopyRulesWidget::showContextMenu);
}

CopyRulesWidget::~CopyRulesWidget()
{
    // The list goes before the child widgets, which may still read the model.
    model_->setRules(nullptr);
}

void CopyRulesWidget::setRules(const CopyRuleList &rules)
{
    rules_ = rules;
    model_->setRules(&rules_);
    emit dataChanged();
}

void CopyRulesWidget::add_line()
{
    rules_.append(CopyRule());
    model_->setRules(&rules_);
    emit dataChanged();
    select_line(rules_.size() - 1);
}

void CopyRulesWidget::remove_line(int row)
{
    if (row < 0 || row >= rules_.size())
        return;
    rules_.removeAt(row);
    model_->setRules(&rules_);
    emit dataChanged();
}

void CopyRulesWidget::select_line(int row)
{
    if (row < 0 || row >= rules_.size())
        return;
    const QModelIndex from = model_->index(row, CopyRulesModel::COLUMN_FROM);
    const QModelIndex to = model_->index(row, CopyRulesModel::COLUMN_TO);
    view_->selectionModel()->select(QItemSelection(from, to), QItemSelectionModel::ClearAndSelect);
    view_->selectionModel()->setCurrentIndex(from, QItemSelectionModel::NoUpdate);
    view_->scrollTo(from);
    view_->openPersistentEditor(from);
    // What the user types next goes into the new cell.
    if (QWidget *editor = view_->indexWidget(from))
        editor->setFocus();
}

int CopyRulesWidget::contextMenuRow(const QPoint &point) const
{
    if (!view_->indexAt(point).isValid())
        return -1;
    const QModelIndexList selected = view_->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void CopyRulesWidget::showContextMenu(const QPoint &point)
{
    const int row = contextMenuRow(point);
    if (row < 0)
        return;
    QMenu menu(this);
    QAction *remove = menu.addAction(tr("Remove"));
    if (menu.exec(view_->viewport()->mapToGlobal(point)) == remove)
        remove_line(row);
}

} // namespace assembly
