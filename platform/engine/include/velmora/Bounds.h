#pragma once

#include "velmora/Math.h"

namespace Velmora {

// Axis-aligned box; an empty box (no point added yet) is invalid.
struct BoundBox
{
    vec3 min_ = vec3(0.0f, 0.0f, 0.0f);
    vec3 max_ = vec3(0.0f, 0.0f, 0.0f);
    bool valid_ = false;

    BoundBox() = default;
    BoundBox(const vec3 &min, const vec3 &max)
        : min_(min)
        , max_(max)
        , valid_(true)
    {}

    bool isValid() const { return valid_; }
    const vec3 &getMin() const { return min_; }
    const vec3 &getMax() const { return max_; }
    vec3 getCenter() const;
    vec3 getSize() const;
    void clear() { valid_ = false; }
    void expand(const vec3 &point);
    void expand(const BoundBox &box);
    // The box around the eight corners of this box transformed by m.
    BoundBox transformed(const mat4 &m) const;
};

// Sphere around a box or a set of points; radius < 0 means invalid.
struct BoundSphere
{
    vec3 center_ = vec3(0.0f, 0.0f, 0.0f);
    float radius_ = -1.0f;

    BoundSphere() = default;
    BoundSphere(const vec3 &center, float radius)
        : center_(center)
        , radius_(radius)
    {}
    explicit BoundSphere(const BoundBox &box);

    bool isValid() const { return radius_ >= 0.0f; }
    const vec3 &getCenter() const { return center_; }
    float getRadius() const { return radius_; }
};

using WorldBoundBox = BoundBox;
using WorldBoundSphere = BoundSphere;

} // namespace Velmora
