#include "render_scene.h"

#include "velmora/FileSystem.h"
#include "velmora/Light.h"
#include "velmora/Material.h"
#include "velmora/Materials.h"
#include "velmora/Mesh.h"
#include "velmora/Object.h"
#include "velmora/Texture.h"

#include "engine_internal.h"
#include "node_tree.h"
#include "render_color.h"
#include "render_hash.h"
#include "texture_streaming.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace Velmora {
namespace render_internal {

namespace {

// Surfaces whose material names no albedo texture sample this one when the
// data folder has it.
const char *const WHITE_TEXTURE = "core/textures/white.png";

struct Frustum
{
    vec4 planes[6];

    explicit Frustum(const mat4 &view_projection)
    {
        const vec4 r0 = view_projection.getRow(0);
        const vec4 r1 = view_projection.getRow(1);
        const vec4 r2 = view_projection.getRow(2);
        const vec4 r3 = view_projection.getRow(3);
        planes[0] = r3 + r0;
        planes[1] = r3 - r0;
        planes[2] = r3 + r1;
        planes[3] = r3 - r1;
        planes[4] = r3 + r2;
        planes[5] = r3 - r2;
    }

    bool intersects(const BoundBox &box) const
    {
        if (!box.isValid())
            return false;
        for (const vec4 &plane : planes) {
            // The box corner furthest along the plane's normal.
            const vec3 corner(plane.x >= 0.0f ? box.getMax().x : box.getMin().x,
                              plane.y >= 0.0f ? box.getMax().y : box.getMin().y,
                              plane.z >= 0.0f ? box.getMax().z : box.getMin().z);
            if (plane.x * corner.x + plane.y * corner.y + plane.z * corner.z + plane.w < 0.0f)
                return false;
        }
        return true;
    }
};

float parameter(const Material &material, const char *name, float fallback)
{
    const int index = material.findParameter(name);
    return index >= 0 ? material.getParameterFloat(index) : fallback;
}

String texturePath(const Material &material, const char *slot)
{
    const int index = material.findTexture(slot);
    const char *path = index >= 0 ? material.getTexturePath(index) : "";
    return String(path ? path : "");
}

// What a surface's shading reads from its material (textures by path: they
// are acquired from the streaming registry at every collection).
struct MaterialValues
{
    vec4 albedo_color;
    float metalness = 0.0f;
    float roughness = 0.0f;
    float specular = 0.0f;
    float microfiber = 0.0f;
    float translucence = 0.0f;
    String albedo;
    String ambient_occlusion;
};

MaterialValues readValues(const Material &material)
{
    const SurfaceShading defaults;
    MaterialValues values;
    values.albedo_color = defaults.albedo_color;
    const int color = material.findParameter("albedo_color");
    if (color >= 0)
        values.albedo_color = material.getParameterFloat4(color);
    values.metalness = parameter(material, "metalness", defaults.metalness);
    values.roughness = parameter(material, "roughness", defaults.roughness);
    values.specular = parameter(material, "specular", defaults.specular);
    values.microfiber = parameter(material, "microfiber", defaults.microfiber);
    values.translucence = parameter(material, "translucent", defaults.translucence);
    values.albedo = texturePath(material, "albedo");
    values.ambient_occlusion = texturePath(material, "ambient_occlusion");
    return values;
}

// A mesh surface under a transform: the mesh's revision stands for its
// vertices, the transform is compared bit for bit.
struct GeometryKey
{
    uint64_t revision = 0;
    int surface = 0;
    uint32_t world[16] = {};

    bool operator<(const GeometryKey &other) const
    {
        if (revision != other.revision)
            return revision < other.revision;
        if (surface != other.surface)
            return surface < other.surface;
        return std::memcmp(world, other.world, sizeof world) < 0;
    }
};

// Entries not used by this many collections are dropped (the editor's views
// and viewports each collect once a frame).
constexpr uint64_t KEEP_COLLECTIONS = 8;

// What collections keep between frames. Material values stay while the
// materials' revision does (each entry holds its material, so that no other
// material takes its address meanwhile).
struct SceneCache
{
    std::mutex mutex;
    uint64_t collections = 0;
    uint64_t materials_revision = 0;
    struct KeptValues
    {
        Ptr<Material> material;
        MaterialValues values;
        uint64_t used = 0;
    };
    std::map<const Material *, KeptValues> materials;
    struct KeptGeometry
    {
        std::shared_ptr<const SurfaceGeometry> geometry;
        uint64_t used = 0;
    };
    std::map<GeometryKey, KeptGeometry> geometry;

