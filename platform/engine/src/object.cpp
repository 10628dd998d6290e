#include "velmora/Object.h"

#include "velmora/Log.h"
#include "velmora/Material.h"
#include "velmora/Materials.h"
#include "velmora/Mesh.h"

#include "engine_internal.h"

#include <cstdlib>

namespace Velmora {

namespace {

Object::Surface g_no_surface;

} // namespace

// ---- Object ----------------------------------------------------------------------

const Object::Surface &Object::getSurface(int surface) const
{
    if (surface < 0 || surface >= surfaces_.size())
        return g_no_surface;
    return surfaces_[surface];
}

Object::Surface &Object::getSurface(int surface)
{
    VELMORA_ASSERT(surface >= 0 && surface < surfaces_.size());
    return surfaces_[surface];
}

const char *Object::getSurfaceName(int surface) const
{
    return getSurface(surface).name.get();
}

int Object::findSurface(const char *name) const
{
    for (int i = 0; i < surfaces_.size(); ++i) {
        if (name && surfaces_[i].name == name)
            return i;
    }
    return -1;
}

bool Object::isEnabled(int surface) const
{
    return getSurface(surface).enabled;
}

void Object::setEnabled(bool enabled, int surface)
{
    for (int i = 0; i < surfaces_.size(); ++i) {
        if (surface == -1 || surface == i)
            surfaces_[i].enabled = enabled;
    }
}

const char *Object::getMaterialName(int surface) const
{
    return getSurface(surface).material.get();
}

Ptr<Material> Object::getMaterial(int surface) const
{
    if (surface < 0 || surface >= surfaces_.size())
        return Ptr<Material>();
    // The first entry of the list is the drawn material.
    const String list = surfaces_[surface].material;
    const Vector<String> entries = list.split(",");
    if (!entries.empty()) {
        const String first = entries[0].trim();
        if (!first.empty()) {
            if (Ptr<Material> material = Materials::resolve(first.get()))
                return material;
        }
    }
    const Ptr<Mesh> mesh = getMesh();
    if (mesh) {
        const int index = mesh->findSurface(surfaces_[surface].name.get());
        if (index >= 0 && !mesh->getSurface(index).material.empty()) {
            if (Ptr<Material> material = Materials::resolve(mesh->getSurface(index).material.get()))
                return material;
        }
    }
    return Materials::findBaseMaterial("mesh_base");
}

void Object::setMaterial(const char *name, int surface)
{
    for (int i = 0; i < surfaces_.size(); ++i) {
        if (surface == -1 || surface == i)
            surfaces_[i].material = name;
    }
}

void Object::setMaterial(const Ptr<Material> &material, int surface)
{
    if (!material) {
        setMaterial("", surface);
        return;
    }
    // Named materials are written by name; unnamed ones by GUID text.
    const String text = *material->getName() ? String(material->getName()) : material->getGUID().getString();
    setMaterial(text.get(), surface);
}

unsigned int Object::getViewportMask(int surface) const
{
    return getSurface(surface).viewport_mask;
}

void Object::setViewportMask(unsigned int mask, int surface)
{
    for (int i = 0; i < surfaces_.size(); ++i) {
        if (surface == -1 || surface == i)
            surfaces_[i].viewport_mask = mask;
    }
}

unsigned int Object::getShadowMask(int surface) const
{
    return getSurface(surface).shadow_mask;
}

void Object::setShadowMask(unsigned int mask, int surface)
{
    for (int i = 0; i < surfaces_.size(); ++i) {
        if (surface == -1 || surface == i)
            surfaces_[i].shadow_mask = mask;
    }
}

BoundBox Object::getBoundBox(int surface) const
{
    const Ptr<Mesh> mesh = getMesh();
    if (!mesh || surface < 0 || surface >= surfaces_.size())
        return BoundBox();
    const int index = mesh->findSurface(surfaces_[surface].name.get());
    return index >= 0 ? mesh->getBoundBox(index) : BoundBox();
}

BoundBox Object::getBoundBox() const
{
    BoundBox box;
    for (int i = 0; i < surfaces_.size(); ++i)
        box.expand(getBoundBox(i));
    return box;
}

void Object::updateSurfaceBounds(int)
{
    // Bounds come straight from the mesh surfaces; nothing is cached.
}

// ---- ObjectMeshStatic -------------------------------------------------------------

Ptr<ObjectMeshStatic> ObjectMeshStatic::create(const char *mesh_name, bool unique)
{
    Ptr<ObjectMeshStatic> object = adopt(new ObjectMeshStatic);
    if (mesh_name && *mesh_name)
        object->setMeshName(mesh_name, unique);
    return object;
}

bool ObjectMeshStatic::setMeshName(const char *mesh_name, bool unique)
{
    mesh_name_ = mesh_name;
    mesh_.reset();
    Ptr<Mesh> mesh;
    if (mesh_name && *mesh_name && engine_internal::checkRunning("ObjectMeshStatic::setMeshName"))
        mesh = unique ? Mesh::load(mesh_name) : Mesh::loadCached(mesh_name);
    mesh_ = mesh;

    // Surfaces follow the mesh; settings of surfaces with the same name stay.
    // Surfaces the mesh does not have are kept, so that their settings are
    // not lost from the file when a mesh is missing.
    Vector<Surface> old = surfaces_;
    Vector<Surface> surfaces;
    if (mesh) {
        for (int i = 0; i < mesh->getNumSurfaces(); ++i) {
            Surface surface;
            surface.name = mesh->getSurfaceName(i);
            for (int j = 0; j < old.size(); ++j) {
                if (old[j].name == surface.name) {
                    surface = old[j];
                    old.remove(j);
                    break;
                }
            }
            surfaces.append(surface);
        }
    }
    for (const Surface &surface : old) {
        if (surface.from_file)
            surfaces.append(surface);
    }
    surfaces_ = surfaces;
    return bool(mesh);
}

Ptr<Node> ObjectMeshStatic::cloneSelf() const
{
    Ptr<ObjectMeshStatic> copy = adopt(new ObjectMeshStatic);
    copyBaseTo(copy.get());
    copy->mesh_name_ = mesh_name_;
    copy->mesh_ = mesh_;
    copy->surfaces_ = surfaces_;
    return copy;
}

// ---- settings objects ----------------------------------------------------------------

const char *ObjectSettings::getSettingName(int index) const
{
    if (index < 0 || index >= setting_names_.size())
        return "";
    return setting_names_[index].get();
}

const char *ObjectSettings::getSetting(const char *name) const
{
    for (int i = 0; i < setting_names_.size(); ++i) {
        if (name && setting_names_[i] == name)
            return setting_values_[i].get();
    }
    return "";
}

void ObjectSettings::setSetting(const char *name, const char *value)
{
    if (!name || !*name)
        return;
    for (int i = 0; i < setting_names_.size(); ++i) {
        if (setting_names_[i] == name) {
            setting_values_[i] = value;
            return;
        }
    }
    setting_names_.append(String(name));
    setting_values_.append(String(value));
}

float ObjectSettings::getSettingFloat(const char *name, float default_value) const
{
    float value = default_value;
    return engine_internal::parseFloats(getSetting(name), &value, 1) == 1 ? value : default_value;
}

int ObjectSettings::getSettingInt(const char *name, int default_value) const
{
    const char *text = getSetting(name);
    char *end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return end != text ? int(value) : default_value;
}

void ObjectSettings::copySettingsTo(ObjectSettings *other) const
{
    copyBaseTo(other);
    other->surfaces_ = surfaces_;
    other->setting_names_ = setting_names_;
    other->setting_values_ = setting_values_;
}

Ptr<ObjectMeshClutter> ObjectMeshClutter::create()
{
    return adopt(new ObjectMeshClutter);
}

Ptr<Node> ObjectMeshClutter::cloneSelf() const
{
    Ptr<ObjectMeshClutter> copy = create();
    copySettingsTo(copy.get());
    return copy;
}

Ptr<ObjectGrass> ObjectGrass::create()
{
    return adopt(new ObjectGrass);
}

Ptr<Node> ObjectGrass::cloneSelf() const
{
    Ptr<ObjectGrass> copy = create();
    copySettingsTo(copy.get());
    return copy;
}

Ptr<ObjectBillboards> ObjectBillboards::create()
{
    return adopt(new ObjectBillboards);
}

float ObjectBillboards::getWidth(int index) const
{
    return index >= 0 && index < billboards_.size() ? billboards_[index].x : 0.0f;
}

float ObjectBillboards::getHeight(int index) const
{
    return index >= 0 && index < billboards_.size() ? billboards_[index].y : 0.0f;
}

int ObjectBillboards::addBillboard(float width, float height)
{
    billboards_.append(vec2(width, height));
    return billboards_.size() - 1;
}

Ptr<Node> ObjectBillboards::cloneSelf() const
{
    Ptr<ObjectBillboards> copy = create();
    copySettingsTo(copy.get());
    copy->billboards_ = billboards_;
    return copy;
}

} // namespace Velmora
