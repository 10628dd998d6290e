#include "editor_core/ViewportWindowScene.h"

#include "OpaqueFrame.h"

#include <velmora/Editor.h>
#include <velmora/Gui.h>
#include <velmora/Player.h>

#include <QPainter>

ViewportWindowScene::ViewportWindowScene(const QString &id, QWidget *parent)
    : ViewportWindow(parent)
    , id_(id)
    , opaque_(std::make_unique<OpaqueFrame>())
{
    setObjectName(id);
    setWindowTitle(id);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(64, 48);
    if (Velmora::Engine *engine = Velmora::Engine::get()) {
        engine->addView(this);
        registered_ = true;
    }
}

ViewportWindowScene::~ViewportWindowScene()
{
    // After Engine::shutdown the engine has forgotten its views.
    if (registered_)
        if (Velmora::Engine *engine = Velmora::Engine::get())
            engine->removeView(this);
}

QString ViewportWindowScene::getId() const
{
    return id_;
}

Velmora::Ptr<Velmora::Player> ViewportWindowScene::getPlayer() const
{
    if (player_)
        return player_;
    return Velmora::Engine::get() ? Velmora::Editor::getPlayer() : Velmora::Ptr<Velmora::Player>();
}

void ViewportWindowScene::setPlayer(const Velmora::Ptr<Velmora::Player> &player)
{
    player_ = player;
}

bool ViewportWindowScene::isRegistered() const
{
    return registered_;
}

QImage ViewportWindowScene::frame() const
{
    return frame_;
}

int ViewportWindowScene::presentedFrames() const
{
    return presented_frames_;
}

Velmora::Ptr<Velmora::Player> ViewportWindowScene::getViewPlayer() const
{
    return player_;
}

int ViewportWindowScene::getViewWidth() const
{
    return qMax(1, width());
}

int ViewportWindowScene::getViewHeight() const
{
    return qMax(1, height());
}

void ViewportWindowScene::presentFrame(const QImage &frame)
{
    ++presented_frames_;
    // The engine hands over the very picture it showed last when nothing in
    // it changed: nothing to paint again.
    if (!frame.isNull() && frame.cacheKey() == frame_.cacheKey()) {
        // Widgets of the engine GUI over it may still have changed.
        if (isVisible() && guiChanged())
            update();
        return;
    }
    frame_ = frame;
    emit framePresented();
    if (isVisible())
        update();
}

void ViewportWindowScene::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (frame_.isNull()) {
        painter.fillRect(rect(), QColor(40, 40, 44));
        painter.setPen(QColor(150, 150, 150));
        painter.drawText(rect(), Qt::AlignCenter,
                         registered_ ? tr("Waiting for the engine...") : tr("Engine not running"));
    } else {
        // Frames are rendered at the widget's size; a stale frame from
        // before a resize is stretched until the next one arrives.
        opaque_->draw(painter, rect(), frame_);
    }
    paintGui(painter);
}