    // Under the mutex: drops what the last few collections did not use.
    template<typename Map>
    void sweep(Map &map)
    {
        for (auto it = map.begin(); it != map.end();) {
            if (it->second.used + KEEP_COLLECTIONS < collections)
                it = map.erase(it);
            else
                ++it;
        }
    }
};

SceneCache &cache()
{
    static SceneCache c;
    return c;
}

uint64_t startCollection()
{
    SceneCache &c = cache();
    std::lock_guard<std::mutex> lock(c.mutex);
    return ++c.collections;
}

void endCollection()
{
    SceneCache &c = cache();
    std::lock_guard<std::mutex> lock(c.mutex);
    c.sweep(c.materials);
    c.sweep(c.geometry);
}

MaterialValues valuesOf(const Ptr<Material> &material, uint64_t collection)
{
    SceneCache &c = cache();
    // Read before the material is: a change made meanwhile raises it again.
    const uint64_t revision = engine_internal::materialsRevision();
    {
        std::lock_guard<std::mutex> lock(c.mutex);
        if (c.materials_revision != revision) {
            c.materials.clear();
            c.materials_revision = revision;
        }
        const auto found = c.materials.find(material.get());
        if (found != c.materials.end()) {
            found->second.used = collection;
            return found->second.values;
        }
    }
    const MaterialValues values = readValues(*material);
    std::lock_guard<std::mutex> lock(c.mutex);
    if (c.materials_revision == revision)
        c.materials[material.get()] = SceneCache::KeptValues{material, values, collection};
    return values;
}

std::shared_ptr<const SurfaceGeometry> transformSurface(const Mesh::Surface &surface, const mat4 &world)
{
    const auto geometry = std::make_shared<SurfaceGeometry>();
    const mat4 normal_matrix = Math::transpose(Math::inverse(world));
    const Vector<Mesh::Vertex> &vertices = surface.vertices;
    geometry->triangles.reserve(vertices.size() / 3);
    // The floats go two to a step.
    static_assert(sizeof(vec3) == 3 * sizeof(float) && sizeof(vec2) == 2 * sizeof(float),
                  "vectors are hashed as plain floats");
    Hasher h;
    for (int v = 0; v + 2 < vertices.size(); v += 3) {
        SceneTriangle triangle;
        for (int c = 0; c < 3; ++c) {
            const Mesh::Vertex &vertex = vertices[v + c];
            triangle.position[c] = world * vertex.position;
            triangle.normal[c] = Math::normalize((normal_matrix * vec4(vertex.normal, 0.0f)).xyz());
            triangle.uv[c] = vertex.texcoord;
        }
        h.addFloats(triangle.position, 9);
        h.addFloats(triangle.normal, 9);
        h.addFloats(triangle.uv, 6);
        geometry->triangles.append(triangle);
    }
    geometry->hash = h.value();
    return geometry;
}

std::shared_ptr<const SurfaceGeometry> geometryOf(const Mesh &mesh, int index, const mat4 &world, uint64_t collection)
{
    GeometryKey key;
    key.revision = mesh.getRevision();
    key.surface = index;
    static_assert(sizeof(key.world) == sizeof(world.m), "a transform is sixteen floats");
    std::memcpy(key.world, world.m, sizeof key.world);
    SceneCache &c = cache();
    {
        std::lock_guard<std::mutex> lock(c.mutex);
        const auto found = c.geometry.find(key);
        if (found != c.geometry.end()) {
            found->second.used = collection;
            return found->second.geometry;
        }
    }
    const std::shared_ptr<const SurfaceGeometry> geometry = transformSurface(mesh.getSurface(index), world);
    std::lock_guard<std::mutex> lock(c.mutex);
    c.geometry[key] = SceneCache::KeptGeometry{geometry, collection};
    return geometry;
}

// Textures up to this many texels are checked for a single colour.
constexpr int UNIFORM_CHECK_TEXELS = 256;

void findUniformAlbedo(SurfaceShading &shading)
{
    const Texture *texture = shading.albedo.get();
    if (!texture || texture->isEmpty() || texture->getWidth() * texture->getHeight() > UNIFORM_CHECK_TEXELS)
        return;
    const vec4 *texels = texture->getPixels();
    const int count = texture->getWidth() * texture->getHeight();
    for (int i = 1; i < count; ++i) {
        if (!(texels[i] == texels[0]))
            return;
    }
    const vec4 texel = texels[0];
    if (!std::isfinite(texel.x) || !std::isfinite(texel.y) || !std::isfinite(texel.z) || !std::isfinite(texel.w))
        return;
    shading.uniform_albedo = true;
    shading.uniform_albedo_color
            = vec4(shading.albedo_color.x * decodeGamma(texel.x), shading.albedo_color.y * decodeGamma(texel.y),
                   shading.albedo_color.z * decodeGamma(texel.z), shading.albedo_color.w * texel.w);
}

class Collector
{
public:
    Collector(const mat4 &view_projection, Scene &scene, uint64_t collection)
        : frustum_(view_projection)
        , scene_(scene)
        , collection_(collection)
    {}

