#include "editor/tracker/tracker.h"

#include <editor_core/EditorLogic.h>
#include <editor_core/ViewportWindow.h>
#include <editor_core/base/Assert.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/WindowManager.h>

#include <velmora/Player.h>
#include <velmora/World.h>

#include <QLabel>
#include <QVBoxLayout>

Tracker::Tracker(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Tracker"));
    setWindowTitle(tr("Tracker"));
    auto layout = new QVBoxLayout(this);
    status_ = new QLabel(tr("No world loaded"), this);
    status_->setObjectName(QStringLiteral("status"));
    layout->addWidget(status_);
    layout->addStretch(1);
    hide();

    EditorLogic *logic = depr::g.editor;
    EC_SOFT_ASSERT(logic);
    if (logic) {
        connect(logic, &EditorLogic::onWorldInit, this, &Tracker::onWorldInit);
        connect(logic, &EditorLogic::onWorldShutdown, this, &Tracker::onWorldShutdown);
        connect(logic, &EditorLogic::onUpdate, this, &Tracker::onUpdate);
    }
}

Tracker::~Tracker() = default;

void Tracker::init()
{
    Editor::WindowManager::add(this, Editor::WindowManager::AREA_TOOL);
    initialized_ = true;
}

void Tracker::setViewportPlayer(ViewportWindow *viewport)
{
    player_ = viewport ? viewport->getPlayer() : Velmora::Ptr<Velmora::Player>();
}

void Tracker::showTracker()
{
    Editor::WindowManager::show(this);
}

void Tracker::hideTracker()
{
    Editor::WindowManager::hide(this);
}

void Tracker::shutdown()
{
    player_.reset();
    initialized_ = false;
}

void Tracker::onWorldInit()
{
    status_->setText(tr("World: %1").arg(QString::fromUtf8(Velmora::World::getPath())));
}

void Tracker::onWorldShutdown()
{
    status_->setText(tr("No world loaded"));
}

void Tracker::onUpdate()
{
    ++update_count_;
}
