#pragma once

#include <velmora/Node.h>
#include <velmora/Ptr.h>
#include <velmora/UGUID.h>

#include <editor_core/DoubleSpinBox.h>

#include <QVector>
#include <QWidget>

class AssetWidget;
class AssetsMimeDataHandler;
class QSpinBox;
class QToolButton;
class Ui_RandomizerWidget;

// A spin box of the Randomizer's ranges. A spin box asks for the width of
// its range's longest value (-99999999.000): three of those side by side do
// not fit a narrow dock. This one asks for the width of the value it shows,
// at least that of a few hundred units, and takes more when its column has
// room.
class RandomizerRangeSpinBox : public DoubleSpinBox
{
    Q_OBJECT

public:
    explicit RandomizerRangeSpinBox(QWidget *parent = nullptr);

    QSize minimumSizeHint() const override;

private:
    int textWidth(double value) const;

    int shown_width_ = 0;
};

// The "Randomizer" tool window. The user lists node, mesh and model assets
// with integer weights and sets From/To ranges for an offset, a rotation (in
// degrees) and a scale. "Replace" swaps every selected node for an entry
// drawn at random by weight, placed where the old node was (same name,
// parent and transform) and then moved, turned and scaled at random inside
// the ranges. Selected nodes for which no entry is drawn stay and are only
// moved, turned and scaled. The whole change is one undo step. The list and
// the ranges live in memory only: every start begins with the defaults.
class RandomizerWidget : public QWidget
{
    Q_OBJECT

public:
    // One list entry: the asset, its weight and the button that removes it.
    struct Row
    {
        RandomizerWidget *owner = nullptr;
        QWidget *container = nullptr;
        AssetWidget *asset = nullptr;
        QToolButton *clear = nullptr;
        QSpinBox *weight = nullptr;
    };

    explicit RandomizerWidget(QWidget *parent = nullptr);
    ~RandomizerWidget() override;

    // Appends an empty entry above the list's trailing spacer.
    Row *addRow();
    void removeRow(Row *row);
    const QVector<Row *> &getRows() const { return rows; }

    // Replaces (or, when nothing is drawn, only transforms) the selected
    // nodes; nothing happens without a selection of nodes.
    void replace();
    void onUniformScaleToggled(bool checked);

    // The random offset, rotation and scale of one node within the ranges.
    void applyRandomTransform(const Velmora::Ptr<Velmora::Node> &node);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fitFormWidth();
    void addDroppedAssets(const AssetsMimeDataHandler &handler, int type);
    Velmora::Ptr<Velmora::Node> createNode(const Velmora::UGUID &guid, bool use_node_reference) const;

    Ui_RandomizerWidget *ui = nullptr;
    QVector<Row *> rows;
};
