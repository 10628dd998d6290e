#pragma once

#include <velmora/Ptr.h>

#include <QPointer>
#include <QWidget>

class QLabel;
class ViewportWindow;

namespace Velmora {
class Player;
}

// The dockable "Tracker" window that hosts the track editor. It follows the
// editor logic's world and frame signals from construction on; init() docks
// it, setViewportPlayer() hands it the viewport whose camera a track plays
// on. The track editing itself comes with the Tracker tool.
class Tracker : public QWidget
{
    Q_OBJECT

public:
    explicit Tracker(QWidget *parent = nullptr);
    ~Tracker() override;

    void init();
    void setViewportPlayer(ViewportWindow *viewport);
    void showTracker();
    void hideTracker();
    void shutdown();

    bool isInitialized() const { return initialized_; }
    Velmora::Ptr<Velmora::Player> viewportPlayer() const { return player_; }
    // Frames seen through the editor logic's update signal.
    int updateCount() const { return update_count_; }

private:
    void onWorldInit();
    void onWorldShutdown();
    void onUpdate();

    QLabel *status_ = nullptr;
    Velmora::Ptr<Velmora::Player> player_;
    bool initialized_ = false;
    int update_count_ = 0;
};
