#include "editor_core/BrushWindow.h"

#include <QLabel>
#include <QVBoxLayout>

BrushWindow::BrushWindow(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("BrushWindow"));
    setWindowTitle(tr("Brushes"));
    auto *layout = new QVBoxLayout(this);
    auto *label = new QLabel(tr("Brushes are not available in this editor."), this);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    layout->addWidget(label);
}

BrushWindow::~BrushWindow() = default;

void BrushWindow::initGUI(Controls *controls)
{
    controls_ = controls;
}

void BrushWindow::shutdownGUI(Controls *)
{
    controls_ = nullptr;
}