    void collectLights(Node *node)
    {
        if (!node->isEnabled())
            return;
        if (node->getType() == Node::LIGHT_WORLD) {
            const LightWorld *light = static_cast<const LightWorld *>(node);
            SceneLight info;
            info.to_light = -Math::normalize(light->getDirection());
            info.color = light->getColor().xyz();
            info.shadow = light->getShadow();
            scene_.lights.append(info);
        }
        if (node->getType() == Node::NODE_REFERENCE) {
            if (const Ptr<Node> content = static_cast<NodeReference *>(node)->getReference())
                collectLights(content.get());
        }
        for (Node *child : NodeTree::childrenOf(node))
            collectLights(child);
    }

    void collectDrawables(Node *node, const mat4 &world, bool with_shadows)
    {
        if (!node->isEnabled())
            return;
        if (node->getType() == Node::OBJECT_MESH_STATIC)
            collectObject(static_cast<const Object *>(node), world, with_shadows);
        if (node->getType() == Node::NODE_REFERENCE) {
            if (const Ptr<Node> content = static_cast<NodeReference *>(node)->getReference())
                collectDrawables(content.get(), world * content->getTransform(), with_shadows);
        }
        for (Node *child : NodeTree::childrenOf(node))
            collectDrawables(child, world * child->getTransform(), with_shadows);
    }

private:
    void collectObject(const Object *object, const mat4 &world, bool with_shadows)
    {
        const Ptr<Mesh> mesh = object->getMesh();
        if (!mesh)
            return;
        for (int s = 0; s < object->getNumSurfaces(); ++s) {
            if (!object->isEnabled(s) || object->getViewportMask(s) == 0)
                continue;
            const int index = mesh->findSurface(object->getSurfaceName(s));
            if (index < 0)
                continue;
            const bool visible = frustum_.intersects(mesh->getBoundBox(index).transformed(world));
            const bool casts_shadow = with_shadows && object->getShadowMask(s) != 0;
            if (!visible && !casts_shadow)
                continue;
            const Ptr<Material> material = object->getMaterial(s);
            // Only what the view draws samples textures; a caster outside it
            // gets its shading once every surface is collected.
            const int shading = visible ? shadingOf(material) : -1;
            std::shared_ptr<const SurfaceGeometry> geometry = geometryOf(*mesh, index, world, collection_);
            if (geometry->triangles.empty())
                continue;
            if (!visible)
                shadow_only_.push_back(std::make_pair(scene_.pieces.size(), material.get()));
            ScenePiece piece;
            piece.geometry = std::move(geometry);
            piece.shading = shading;
            piece.visible = visible;
            piece.casts_shadow = casts_shadow;
            scene_.pieces.append(piece);
        }
    }

public:
    // Shadings of the casters outside the view: the shading of the same
    // material when the view draws it (its textures are loaded anyway, so
    // the caster's shadow is cut out as in the view), else one shading
    // without textures: the shadow pass needs only depth.
    void finish()
    {
        int depth_only = -1;
        for (const std::pair<int, const Material *> &pending : shadow_only_) {
            const auto drawn = shadings_.find(pending.second);
            int shading = drawn != shadings_.end() ? drawn->second : depth_only;
            if (shading < 0) {
                scene_.shadings.append(SurfaceShading());
                depth_only = shading = scene_.shadings.size() - 1;
            }
            scene_.pieces[pending.first].shading = shading;
        }
        shadow_only_.clear();
    }

private:
    int shadingOf(const Ptr<Material> &material)
    {
        const auto found = shadings_.find(material.get());
        if (found != shadings_.end())
            return found->second;
        SurfaceShading shading;
        if (material) {
            const MaterialValues values = valuesOf(material, collection_);
            shading.albedo_color = values.albedo_color;
            shading.metalness = values.metalness;
            shading.roughness = values.roughness;
            shading.specular = values.specular;
            shading.microfiber = values.microfiber;
            shading.translucence = values.translucence;
            if (!values.albedo.empty())
                shading.albedo = TextureStreaming::acquire(values.albedo.get(), &shading.cutout);
            if (!values.ambient_occlusion.empty())
                shading.ambient_occlusion = TextureStreaming::acquire(values.ambient_occlusion.get(), nullptr);
        }
        if (!shading.albedo && FileSystem::isFileExist(WHITE_TEXTURE))
            shading.albedo = TextureStreaming::acquire(WHITE_TEXTURE, &shading.cutout);
        findUniformAlbedo(shading);
        scene_.shadings.append(shading);
        const int index = scene_.shadings.size() - 1;
        shadings_[material.get()] = index;
        return index;
    }

