#pragma once

#include "editor/show_assets_dependencies/data/display_name.h"

#include <editor_core/base/Assert.h>

#include <velmora/UGUID.h>
#include <velmora/Vector.h>

#include <QString>

namespace Editor {
class AssetManagerPrivate;
}

namespace show_deps {

// The table behind a result window: main rows (one per requested asset, in
// request order) and their sub-rows (what was found for it). The table shows
// one row per sub-row; the sub-rows of a main row are consecutive and every
// main row has at least one: a main row with no findings holds one
// placeholder sub-row (empty GUID and texts). Filled by a combiner, then
// kept current by its window on the GUI thread (renameGuid, removeGuid).
//
// SubRowT: a record with at least guid and name; a value-initialised one is
// the placeholder.
template<typename SubRowT>
class Data
{
public:
    struct Row
    {
        Velmora::UGUID guid;
        QString name;
    };
    using SubRow = SubRowT;

    // asset_manager: the source of display names; must not be null.
    explicit Data(const Editor::AssetManagerPrivate *asset_manager)
        : asset_manager_(asset_manager)
    {
        EC_ASSERT(asset_manager_);
    }
    virtual ~Data() = default;
    Data(const Data &) = delete;
    Data &operator=(const Data &) = delete;

    // Appends a main row with a placeholder sub-row; returns its index.
    // asset_guid must not be empty.
    int addRow(const Velmora::UGUID &asset_guid)
    {
        EC_ASSERT(asset_guid.isValid());
        rows_.append(Row{asset_guid, getDisplayName(asset_manager_, asset_guid)});
        const int row = rows_.size() - 1;
        sub_rows_.append(SubRow());
        row_indexes_.append(row);
        placeholder_ = true;
        return row;
    }

    // Table rows: one per sub-row.
    int getNumRows() const
    {
        EC_ASSERT(sub_rows_.size() == row_indexes_.size());
        return sub_rows_.size();
    }
    int getNumMainRows() const { return rows_.size(); }
    // The main row and the sub-row of a table row (0 <= row < getNumRows()).
    const Row &getMainRow(int row) const
    {
        checkRow(row);
        return rows_[row_indexes_[row]];
    }
    const SubRow &getSubRow(int row) const
    {
        checkRow(row);
        return sub_rows_[row];
    }
    // The index of the main row of a table row.
    int getMainRowIndex(int row) const
    {
        checkRow(row);
        return row_indexes_[row];
    }

    // Recomputes the display name of every cell that shows guid; true when
    // one did.
    bool renameGuid(const Velmora::UGUID &guid)
    {
        bool found = false;
        QString name;
        auto rename = [&](QString &target) {
            if (!found)
                name = getDisplayName(asset_manager_, guid);
            found = true;
            target = name;
        };
        for (Row &row : rows_) {
            if (row.guid == guid)
                rename(row.name);
        }
        for (SubRow &sub_row : sub_rows_) {
            if (sub_row.guid == guid)
                rename(sub_row.name);
        }
        return found;
    }

    // Removes the main rows of guid with their sub-rows, then every other
    // sub-row of guid (the only sub-row of a main row becomes its
    // placeholder). True when anything changed.
    bool removeGuid(const Velmora::UGUID &guid)
    {
        if (guid.isEmpty())
            return false;
        bool changed = false;
        for (int i = 0; i < rows_.size();) {
            if (rows_[i].guid == guid && removeRow(i))
                changed = true;
            else
                ++i;
        }
        for (int j = 0; j < sub_rows_.size();) {
            if (sub_rows_[j].guid != guid) {
                ++j;
                continue;
            }
            changed = true;
            if (!removeSubRow(j))
                ++j; // blanked into a placeholder
        }
        return changed;
    }

protected:
    // Adds a sub-row to the last main row: it takes the place of the
    // placeholder, or is appended.
    void appendSubRow(int row, SubRow sub_row)
    {
        EC_ASSERT(!rows_.empty());
        if (placeholder_) {
            placeholder_ = false;
            sub_rows_.last() = std::move(sub_row);
            return;
        }
        sub_rows_.append(std::move(sub_row));
        row_indexes_.append(row);
    }

    const Editor::AssetManagerPrivate *assetManager() const { return asset_manager_; }

private:
    void checkRow(int row) const { EC_ASSERT((0 <= row) && (getNumRows() > row)); }

    // Removes main row i and its sub-rows; later main rows move up by one.
    bool removeRow(int i)
    {
        const int first = row_indexes_.findIndex(i);
        int count = 0;
        while (first >= 0 && first + count < row_indexes_.size() && row_indexes_[first + count] == i)
            ++count;
        EC_ASSERT((first >= 0) && (count > 0));
        rows_.remove(i);
        for (int k = 0; k < count; ++k) {
            sub_rows_.remove(first);
            row_indexes_.remove(first);
        }
        for (int k = first; k < row_indexes_.size(); ++k)
            --row_indexes_[k];
        if (!row_indexes_.empty())
            EC_ASSERT(row_indexes_.last() == rows_.size() - 1);
        updatePlaceholder();
        return true;
    }

    // Removes sub-row j, or blanks it when it is the only one of its main
    // row (false then).
    bool removeSubRow(int j)
    {
        const int main_row = row_indexes_[j];
        int count = 0;
        for (int k = 0; k < row_indexes_.size(); ++k) {
            if (row_indexes_[k] == main_row)
                ++count;
        }
        EC_ASSERT(count >= 1);
        if (count > 1) {
            sub_rows_.remove(j);
            row_indexes_.remove(j);
            updatePlaceholder();
            return true;
        }
        sub_rows_[j] = SubRow();
        updatePlaceholder();
        return false;
    }

    // The flag says whether the next sub-row of the last main row takes the
    // place of its placeholder.
    void updatePlaceholder()
    {
        if (rows_.empty()) {
            placeholder_ = true;
            return;
        }
        const int n = row_indexes_.size();
        const bool only_sub_row = n < 2 || row_indexes_[n - 2] != rows_.size() - 1;
        placeholder_ = only_sub_row && sub_rows_.last().guid.isEmpty();
    }

    Velmora::Vector<Row> rows_;
    Velmora::Vector<SubRow> sub_rows_;
    Velmora::Vector<int> row_indexes_;
    bool placeholder_ = true;
    const Editor::AssetManagerPrivate *asset_manager_;
};

} // namespace show_deps
