#pragma once

#include "velmora/Node.h"

namespace Velmora {

class Material;
class Mesh;

// A node with surfaces: each surface has a name, an enabled flag, a material
// list (comma-separated names or GUID texts; the first entry is drawn) and
// viewport and shadow masks. A surface index of -1 means every surface.
class Object : public Node
{
public:
    int getNumSurfaces() const { return surfaces_.size(); }
    const char *getSurfaceName(int surface) const;
    int findSurface(const char *name) const;

    bool isEnabled() const { return Node::isEnabled(); }
    void setEnabled(bool enabled) { Node::setEnabled(enabled); }
    bool isEnabled(int surface) const;
    void setEnabled(bool enabled, int surface);

    // The material list text of a surface, as stored.
    const char *getMaterialName(int surface) const;
    // The drawn material: the first list entry resolved by name or GUID,
    // else the mesh's default material, else the built-in mesh_base.
    Ptr<Material> getMaterial(int surface) const;
    void setMaterial(const char *name, int surface);
    void setMaterial(const Ptr<Material> &material, int surface);

    unsigned int getViewportMask(int surface) const;
    void setViewportMask(unsigned int mask, int surface);
    unsigned int getShadowMask(int surface) const;
    void setShadowMask(unsigned int mask, int surface);

    // The mesh drawn by the object (null for objects without one).
    virtual Ptr<Mesh> getMesh() const { return Ptr<Mesh>(); }
    // Local bounds of one surface (invalid when it has no geometry).
    BoundBox getBoundBox(int surface) const;
    BoundBox getBoundBox() const override;
    // Recomputes cached surface bounds (-1: all).
    void updateSurfaceBounds(int surface = -1);

    // Attributes of a surface element that the engine does not interpret.
    struct Surface
    {
        String name;
        bool enabled = true;
        String material;
        unsigned int viewport_mask = 0xffffffffu;
        unsigned int shadow_mask = 0xffffffffu;
        Vector<String> unknown_elements;
        bool from_file = false; // written on save even when all defaults
    };
    const Surface &getSurface(int surface) const;
    Surface &getSurface(int surface);
    void setSurfaces(const Vector<Surface> &surfaces) { surfaces_ = surfaces; }
    const Vector<Surface> &getSurfaces() const { return surfaces_; }

protected:
    explicit Object(int type)
        : Node(type)
    {}
    Vector<Surface> surfaces_;
};

// A static mesh object. The mesh comes from an OBJ-style mesh file given by
// data path or "guid://" text; its surfaces follow the mesh's surfaces.
class ObjectMeshStatic : public Object
{
public:
    // A missing or broken mesh gives an object without surfaces and one error
    // line. unique = true loads a private copy of the mesh.
    static Ptr<ObjectMeshStatic> create(const char *mesh_name, bool unique = false);

    const char *getMeshName() const { return mesh_name_.get(); }
    // Loads the mesh; surfaces with the same names keep their settings.
    bool setMeshName(const char *mesh_name, bool unique = false);
    Ptr<Mesh> getMesh() const override { return mesh_; }

protected:
    ObjectMeshStatic()
        : Object(OBJECT_MESH_STATIC)
    {}
    Ptr<Node> cloneSelf() const override;

private:
    String mesh_name_;
    Ptr<Mesh> mesh_;
};

// Objects whose settings are kept but which draw nothing in the stand-in
// renderer. Each setting is an element named after its getter without "get"
// in snake case ("mesh_name", "mask_image", ...), stored as text.
class ObjectSettings : public Object
{
public:
    int getNumSettings() const { return setting_names_.size(); }
    const char *getSettingName(int index) const;
    // "" when not set.
    const char *getSetting(const char *name) const;
    void setSetting(const char *name, const char *value);
    float getSettingFloat(const char *name, float default_value = 0.0f) const;
    int getSettingInt(const char *name, int default_value = 0) const;

protected:
    explicit ObjectSettings(int type)
        : Object(type)
    {}
    void copySettingsTo(ObjectSettings *other) const;

private:
    Vector<String> setting_names_;
    Vector<String> setting_values_;
};

class ObjectMeshClutter : public ObjectSettings
{
public:
    static Ptr<ObjectMeshClutter> create();
    const char *getMeshName() const { return getSetting("mesh_name"); }
    void setMeshName(const char *name) { setSetting("mesh_name", name); }

protected:
    ObjectMeshClutter()
        : ObjectSettings(OBJECT_MESH_CLUTTER)
    {}
    Ptr<Node> cloneSelf() const override;
};

class ObjectGrass : public ObjectSettings
{
public:
    static Ptr<ObjectGrass> create();

protected:
    ObjectGrass()
        : ObjectSettings(OBJECT_GRASS)
    {}
    Ptr<Node> cloneSelf() const override;
};

// Billboards: surfaces plus a list of billboard sizes.
class ObjectBillboards : public ObjectSettings
{
public:
    static Ptr<ObjectBillboards> create();
    int getNumBillboards() const { return billboards_.size(); }
    float getWidth(int index) const;
    float getHeight(int index) const;
    int addBillboard(float width, float height);
    void clearBillboards() { billboards_.clear(); }

protected:
    ObjectBillboards()
        : ObjectSettings(OBJECT_BILLBOARDS)
    {}
    Ptr<Node> cloneSelf() const override;

private:
    Vector<vec2> billboards_;
};

} // namespace Velmora