    Frustum frustum_;
    Scene &scene_;
    const uint64_t collection_;
    std::map<const Material *, int> shadings_; // of the surfaces in the view
    std::vector<std::pair<int, const Material *>> shadow_only_; // piece, material
};

} // namespace

void collectScene(const Vector<Ptr<Node>> *nodes, int light_usage, const mat4 &view_projection, bool with_shadows,
                  Scene &scene)
{
    const uint64_t collection = startCollection();
    Collector collector(view_projection, scene, collection);
    if (nodes && light_usage == 2) {
        for (const Ptr<Node> &node : *nodes) {
            if (node)
                collector.collectLights(node.get());
        }
    } else {
        for (Node *root : NodeTree::roots())
            collector.collectLights(root);
    }
    bool shadows = false;
    for (const SceneLight &light : scene.lights)
        shadows = shadows || light.shadow;
    with_shadows = with_shadows && shadows;

    if (nodes) {
        for (const Ptr<Node> &node : *nodes) {
            if (node)
                collector.collectDrawables(node.get(), node->getWorldTransform(), with_shadows);
        }
    } else {
        for (Node *root : NodeTree::roots())
            collector.collectDrawables(root, root->getTransform(), with_shadows);
    }
    collector.finish();
    endCollection();
}

void makeTriangles(Scene &scene)
{
    int count = 0;
    for (const ScenePiece &piece : scene.pieces)
        count += piece.geometry->triangles.size();
    scene.triangles.clear();
    scene.triangles.reserve(count);
    for (const ScenePiece &piece : scene.pieces) {
        for (SceneTriangle triangle : piece.geometry->triangles) {
            triangle.shading = piece.shading;
            triangle.visible = piece.visible;
            triangle.casts_shadow = piece.casts_shadow;
            scene.triangles.append(triangle);
        }
    }
}

void releaseSceneCache()
{
    SceneCache &c = cache();
    std::lock_guard<std::mutex> lock(c.mutex);
    c.materials.clear();
    c.geometry.clear();
}

} // namespace render_internal
} // namespace Velmora
