#include "render_scene.h"

#include "velmora/FileSystem.h"
#include "velmora/Light.h"
#include "velmora/Material.h"
#include "velmora/Materials.h"
#include "velmora/Mesh.h"
#include "velmora/Object.h"
#include "velmora/Texture.h"

#include "node_tree.h"
#include "render_color.h"
#include "texture_streaming.h"

#include <cmath>
#include <map>

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

Ptr<Texture> texture(const Material &material, const char *slot, bool *cutout)
{
    const int index = material.findTexture(slot);
    const char *path = index >= 0 ? material.getTexturePath(index) : "";
    return path && *path ? TextureStreaming::acquire(path, cutout) : Ptr<Texture>();
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
    Collector(const mat4 &view_projection, Scene &scene)
        : frustum_(view_projection)
        , scene_(scene)
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
        const mat4 normal_matrix = Math::transpose(Math::inverse(world));
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
            const int shading = shadingOf(object->getMaterial(s));
            const Vector<Mesh::Vertex> &vertices = mesh->getSurface(index).vertices;
            for (int v = 0; v + 2 < vertices.size(); v += 3) {
                SceneTriangle triangle;
                for (int c = 0; c < 3; ++c) {
                    const Mesh::Vertex &vertex = vertices[v + c];
                    triangle.position[c] = world * vertex.position;
                    triangle.normal[c] = Math::normalize((normal_matrix * vec4(vertex.normal, 0.0f)).xyz());
                    triangle.uv[c] = vertex.texcoord;
                }
                triangle.shading = shading;
                triangle.visible = visible;
                triangle.casts_shadow = casts_shadow;
                scene_.triangles.append(triangle);
            }
        }
    }

    int shadingOf(const Ptr<Material> &material)
    {
        const auto found = shadings_.find(material.get());
        if (found != shadings_.end())
            return found->second;
        SurfaceShading shading;
        if (material) {
            const int color = material->findParameter("albedo_color");
            if (color >= 0)
                shading.albedo_color = material->getParameterFloat4(color);
            shading.metalness = parameter(*material, "metalness", shading.metalness);
            shading.roughness = parameter(*material, "roughness", shading.roughness);
            shading.specular = parameter(*material, "specular", shading.specular);
            shading.microfiber = parameter(*material, "microfiber", shading.microfiber);
            shading.translucence = parameter(*material, "translucent", shading.translucence);
            shading.albedo = texture(*material, "albedo", &shading.cutout);
            shading.ambient_occlusion = texture(*material, "ambient_occlusion", nullptr);
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
    std::map<const Material *, int> shadings_;
};

} // namespace

void collectScene(const Vector<Ptr<Node>> *nodes, int light_usage, const mat4 &view_projection, bool with_shadows,
                  Scene &scene)
{
    Collector collector(view_projection, scene);
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
}

} // namespace render_internal
} // namespace Velmora
