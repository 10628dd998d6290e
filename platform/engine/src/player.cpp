#include "velmora/Player.h"
#include "velmora/Camera.h"
#include "velmora/Light.h"

namespace Velmora {

// ---- Camera ----------------------------------------------------------------------

Ptr<Camera> Camera::create()
{
    return Ptr<Camera>(new Camera);
}

Ptr<Camera> Camera::clone() const
{
    Ptr<Camera> copy = create();
    *copy = *this;
    return copy;
}

mat4 Camera::getIModelview() const
{
    return Math::inverse(modelview_);
}

vec3 Camera::getPosition() const
{
    return getIModelview().getTranslate();
}

vec3 Camera::getDirection() const
{
    return Math::normalize(-getIModelview().getColumn3(2));
}

mat4 Camera::getProjection(float aspect) const
{
    if (has_projection_)
        return projection_;
    return Math::perspective(fov_, aspect > 0.0f ? aspect : 1.0f, znear_, zfar_);
}

void Camera::setProjection(const mat4 &projection)
{
    projection_ = projection;
    has_projection_ = true;
}

// ---- Player ------------------------------------------------------------------------

Ptr<Camera> Player::getCamera() const
{
    Ptr<Camera> camera = Camera::create();
    camera->setModelview(Math::inverse(getWorldTransform()));
    camera->setFov(fov_);
    camera->setZNear(znear_);
    camera->setZFar(zfar_);
    return camera;
}

void Player::setCamera(const Ptr<Camera> &camera)
{
    if (!camera)
        return;
    setWorldTransform(camera->getIModelview());
    fov_ = camera->getFov();
    znear_ = camera->getZNear();
    zfar_ = camera->getZFar();
}

void Player::lookAt(const vec3 &eye, const vec3 &target)
{
    vec3 up(0.0f, 0.0f, 1.0f);
    const vec3 direction = Math::normalize(target - eye);
    if (Math::length(Math::cross(direction, up)) < 1e-4f)
        up = vec3(0.0f, 1.0f, 0.0f); // looking straight up or down
    setWorldTransform(Math::inverse(Math::lookAt(eye, target, up)));
}

void Player::copyPlayerTo(Player *other) const
{
    copyBaseTo(other);
    other->fov_ = fov_;
    other->znear_ = znear_;
    other->zfar_ = zfar_;
}

Ptr<PlayerDummy> PlayerDummy::create()
{
    return adopt(new PlayerDummy);
}

Ptr<Node> PlayerDummy::cloneSelf() const
{
    Ptr<PlayerDummy> copy = create();
    copyPlayerTo(copy.get());
    return copy;
}

// ---- Light -------------------------------------------------------------------------

void Light::copyLightTo(Light *other) const
{
    copyBaseTo(other);
    other->color_ = color_;
    other->shadow_ = shadow_;
    other->shadow_resolution_ = shadow_resolution_;
}

Ptr<LightWorld> LightWorld::create(const vec4 &color)
{
    Ptr<LightWorld> light = adopt(new LightWorld);
    light->setColor(color);
    return light;
}

void LightWorld::setNumShadowCascades(int num)
{
    num_cascades_ = num < 1 ? 1 : (num > 4 ? 4 : num);
    cascade_borders_.resize(num_cascades_);
}

float LightWorld::getShadowCascadeBorder(int cascade) const
{
    return cascade >= 0 && cascade < cascade_borders_.size() ? cascade_borders_[cascade] : 0.0f;
}

void LightWorld::setShadowCascadeBorder(int cascade, float border)
{
    if (cascade >= 0 && cascade < cascade_borders_.size())
        cascade_borders_[cascade] = border;
}

vec3 LightWorld::getDirection() const
{
    return getWorldDirection();
}

Ptr<Node> LightWorld::cloneSelf() const
{
    Ptr<LightWorld> copy = create(getColor());
    copyLightTo(copy.get());
    copy->scattering_ = scattering_;
    copy->mode_ = mode_;
    copy->num_cascades_ = num_cascades_;
    copy->cascade_borders_ = cascade_borders_;
    return copy;
}

} // namespace Velmora
