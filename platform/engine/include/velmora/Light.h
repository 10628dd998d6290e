#pragma once

#include "velmora/Node.h"

namespace Velmora {

// A light: colour (RGB intensity in xyz, w unused but kept), shadow flag
// and shadow settings (stored).
class Light : public Node
{
public:
    const vec4 &getColor() const { return color_; }
    void setColor(const vec4 &color) { color_ = color; }
    bool getShadow() const { return shadow_; }
    void setShadow(bool shadow) { shadow_ = shadow; }
    int getShadowResolution() const { return shadow_resolution_; }
    void setShadowResolution(int resolution) { shadow_resolution_ = resolution; }

protected:
    explicit Light(int type)
        : Node(type)
    {}
    void copyLightTo(Light *other) const;

private:
    vec4 color_ = vec4(1.0f, 1.0f, 1.0f, 1.0f);
    bool shadow_ = false;
    int shadow_resolution_ = 1024;
};

// A directional light shining along its own local -Z.
class LightWorld : public Light
{
public:
    static Ptr<LightWorld> create(const vec4 &color = vec4(1.0f, 1.0f, 1.0f, 1.0f));

    float getScattering() const { return scattering_; }
    void setScattering(float scattering) { scattering_ = scattering; }
    int getMode() const { return mode_; }
    void setMode(int mode) { mode_ = mode; }
    int getNumShadowCascades() const { return num_cascades_; }
    void setNumShadowCascades(int num);
    float getShadowCascadeBorder(int cascade) const;
    void setShadowCascadeBorder(int cascade, float border);
    // World direction the light shines along.
    vec3 getDirection() const;

protected:
    LightWorld()
        : Light(LIGHT_WORLD)
    {}
    Ptr<Node> cloneSelf() const override;

private:
    float scattering_ = 0.0f;
    int mode_ = 0;
    int num_cascades_ = 1;
    Vector<float> cascade_borders_ = Vector<float>(1, 1.0f);
};

} // namespace Velmora
