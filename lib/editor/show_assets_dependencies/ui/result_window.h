#pragma once

#include <velmora/UGUID.h>
#include <velmora/Vector.h>

#include <QModelIndexList>
#include <QWidget>

#include <memory>

class QItemSelection;
class QTableView;

namespace Editor {
class Selector;
}

namespace show_deps {

// What the two result windows share over their table data (DataT) and model
// (ModelT): the table (single cells, stretched columns, no vertical header),
// column 0 spanned over each main row, the selection hand-over to the editor
// guarded against re-entry, the context menu that starts a new query on the
// selected asset, and the asset manager's changes applied in place. A
// subclass's constructor calls setUp with its title; its slots forward to
// assetChangedIn and assetRemovedIn.
template<typename DataT, typename ModelT>
class ResultWindow : public QWidget
{
public:
    ~ResultWindow() override;

    const DataT *tableData() const { return data_.get(); }
    ModelT *model() const { return model_; }
    QTableView *table() const { return table_; }

protected:
    // Takes the data; the model and the table are made here.
    ResultWindow(std::unique_ptr<DataT> data, QWidget *parent);

    // Where a window made without data says so in its soft assertion line:
    // the source and line are part of the line's fixed text.
    struct AssertPlace
    {
        const char *source;
        int line;
    };

    // Dresses the window as a result dialog and shows the data. Without data
    // the window stays empty (soft assertion "data_" at no_data).
    void setUp(const QString &title, const QString &object_name, AssertPlace no_data);

    void assetChangedIn(const Velmora::UGUID &asset_guid);
    void assetRemovedIn(const Velmora::UGUID &asset_guid);

    // Clears the spans, shows the data anew and spans column 0 over the
    // table rows of each main row. Subclasses add their own spans.
    virtual void updateSpans();
    // Spans column over runs of table rows that show the same, non-empty
    // GUID, in table order: a run may go on from one main row into the next.
    void spanEqualSubRows(int column);

    // The editor's selector for the newly selected cells (never empty); null
    // for none.
    virtual Editor::Selector *selectorFor(const QModelIndexList &indexes) = 0;
    // Whether the context menu opens over the selected cells (not empty).
    virtual bool offersMenuFor(const QModelIndexList & /*indexes*/) const { return true; }
    // The selector of the cells' assets; null when they show none.
    Editor::Selector *selectAssets(const QModelIndexList &indexes) const;

    // The GUIDs of the cells, each once, in first-seen order.
    static Velmora::Vector<Velmora::UGUID> guidsOfIndexes(const QModelIndexList &indexes);
    bool isGuidSelected(const Velmora::UGUID &guid) const;

private:
    QTableView *createTable(ModelT *model);
    void onSelectionChanged(const QItemSelection &selected, const QItemSelection &deselected);
    void showContextMenu(const QPoint &global_position);

    std::unique_ptr<DataT> data_;
    ModelT *model_ = nullptr;
    QTableView *table_ = nullptr;
    bool updating_selection_ = false;
};

} // namespace show_deps
