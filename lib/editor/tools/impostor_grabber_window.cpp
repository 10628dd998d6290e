#include "editor/tools/impostor_grabber_window.h"

#include <editor_core/EditorSettings.h>

#include <QComboBox>
#include <QFormLayout>
#include <QSpinBox>

const char *const ImpostorGrabberWindow::SETTINGS_FORM = "tools/impostor_creator";

ImpostorGrabberWindow::ImpostorGrabberWindow(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("ImpostorGrabberWindow"));
    setWindowTitle(tr("Impostors Creator"));

    auto layout = new QFormLayout(this);
    resolution_ = new QComboBox(this);
    resolution_->setObjectName(QStringLiteral("resolution"));
    for (int side : {512, 1024, 2048, 4096})
        resolution_->addItem(QStringLiteral("%1 x %1").arg(side), side);
    resolution_->setCurrentIndex(2);
    layout->addRow(tr("Atlas resolution:"), resolution_);

    views_ = new QSpinBox(this);
    views_->setObjectName(QStringLiteral("views"));
    views_->setRange(2, 64);
    views_->setValue(8);
    layout->addRow(tr("Views around the node:"), views_);
    hide();
}

ImpostorGrabberWindow::~ImpostorGrabberWindow() = default;

void ImpostorGrabberWindow::restoreSettings(EditorSettings *settings)
{
    settings->restoreForm(QString::fromLatin1(SETTINGS_FORM), this);
}

void ImpostorGrabberWindow::saveSettings(EditorSettings *settings)
{
    settings->saveForm(QString::fromLatin1(SETTINGS_FORM), this);
}
