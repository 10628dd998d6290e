#pragma once

#include <QFormLayout>

// The form layout of the editor's tool windows: rows of a label and a field,
// or one widget across the whole row. A row is shown or hidden whole, label
// and field together (fields that are layouts hide every widget in them).
class LabelFieldLayout : public QFormLayout
{
    Q_OBJECT

public:
    explicit LabelFieldLayout(QWidget *parent = nullptr);
    ~LabelFieldLayout() override;

    // Rows are added with QFormLayout::addRow; these return the new row.
    int addLabelField(QWidget *label, QWidget *field);
    int addLabelField(QWidget *label, QLayout *field);
    int addFullRow(QWidget *widget);

    // Out-of-range rows are ignored.
    void setVisibleRow(int row, bool visible);
    // Whether the row is not hidden (its own state, whatever the parent's);
    // false for an out-of-range row.
    bool isVisibleRow(int row) const;
    // The row that holds the widget as label or field (also inside a field
    // layout); -1 when none does.
    int rowOf(QWidget *widget) const;

private:
    QList<QWidget *> rowWidgets(int row) const;
};
