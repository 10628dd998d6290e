#pragma once

#include "editor/assembly/models/copy_rules_model.h"

#include <QWidget>

class QPushButton;
class QTableView;

namespace assembly {

// Edits the user's copy rules ("Copy User Files"): an "Add Line" button
// above a two-column table; the context menu of a row removes it. Owns the
// rules; dataChanged() follows every change (added, removed, replaced, or a
// cell edited).
class CopyRulesWidget : public QWidget
{
    Q_OBJECT

public:
    explicit CopyRulesWidget(QWidget *parent = nullptr);
    ~CopyRulesWidget() override;

    const CopyRuleList &rules() const { return rules_; }
    // Copies the list in, resets the table and emits dataChanged().
    void setRules(const CopyRuleList &rules);

    QPushButton *addButton() const { return add_button_; }
    QTableView *view() const { return view_; }
    CopyRulesModel *model() const { return model_; }

    // The row whose first selected cell the context menu at this viewport
    // point would remove; -1 when no menu would be shown there (the point is
    // on no row, or nothing is selected).
    int contextMenuRow(const QPoint &point) const;

public slots:
    // Appends an empty rule, then selects it and opens its "from" cell.
    void add_line();
    // Rows outside the list are ignored.
    void remove_line(int row);
    // Selects both cells of the row, scrolls to it and opens a persistent
    // editor on its "from" cell.
    void select_line(int row);

signals:
    void dataChanged();

private:
    void showContextMenu(const QPoint &point);

    CopyRuleList rules_;
    CopyRulesModel *model_ = nullptr;
    QTableView *view_ = nullptr;
    QPushButton *add_button_ = nullptr;
};

} // namespace assembly
