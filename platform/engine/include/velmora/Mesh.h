#pragma once

#include "velmora/Bounds.h"
#include "velmora/Math.h"
#include "velmora/Ptr.h"
#include "velmora/String.h"
#include "velmora/Vector.h"

#include <cstdint>

namespace Velmora {

// Triangle mesh read from the OBJ-style text of mesh and model files:
// "v", "vt", "vn", "f" (v, v/vt, v//vn, v/vt/vn; 1-based, negative =
// relative; polygons fan-triangulated), "g"/"o" start a surface, "usemtl"
// names its default material, "#" comments. Each triangle corner has its own
// vertex; missing normals are per face, missing UVs 0.
class Mesh
{
public:
    struct Vertex
    {
        vec3 position;
        vec3 normal;
        vec2 texcoord;
    };
    struct Surface
    {
        String name;
        String material; // from "usemtl", may be empty
        Vector<Vertex> vertices; // three per triangle
        BoundBox bound_box;
    };

    static Ptr<Mesh> create();
    // Loads by data path, absolute path or "guid://" text through the file
    // system; null with one error line when unreadable.
    static Ptr<Mesh> load(const char *name);
    // Cached load: one shared mesh per resolved file until the cache is
    // cleared (world quit, engine shutdown).
    static Ptr<Mesh> loadCached(const char *name);
    static void clearCache();

    // Parses mesh text; false (mesh left empty) when it holds no triangle.
    bool parse(const char *text, int size);
    // Adds a box surface (used for fixtures and built-in geometry).
    int addBoxSurface(const char *name, const vec3 &size);

    const char *getPath() const { return path_.get(); }
    int getNumSurfaces() const { return surfaces_.size(); }
    const Surface &getSurface(int surface) const { return surfaces_[surface]; }
    const char *getSurfaceName(int surface) const { return surfaces_[surface].name.get(); }
    int findSurface(const char *name) const;
    int getNumTriangles(int surface) const { return surfaces_[surface].vertices.size() / 3; }
    int getNumTriangles() const;

    const BoundBox &getBoundBox() const { return bound_box_; }
    BoundBox getBoundBox(int surface) const { return surfaces_[surface].bound_box; }
    BoundSphere getBoundSphere() const { return BoundSphere(bound_box_); }

    // Stands for the surfaces as they are now: a new number after every
    // change, and never the same number for other surfaces (a copy keeps it
    // along with the surfaces).
    uint64_t getRevision() const { return revision_; }

private:
    Mesh() = default;
    // Also takes a new revision: every change to the surfaces ends here.
    void updateBounds();
    static uint64_t newRevision();

    String path_;
    Vector<Surface> surfaces_;
    BoundBox bound_box_;
    uint64_t revision_ = newRevision();
};

} // namespace Velmora
