#pragma once

#include "velmora/Math.h"
#include "velmora/Ptr.h"
#include "velmora/Vector.h"

#include <cstdint>
#include <memory>

namespace Velmora {

class Node;
class Texture;

namespace render_internal {

// What a surface's material gives the G-buffer.
struct SurfaceShading
{
    vec4 albedo_color = vec4(0.8f, 0.8f, 0.8f, 1.0f);
    float metalness = 0.0f;
    float roughness = 0.5f;
    float specular = 0.5f;
    float microfiber = 0.0f;
    float translucence = 0.0f;
    Ptr<Texture> albedo;
    bool cutout = false; // some albedo texel has alpha below 0.5
    // Set when the albedo texture is small and all its texels are equal:
    // then every sample at a finite coordinate gives that texel, and this
    // is albedo_color times the texel, decoded, as a fragment would get it.
    bool uniform_albedo = false;
    vec4 uniform_albedo_color;
    Ptr<Texture> ambient_occlusion;
};

// A world-space triangle of a drawn surface.
struct SceneTriangle
{
    vec3 position[3];
    vec3 normal[3];
    vec2 uv[3];
    int shading = 0;
    bool visible = true; // its surface lies in the camera's view
    bool casts_shadow = true;
};

// The world-space triangles of one mesh surface under one transform (their
// shading and flags left at the defaults), and a hash of their floats.
struct SurfaceGeometry
{
    Vector<SceneTriangle> triangles;
    uint64_t hash = 0;
};

// The triangles one drawn surface adds to the scene, in order.
struct ScenePiece
{
    std::shared_ptr<const SurfaceGeometry> geometry;
    int shading = 0;
    bool visible = true;
    bool casts_shadow = true;
};

struct SceneLight
{
    vec3 to_light; // unit vector towards the light
    vec3 color;
    bool shadow = false;
};

struct Scene
{
    Vector<SurfaceShading> shadings;
    Vector<ScenePiece> pieces;
    Vector<SceneTriangle> triangles; // the pieces' triangles, once made
    Vector<SceneLight> lights;
};

// Collects the enabled mesh surfaces (node-reference contents included) and
// lights of the world (nodes null) or of the node list. Lights come from the
// world unless light_usage is 2 (the node list's own). Surfaces outside the
// view are kept only as shadow casters when with_shadows is set. Only the
// surfaces in the view load their textures through the streaming registry:
// a caster outside it shares the shading of its material when the view draws
// that material, else it gets a shading without textures (the shadow pass
// draws depth only).
//
// The surfaces come as pieces: the world-space triangles of a mesh surface
// are kept between collections while the mesh's revision and the transform
// stay the same, and a material's values while no material changes, so an
// unchanged scene costs a walk of its nodes. makeTriangles then lays the
// pieces' triangles out one after another.
void collectScene(const Vector<Ptr<Node>> *nodes, int light_usage, const mat4 &view_projection, bool with_shadows,
                  Scene &scene);
void makeTriangles(Scene &scene);

// Drops what collections keep between frames (at engine start and stop).
void releaseSceneCache();

} // namespace render_internal
} // namespace Velmora
