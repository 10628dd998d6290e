#include "editor/cleaner/cleaner_window.h"

#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>

#include <QLabel>
#include <QVBoxLayout>

namespace cleaner {

CleanerWindow::CleanerWindow(QWidget *parent)
    : QWidget(parent)
    , asset_manager_(depr::g.asset_manager)
{
    setObjectName(QStringLiteral("CleanerWindow"));
    setWindowTitle(tr("Cleaner"));
    auto layout = new QVBoxLayout(this);
    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("summary"));
    layout->addWidget(summary_);
    layout->addStretch(1);
    hide();
}

CleanerWindow::~CleanerWindow() = default;

void CleanerWindow::showEvent(QShowEvent *event)
{
    updateSummary();
    QWidget::showEvent(event);
}

void CleanerWindow::updateSummary()
{
    const int count = asset_manager_ ? asset_manager_->assets().size() : 0;
    summary_->setText(tr("Assets in the project: %1").arg(count));
}

} // namespace cleaner
