#pragma once

#include <QLayout>
#include <QSize>

#include <memory>

class QLabel;
class QWidgetItem;

// Places the splash's four text lines over its background image at fixed
// positions for the 960 x 540 design size. The layout holds exactly its
// four labels and exposes no items through the QLayout interface.
class SplashWidgetLayout : public QLayout
{
public:
    static const QSize DESIGN_SIZE;

    SplashWidgetLayout(QLabel *version, QLabel *status, QLabel *detail, QLabel *notice, QWidget *parent);
    ~SplashWidgetLayout() override;

    void setGeometry(const QRect &rect) override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    QSize maximumSize() const override;

    void addItem(QLayoutItem *item) override;
    QLayoutItem *itemAt(int index) const override;
    QLayoutItem *takeAt(int index) override;
    int count() const override;

private:
    std::unique_ptr<QWidgetItem> version_item_;
    std::unique_ptr<QWidgetItem> status_item_;
    std::unique_ptr<QWidgetItem> detail_item_;
    std::unique_ptr<QWidgetItem> notice_item_;
};
