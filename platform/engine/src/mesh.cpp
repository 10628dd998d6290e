#include "velmora/Mesh.h"

#include "velmora/Log.h"

#include "engine_internal.h"

#include <QByteArray>
#include <QList>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>

namespace Velmora {

namespace {

std::mutex g_cache_mutex;
std::map<std::string, Ptr<Mesh>> g_cache;
std::atomic<uint64_t> g_revisions{0};

struct Corner
{
    int v = -1;
    int vt = -1;
    int vn = -1;
};

// A 1-based (or negative, relative) index to 0-based; -1 when out of range.
int resolveIndex(const QByteArray &text, int count)
{
    if (text.isEmpty())
        return -1;
    bool ok = false;
    const int index = text.toInt(&ok);
    if (!ok || index == 0)
        return -1;
    const int resolved = index > 0 ? index - 1 : count + index;
    return resolved >= 0 && resolved < count ? resolved : -1;
}

} // namespace

Ptr<Mesh> Mesh::create()
{
    return Ptr<Mesh>(new Mesh);
}

Ptr<Mesh> Mesh::load(const char *name)
{
    if (!engine_internal::checkRunning("Mesh::load"))
        return Ptr<Mesh>();
    const String path = engine_internal::resolveDataFile(name);
    if (path.empty()) {
        Log::error("Mesh::load: cannot find \"%s\"\n", name ? name : "");
        return Ptr<Mesh>();
    }
    QByteArray data;
    if (!engine_internal::readFile(path, data)) {
        Log::error("Mesh::load: cannot read %s\n", path.get());
        return Ptr<Mesh>();
    }
    Ptr<Mesh> mesh = create();
    if (!mesh->parse(data.constData(), data.size())) {
        Log::error("Mesh::load: %s holds no triangles\n", path.get());
        return Ptr<Mesh>();
    }
    mesh->path_ = path;
    return mesh;
}

Ptr<Mesh> Mesh::loadCached(const char *name)
{
    if (!engine_internal::checkRunning("Mesh::loadCached"))
        return Ptr<Mesh>();
    const String path = engine_internal::resolveDataFile(name);
    if (!path.empty()) {
        std::lock_guard<std::mutex> lock(g_cache_mutex);
        auto it = g_cache.find(path.std());
        if (it != g_cache.end())
            return it->second;
    }
    Ptr<Mesh> mesh = load(name);
    if (mesh) {
        std::lock_guard<std::mutex> lock(g_cache_mutex);
        g_cache[path.std()] = mesh;
    }
    return mesh;
}

void Mesh::clearCache()
{
    std::map<std::string, Ptr<Mesh>> old;
    {
        std::lock_guard<std::mutex> lock(g_cache_mutex);
        old.swap(g_cache);
    }
}

bool Mesh::parse(const char *text, int size)
{
    surfaces_.clear();
    bound_box_.clear();

    Vector<vec3> positions;
    Vector<vec2> texcoords;
    Vector<vec3> normals;
    int current = -1;
    int bad_faces = 0;

    auto selectSurface = [this, &current](const QByteArray &name) {
        for (int i = 0; i < surfaces_.size(); ++i) {
            if (surfaces_[i].name == name.constData()) {
                current = i;
                return;
            }
        }
        // An unused surface is renamed rather than left empty.
        if (current >= 0 && surfaces_[current].vertices.empty()) {
            surfaces_[current].name = name.constData();
            return;
        }
        Surface surface;
        surface.name = name.constData();
        surfaces_.append(surface);
        current = surfaces_.size() - 1;
    };

    const QByteArray data(text ? text : "", text ? size : 0);
    for (const QByteArray &raw : data.split('\n')) {
        QByteArray line = raw;
        const int hash = line.indexOf('#');
        if (hash >= 0)
            line.truncate(hash);
        line = line.simplified();
        if (line.isEmpty())
            continue;
        const int blank = line.indexOf(' ');
        const QByteArray keyword = blank < 0 ? line : line.left(blank);
        const QByteArray rest = blank < 0 ? QByteArray() : line.mid(blank + 1);
        float values[3] = {0.0f, 0.0f, 0.0f};
        if (keyword == "v") {
            engine_internal::parseFloats(rest.constData(), values, 3);
            positions.append(vec3(values[0], values[1], values[2]));
        } else if (keyword == "vt") {
            engine_internal::parseFloats(rest.constData(), values, 2);
            texcoords.append(vec2(values[0], values[1]));
        } else if (keyword == "vn") {
            engine_internal::parseFloats(rest.constData(), values, 3);
            normals.append(Math::normalize(vec3(values[0], values[1], values[2])));
        } else if (keyword == "g" || keyword == "o") {
            selectSurface(rest.isEmpty() ? QByteArray("default") : rest);
        } else if (keyword == "usemtl") {
            if (current < 0)
                selectSurface("default");
            surfaces_[current].material = rest.constData();
        } else if (keyword == "f") {
            Vector<Corner> corners;
            bool ok = true;
            for (const QByteArray &item : rest.split(' ')) {
                const QList<QByteArray> parts = item.split('/');
                Corner corner;
                corner.v = resolveIndex(parts.value(0), positions.size());
                if (corner.v < 0) {
                    ok = false;
                    break;
                }
                if (parts.size() > 1 && !parts[1].isEmpty()) {
                    corner.vt = resolveIndex(parts[1], texcoords.size());
                    ok = ok && corner.vt >= 0;
                }
                if (parts.size() > 2 && !parts[2].isEmpty()) {
                    corner.vn = resolveIndex(parts[2], normals.size());
                    ok = ok && corner.vn >= 0;
                }
                corners.append(corner);
            }
            if (!ok || corners.size() < 3) {
                ++bad_faces;
                continue;
            }
            if (current < 0)
                selectSurface("default");
            Surface &surface = surfaces_[current];
            for (int i = 1; i + 1 < corners.size(); ++i) {
                const Corner tri[3] = {corners[0], corners[i], corners[i + 1]};
                const vec3 a = positions[tri[0].v];
                const vec3 b = positions[tri[1].v];
                const vec3 c = positions[tri[2].v];
                const vec3 face_normal = Math::normalize(Math::cross(b - a, c - a));
                for (const Corner &corner : tri) {
                    Vertex vertex;
                    vertex.position = positions[corner.v];
                    vertex.normal = corner.vn >= 0 ? normals[corner.vn] : face_normal;
                    vertex.texcoord = corner.vt >= 0 ? texcoords[corner.vt] : vec2(0.0f, 0.0f);
                    surface.vertices.append(vertex);
                }
            }
        }
    }
    if (bad_faces > 0)
        Log::warning("Mesh: %d face(s) with bad indices skipped\n", bad_faces);

    for (int i = surfaces_.size() - 1; i >= 0; --i) {
        if (surfaces_[i].vertices.empty())
            surfaces_.remove(i);
    }
    updateBounds();
    return !surfaces_.empty();
}

int Mesh::addBoxSurface(const char *name, const vec3 &size)
{
    const vec3 h = size * 0.5f;
    Surface surface;
    surface.name = name;
    // Each face: outward normal, then two triangles counter-clockwise seen
    // from outside.
    const vec3 n[6] = {vec3(1, 0, 0), vec3(-1, 0, 0), vec3(0, 1, 0), vec3(0, -1, 0), vec3(0, 0, 1), vec3(0, 0, -1)};
    for (const vec3 &normal : n) {
        // Two axes spanning the face, chosen so that u x v = normal.
        vec3 u = std::abs(normal.z) > 0.5f ? vec3(1, 0, 0) : vec3(0, 0, 1);
        vec3 v = Math::cross(normal, u);
        u = Math::cross(v, normal);
        const vec3 centre = normal * h;
        const float hu = std::abs(u.x) * h.x + std::abs(u.y) * h.y + std::abs(u.z) * h.z;
        const float hv = std::abs(v.x) * h.x + std::abs(v.y) * h.y + std::abs(v.z) * h.z;
        const vec3 p[4] = {centre - u * hu - v * hv, centre + u * hu - v * hv, centre + u * hu + v * hv,
                           centre - u * hu + v * hv};
        const int order[6] = {0, 1, 2, 0, 2, 3};
        for (int index : order) {
            Vertex vertex;
            vertex.position = p[index];
            vertex.normal = normal;
            vertex.texcoord = vec2(index == 1 || index == 2 ? 1.0f : 0.0f, index >= 2 ? 1.0f : 0.0f);
            surface.vertices.append(vertex);
        }
    }
    surfaces_.append(surface);
    updateBounds();
    return surfaces_.size() - 1;
}

int Mesh::findSurface(const char *name) const
{
    for (int i = 0; i < surfaces_.size(); ++i) {
        if (name && surfaces_[i].name == name)
            return i;
    }
    return -1;
}

int Mesh::getNumTriangles() const
{
    int count = 0;
    for (const Surface &surface : surfaces_)
        count += surface.vertices.size() / 3;
    return count;
}

void Mesh::updateBounds()
{
    bound_box_.clear();
    for (Surface &surface : surfaces_) {
        surface.bound_box.clear();
        for (const Vertex &vertex : surface.vertices)
            surface.bound_box.expand(vertex.position);
        bound_box_.expand(surface.bound_box);
    }
    revision_ = newRevision();
}

uint64_t Mesh::newRevision()
{
    return g_revisions.fetch_add(1) + 1;
}

} // namespace Velmora
