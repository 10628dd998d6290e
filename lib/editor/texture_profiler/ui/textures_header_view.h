#pragma once

#include <QHeaderView>

namespace tprof {

// The texture table's header. Every section sized to its contents asks only
// for the room its label and cells need: the room of the sort arrow is kept
// for the column the table is sorted by alone (a plain header keeps it in
// every section, which left the stretched path column a few pixels).
class TexturesHeaderView : public QHeaderView
{
    Q_OBJECT

public:
    explicit TexturesHeaderView(QWidget *parent = nullptr);
    ~TexturesHeaderView() override;

protected:
    QSize sectionSizeFromContents(int logical_index) const override;
};

} // namespace tprof
