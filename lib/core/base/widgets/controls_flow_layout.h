#pragma once

#include <QLayout>
#include <QVector>

namespace base {

// A row of controls that continues on a new line where the width runs out,
// so that a narrow dock shows every control whole instead of squeezing
// their texts. Each control keeps its preferred width; a gap added before a
// control is left out when that control starts a line.
class ControlsFlowLayout : public QLayout
{
public:
    explicit ControlsFlowLayout(QWidget *parent = nullptr);
    ~ControlsFlowLayout() override;

    // Extra room before the next control, on top of the spacing.
    void addGap(int width);

    void addItem(QLayoutItem *item) override;
    int count() const override;
    QLayoutItem *itemAt(int index) const override;
    QLayoutItem *takeAt(int index) override;
    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    // All controls on one line.
    QSize sizeHint() const override;
    // The widest control, as high as the lines at the current width.
    QSize minimumSize() const override;
    void setGeometry(const QRect &rect) override;

private:
    struct Entry
    {
        QLayoutItem *item = nullptr;
        int gap = 0;
    };

    // Places the controls in rect (only measures without apply); the height
    // used.
    int arrange(const QRect &rect, bool apply) const;

    QVector<Entry> entries_;
    int pending_gap_ = 0;
    int laid_out_height_ = -1;
};

} // namespace base
