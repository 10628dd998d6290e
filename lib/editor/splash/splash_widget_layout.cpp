#include "editor/splash/splash_widget_layout.h"

#include <QLabel>
#include <QWidgetItem>

const QSize SplashWidgetLayout::DESIGN_SIZE(960, 540);

namespace {
constexpr int TEXT_LEFT = 188;
constexpr int TEXT_WIDTH = 710;
constexpr int VERSION_RIGHT_MARGIN = 229;
constexpr int VERSION_TOP = 275;
constexpr int STATUS_TOP = 406;
constexpr int NOTICE_TOP = 485;
} // namespace

SplashWidgetLayout::SplashWidgetLayout(QLabel *version, QLabel *status, QLabel *detail, QLabel *notice, QWidget *parent)
    : QLayout(parent)
{
    for (QLabel *label : {version, status, detail, notice})
        addChildWidget(label);
    version_item_ = std::make_unique<QWidgetItemV2>(version);
    status_item_ = std::make_unique<QWidgetItemV2>(status);
    detail_item_ = std::make_unique<QWidgetItemV2>(detail);
    notice_item_ = std::make_unique<QWidgetItemV2>(notice);
}

SplashWidgetLayout::~SplashWidgetLayout() = default;

void SplashWidgetLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);

    const QSize version_size = version_item_->sizeHint();
    version_item_->setGeometry(
            QRect(QPoint(rect.width() - version_size.width() - VERSION_RIGHT_MARGIN, VERSION_TOP), version_size));

    const QRect status_rect(QPoint(TEXT_LEFT, STATUS_TOP), QSize(TEXT_WIDTH, status_item_->sizeHint().height()));
    status_item_->setGeometry(status_rect);

    detail_item_->setGeometry(
            QRect(QPoint(TEXT_LEFT, status_rect.bottom()), QSize(TEXT_WIDTH, detail_item_->sizeHint().height())));

    notice_item_->setGeometry(
            QRect(QPoint(TEXT_LEFT, NOTICE_TOP), QSize(TEXT_WIDTH, notice_item_->sizeHint().height())));
}

QSize SplashWidgetLayout::sizeHint() const
{
    return DESIGN_SIZE;
}

QSize SplashWidgetLayout::minimumSize() const
{
    return DESIGN_SIZE;
}

QSize SplashWidgetLayout::maximumSize() const
{
    return DESIGN_SIZE;
}

void SplashWidgetLayout::addItem(QLayoutItem *item)
{
    // The layout holds only its four labels; foreign items are not kept.
    delete item;
}

QLayoutItem *SplashWidgetLayout::itemAt(int /*index*/) const
{
    return nullptr;
}

QLayoutItem *SplashWidgetLayout::takeAt(int /*index*/)
{
    return nullptr;
}

int SplashWidgetLayout::count() const
{
    return 0;
}
