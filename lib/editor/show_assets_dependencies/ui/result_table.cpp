#include "editor/show_assets_dependencies/ui/result_table.h"

#include "editor/show_assets_dependencies/model/roles.h"
#include "editor/show_assets_dependencies/show_dependencies.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QMenu>
#include <QSet>
#include <QTableView>
#include <QVBoxLayout>

namespace show_deps {
namespace result_table {

void setUpWindow(QWidget *window, QTableView *table, const QString &title, const QString &object_name)
{
    window->setWindowFlags(Qt::Dialog);
    window->setWindowFlags(window->windowFlags() & ~Qt::WindowContextHelpButtonHint);
    window->setWindowTitle(title);
    window->setObjectName(object_name);
    window->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto *layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(table);
    window->setMinimumSize(table->model()->columnCount() * 100, 60);
    window->resize(600, 400);
}

QTableView *create(QAbstractItemModel *model)
{
    auto *table = new QTableView;
    table->setModel(model);
    table->setAlternatingRowColors(false);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setSelectionBehavior(QAbstractItemView::SelectItems);
    table->setContextMenuPolicy(Qt::CustomContextMenu);
    table->verticalHeader()->hide();
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table->horizontalHeader()->setMinimumSectionSize(100);
    table->setShowGrid(true);
    return table;
}

Velmora::Vector<Velmora::UGUID> guidsOfIndexes(const QModelIndexList &indexes)
{
    Velmora::Vector<Velmora::UGUID> guids;
    QSet<Velmora::UGUID> seen;
    for (const QModelIndex &index : indexes) {
        const QVariant value = index.data(GUID_ROLE);
        if (value.isNull())
            continue;
        const Velmora::UGUID guid = value.value<Velmora::UGUID>();
        if (guid.isEmpty() || seen.contains(guid))
            continue;
        seen.insert(guid);
        guids.append(guid);
    }
    return guids;
}

Velmora::Vector<Velmora::UGUID> toVector(const QVector<Velmora::UGUID> &guids)
{
    Velmora::Vector<Velmora::UGUID> vector;
    vector.reserve(guids.size());
    for (const Velmora::UGUID &guid : guids)
        vector.append(guid);
    return vector;
}

bool isGuidSelected(const QTableView *table, const Velmora::UGUID &guid)
{
    const QModelIndexList indexes = table->selectionModel()->selectedIndexes();
    for (const QModelIndex &index : indexes) {
        if (index.data(GUID_ROLE).value<Velmora::UGUID>() == guid)
            return true;
    }
    return false;
}

void execQueryMenu(QWidget *parent, const QPoint &global_position, const Velmora::Vector<Velmora::UGUID> &guids,
                   const QString &using_text, const QString &used_text)
{
    QMenu menu;
    QAction *dependents = menu.addAction(using_text);
    dependents->setShortcut(QKeySequence());
    QObject::connect(dependents, &QAction::triggered, parent, [guids] { showDependents(guids); });
    QAction *dependencies = menu.addAction(used_text);
    dependencies->setShortcut(QKeySequence());
    QObject::connect(dependencies, &QAction::triggered, parent, [guids] { showDependencies(guids); });
    menu.exec(global_position);
}

} // namespace result_table
} // namespace show_deps
