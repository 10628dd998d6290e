#pragma once

#include <velmora/UGUID.h>
#include <velmora/Vector.h>

#include <QModelIndexList>
#include <QVector>

class QAbstractItemModel;
class QPoint;
class QString;
class QTableView;
class QWidget;

// What the two result windows share: their table's set-up, the GUIDs of
// cells, the main-row spans and the context menu that starts a new query.
namespace show_deps {
namespace result_table {

// A table over model: single cells selectable one at a time, stretched
// columns, no vertical header, a custom context menu. No parent (the
// window's layout gives it one).
QTableView *create(QAbstractItemModel *model);

// Dresses window as a result dialog around its table: dialog flags without
// the help button, title, object name, the table filling a margin-less
// layout, a minimum width of 100 per column and a 600 x 400 start size.
void setUpWindow(QWidget *window, QTableView *table, const QString &title, const QString &object_name);

// The GUIDs of the cells, each once, in first-seen order; cells without a
// GUID are skipped.
Velmora::Vector<Velmora::UGUID> guidsOfIndexes(const QModelIndexList &indexes);

// The same GUIDs as an engine vector (what the editor's selectors take).
Velmora::Vector<Velmora::UGUID> toVector(const QVector<Velmora::UGUID> &guids);

// Whether a selected cell of the table shows guid.
bool isGuidSelected(const QTableView *table, const Velmora::UGUID &guid);

// Spans column 0 over the table rows of each main row.
template<typename DataT>
void spanMainRows(QTableView *table, const DataT &data);

// Spans column over runs of consecutive table rows of one main row that
// show the same, non-empty GUID.
template<typename DataT>
void spanEqualSubRows(QTableView *table, const DataT &data, int column);

// The menu of a result table at a global position: using_text starts "Assets
// Using This One", used_text "Assets Used" for guids. Returns when the menu
// closes.
void execQueryMenu(QWidget *parent, const QPoint &global_position, const Velmora::Vector<Velmora::UGUID> &guids,
                   const QString &using_text, const QString &used_text);

} // namespace result_table
} // namespace show_deps

#include "editor/show_assets_dependencies/ui/result_table_spans.h"
