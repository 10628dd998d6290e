#include "editor_core/ResettableWidget.h"

#include "editor_core/AssetWidget.h"

#include <QHBoxLayout>
#include <QStyle>
#include <QToolButton>

ResettableWidget::ResettableWidget(QWidget *field, QWidget *parent)
    : QWidget(parent)
    , field_(field)
{
    auto layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    if (field_)
        layout->addWidget(field_, 1);
    reset_ = new QToolButton(this);
    reset_->setIcon(style()->standardIcon(QStyle::SP_DialogResetButton));
    reset_->setToolTip(tr("Reset"));
    layout->addWidget(reset_);
    connect(reset_, &QToolButton::clicked, this, [this]() {
        if (auto asset_widget = qobject_cast<AssetWidget *>(field_))
            asset_widget->reset();
        emit resetClicked();
    });
}

ResettableWidget::~ResettableWidget() = default;
