#pragma once

#include "velmora/Camera.h"
#include "velmora/Node.h"

namespace Velmora {

// A node that is a camera: its world transform places the camera (looking
// down local -Z), plus field of view and clip distances.
class Player : public Node
{
public:
    float getFov() const { return fov_; }
    void setFov(float fov) { fov_ = fov; }
    float getZNear() const { return znear_; }
    void setZNear(float znear) { znear_ = znear; }
    float getZFar() const { return zfar_; }
    void setZFar(float zfar) { zfar_ = zfar; }

    // A new camera with the player's current pose (modelview = inverse of the
    // world transform), fov and clip distances.
    Ptr<Camera> getCamera() const;
    // Places the player from a camera's modelview and takes its settings.
    void setCamera(const Ptr<Camera> &camera);
    // Places the player at eye looking at target, with +Z up.
    void lookAt(const vec3 &eye, const vec3 &target);

protected:
    explicit Player(int type)
        : Node(type)
    {}
    void copyPlayerTo(Player *other) const;

private:
    float fov_ = 60.0f;
    float znear_ = 0.1f;
    float zfar_ = 10000.0f;
};

class PlayerDummy : public Player
{
public:
    static Ptr<PlayerDummy> create();

protected:
    PlayerDummy()
        : Player(PLAYER_DUMMY)
    {}
    Ptr<Node> cloneSelf() const override;
};

} // namespace Velmora
