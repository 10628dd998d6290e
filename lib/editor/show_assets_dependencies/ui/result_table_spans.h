#pragma once

// The span templates of result_table.h.

#include <editor_core/base/Assert.h>

#include <QTableView>

namespace show_deps {
namespace result_table {

template<typename DataT>
void spanMainRows(QTableView *table, const DataT &data)
{
    const int num_rows = data.getNumRows();
    int row = 0;
    while (row < num_rows) {
        const int main_row = data.getMainRowIndex(row);
        int count = 1;
        while (row + count < num_rows && data.getMainRowIndex(row + count) == main_row)
            ++count;
        if (count > 1)
            table->setSpan(row, 0, count, 1);
        row += count;
    }
    EC_ASSERT(row == num_rows);
}

template<typename DataT>
void spanEqualSubRows(QTableView *table, const DataT &data, int column)
{
    const int num_rows = data.getNumRows();
    int start = 0;
    while (start < num_rows) {
        const Velmora::UGUID &guid = data.getSubRow(start).guid;
        const int main_row = data.getMainRowIndex(start);
        int length = 1;
        while (!guid.isEmpty() && start + length < num_rows && data.getMainRowIndex(start + length) == main_row
               && data.getSubRow(start + length).guid == guid)
            ++length;
        if (length > 1)
            table->setSpan(start, column, length, 1);
        start += length;
    }
    EC_ASSERT(start == num_rows);
}

} // namespace result_table
} // namespace show_deps
