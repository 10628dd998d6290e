#pragma once

#include "editor_core/ViewportWindow.h"

#include <velmora/Engine.h>

#include <QImage>

#include <memory>

class OpaqueFrame;

// The scene widget of a scene viewport ("Scene 1", ...): a Velmora::View
// registered with the engine, which renders its player (the editor camera
// unless one is set) at the widget's size; the widget paints the frames it
// receives, and paints again only when the frame or the widgets of its
// engine GUI changed.
class ViewportWindowScene : public ViewportWindow, public Velmora::View
{
    Q_OBJECT

public:
    explicit ViewportWindowScene(const QString &id, QWidget *parent = nullptr);
    ~ViewportWindowScene() override;

    QString getId() const override;
    Velmora::Ptr<Velmora::Player> getPlayer() const override;
    void setPlayer(const Velmora::Ptr<Velmora::Player> &player);

    // Whether the engine draws into this window (false without an engine).
    bool isRegistered() const;
    QImage frame() const;
    int presentedFrames() const;

    // Velmora::View
    Velmora::Ptr<Velmora::Player> getViewPlayer() const override;
    int getViewWidth() const override;
    int getViewHeight() const override;
    void presentFrame(const QImage &frame) override;

signals:
    void framePresented();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString id_;
    Velmora::Ptr<Velmora::Player> player_;
    QImage frame_;
    std::unique_ptr<OpaqueFrame> opaque_;
    int presented_frames_ = 0;
    bool registered_ = false;
};
