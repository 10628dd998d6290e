#include "editor_core/LightBakingWidget.h"

#include <QLabel>
#include <QVBoxLayout>

LightBakingWidget::LightBakingWidget(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("LightBakingWidget"));
    setWindowTitle(tr("Light Baking"));
    auto *layout = new QVBoxLayout(this);
    auto *label = new QLabel(tr("Light baking is not available in this editor."), this);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    layout->addWidget(label);
}

LightBakingWidget::~LightBakingWidget() = default;
