#pragma once

#include "velmora/Math.h"
#include "velmora/Ptr.h"

namespace Velmora {

// A view: modelview (world to view; the camera looks down its local -Z with
// +Y up on screen), vertical field of view in degrees and clip distances.
// The projection follows the aspect of the image it is rendered into.
class Camera
{
public:
    static Ptr<Camera> create();
    Ptr<Camera> clone() const;

    const mat4 &getModelview() const { return modelview_; }
    void setModelview(const mat4 &modelview) { modelview_ = modelview; }
    // Inverse of the modelview: the camera's world transform.
    mat4 getIModelview() const;
    vec3 getPosition() const;
    // World direction the camera looks along.
    vec3 getDirection() const;

    float getFov() const { return fov_; }
    void setFov(float fov) { fov_ = fov; }
    float getZNear() const { return znear_; }
    void setZNear(float znear) { znear_ = znear; }
    float getZFar() const { return zfar_; }
    void setZFar(float zfar) { zfar_ = zfar; }

    // GL-style perspective for width / height = aspect, unless a projection
    // was set: then that matrix, whatever the aspect.
    mat4 getProjection(float aspect) const;
    // A fixed projection (orthographic ones included) in place of the
    // perspective from the field of view; clearProjection goes back to it.
    void setProjection(const mat4 &projection);
    void clearProjection() { has_projection_ = false; }
    bool hasProjection() const { return has_projection_; }

private:
    Camera() = default;
    mat4 modelview_;
    float fov_ = 60.0f;
    float znear_ = 0.1f;
    float zfar_ = 10000.0f;
    bool has_projection_ = false;
    mat4 projection_;
};

} // namespace Velmora
