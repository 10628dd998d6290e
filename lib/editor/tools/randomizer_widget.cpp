#include "editor/tools/randomizer_widget.h"

#include <QDoubleSpinBox>
#include <QFormLayout>

RandomizerWidget::RandomizerWidget(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("RandomizerWidget"));
    setWindowTitle(tr("Randomizer"));
    auto layout = new QFormLayout(this);
    auto offset = new QDoubleSpinBox(this);
    offset->setObjectName(QStringLiteral("offset"));
    layout->addRow(tr("Random offset:"), offset);
    auto rotation = new QDoubleSpinBox(this);
    rotation->setObjectName(QStringLiteral("rotation"));
    rotation->setRange(0.0, 360.0);
    layout->addRow(tr("Random rotation:"), rotation);
    hide();
}

RandomizerWidget::~RandomizerWidget() = default;
