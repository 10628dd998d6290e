#include "DockTitleBar.h"

#include <QDockWidget>
#include <QHBoxLayout>
#include <QStyle>
#include <QToolButton>

namespace Editor {

namespace {

QToolButton *titleButton(QWidget *parent, const char *object_name, QStyle::StandardPixmap pixmap,
                         const QString &tool_tip)
{
    auto button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(object_name));
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setToolTip(tool_tip);
    button->setIcon(parent->style()->standardIcon(pixmap, nullptr, parent));
    button->setIconSize(QSize(10, 10));
    return button;
}

} // namespace

DockTitleBar::DockTitleBar(QDockWidget *dock)
    : QWidget(dock)
{
    setObjectName(QStringLiteral("dock_title_bar"));
    // The style sheet paints the bar like the standard title.
    setAttribute(Qt::WA_StyledBackground);

    auto layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 1, 4, 1);
    layout->setSpacing(2);
    layout->addStretch(1);

    float_button_ = titleButton(this, "dock_float", QStyle::SP_TitleBarNormalButton, tr("Float"));
    close_button_ = titleButton(this, "dock_close", QStyle::SP_TitleBarCloseButton, tr("Close"));
    float_button_->setVisible(dock->features() & QDockWidget::DockWidgetFloatable);
    close_button_->setVisible(dock->features() & QDockWidget::DockWidgetClosable);
    layout->addWidget(float_button_);
    layout->addWidget(close_button_);

    connect(float_button_, &QToolButton::clicked, dock, [dock]() { dock->setFloating(!dock->isFloating()); });
    connect(close_button_, &QToolButton::clicked, dock, &QDockWidget::close);
}

} // namespace Editor
