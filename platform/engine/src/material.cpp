#include "velmora/Material.h"

#include "velmora/Materials.h"

#include "engine_internal.h"
#include "materials_internal.h"

#include <cstring>

namespace Velmora {

using namespace engine_internal::mat;

Ptr<Material> Material::createBase(const char *name)
{
    return engine_internal::mat::createBase(name);
}

Ptr<Material> Material::getParent() const
{
    if (parent_guid_.isEmpty())
        return Ptr<Material>();
    return Materials::findMaterialByGUID(parent_guid_);
}

bool Material::isParent(const Ptr<Material> &material) const
{
    if (!material)
        return false;
    Ptr<Material> parent = getParent();
    for (int depth = 0; parent && depth < MAX_CHAIN; ++depth) {
        if (parent == material)
            return true;
        parent = parent->getParent();
    }
    return false;
}

namespace {

const Vector<Material::Entry> &entriesOf(const Material *material, int kind)
{
    switch (kind) {
    case TEXTURES:
        return material->getOwnTextures();
    case PARAMETERS:
        return material->getOwnParameters();
    default:
        return material->getOwnStates();
    }
}

} // namespace

Vector<Material::Resolved> Material::resolve(int kind) const
{
    // The chain from this material up to the top.
    Vector<const Material *> chain;
    chain.append(this);
    Ptr<Material> parent = getParent();
    Vector<Ptr<Material>> keep; // holds the chain while it is read
    for (int depth = 0; parent && depth < MAX_CHAIN; ++depth) {
        if (chain.contains(parent.get()))
            break;
        keep.append(parent);
        chain.append(parent.get());
        parent = parent->getParent();
    }
    Vector<Resolved> result;
    Vector<String> names;
    for (int c = chain.size() - 1; c >= 0; --c) {
        for (const Entry &entry : entriesOf(chain[c], kind)) {
            if (names.contains(entry.name))
                continue;
            names.append(entry.name);
            // The value comes from the nearest material that declares it.
            for (const Material *material : chain) {
                const Vector<Entry> &entries = entriesOf(material, kind);
                auto it = std::find_if(entries.begin(), entries.end(),
                                       [&entry](const Entry &e) { return e.name == entry.name; });
                if (it != entries.end()) {
                    result.append(Resolved{material, &*it});
                    break;
                }
            }
        }
    }
    return result;
}

const Material::Entry *Material::resolvedEntry(const Vector<Resolved> &list, int index)
{
    return index >= 0 && index < list.size() ? list[index].entry : nullptr;
}

Material::Entry *Material::findOwn(int kind, const char *name)
{
    Vector<Entry> &entries = kind == TEXTURES ? textures_ : (kind == PARAMETERS ? parameters_ : states_);
    for (Entry &entry : entries) {
        if (name && entry.name == name)
            return &entry;
    }
    return nullptr;
}

Material::Entry *Material::makeOwn(int kind, const char *name)
{
    if (Entry *entry = findOwn(kind, name))
        return entry;
    Vector<Entry> &entries = kind == TEXTURES ? textures_ : (kind == PARAMETERS ? parameters_ : states_);
    entries.append(Entry{String(name), String(), false});
    return &entries.last();
}

int Material::getNumTextures() const
{
    return resolve(TEXTURES).size();
}

const char *Material::getTextureName(int index) const
{
    const Vector<Resolved> list = resolve(TEXTURES);
    const Entry *entry = resolvedEntry(list, index);
    return entry ? entry->name.get() : "";
}

const char *Material::getTexturePath(int index) const
{
    const Vector<Resolved> list = resolve(TEXTURES);
    const Entry *entry = resolvedEntry(list, index);
    return entry ? entry->value.get() : "";
}

int Material::findTexture(const char *name) const
{
    const Vector<Resolved> list = resolve(TEXTURES);
    for (int i = 0; i < list.size(); ++i) {
        if (name && list[i].entry->name == name)
            return i;
    }
    return -1;
}

void Material::setTexturePath(int index, const char *path)
{
    const Vector<Resolved> list = resolve(TEXTURES);
    if (const Entry *entry = resolvedEntry(list, index)) {
        const String name = entry->name;
        makeOwn(TEXTURES, name.get())->value = path;
        changed();
    }
}

int Material::getNumParameters() const
{
    return resolve(PARAMETERS).size();
}

const char *Material::getParameterName(int index) const
{
    const Vector<Resolved> list = resolve(PARAMETERS);
    const Entry *entry = resolvedEntry(list, index);
    return entry ? entry->name.get() : "";
}

int Material::findParameter(const char *name) const
{
    const Vector<Resolved> list = resolve(PARAMETERS);
    for (int i = 0; i < list.size(); ++i) {
        if (name && list[i].entry->name == name)
            return i;
    }
    return -1;
}

bool Material::isParameterExpression(int index) const
{
    const Vector<Resolved> list = resolve(PARAMETERS);
    const Entry *entry = resolvedEntry(list, index);
    return entry && entry->expression;
}

const char *Material::getParameterString(int index) const
{
    const Vector<Resolved> list = resolve(PARAMETERS);
    const Entry *entry = resolvedEntry(list, index);
    return entry ? entry->value.get() : "";
}

float Material::getParameterFloat(int index) const
{
    float value = 0.0f;
    engine_internal::parseFloats(getParameterString(index), &value, 1);
    return value;
}

vec4 Material::getParameterFloat4(int index) const
{
    float values[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    const int count = engine_internal::parseFloats(getParameterString(index), values, 4);
    if (count == 0)
        return vec4(0.0f);
    if (count == 3)
        values[3] = 1.0f;
    for (int i = count; i < 4 && count != 3; ++i)
        values[i] = values[count - 1];
    return vec4(values[0], values[1], values[2], values[3]);
}

void Material::setParameterFloat(int index, float value)
{
    const Vector<Resolved> list = resolve(PARAMETERS);
    if (const Entry *entry = resolvedEntry(list, index)) {
        const String name = entry->name;
        Entry *own = makeOwn(PARAMETERS, name.get());
        own->value = engine_internal::formatFloat(value);
        own->expression = false;
        changed();
    }
}

void Material::setParameterFloat4(int index, const vec4 &value)
{
    const Vector<Resolved> list = resolve(PARAMETERS);
    if (const Entry *entry = resolvedEntry(list, index)) {
        const String name = entry->name;
        Entry *own = makeOwn(PARAMETERS, name.get());
        own->value = engine_internal::formatFloat(value.x) + " " + engine_internal::formatFloat(value.y) + " "
                + engine_internal::formatFloat(value.z) + " " + engine_internal::formatFloat(value.w);
        own->expression = false;
        changed();
    }
}

void Material::setParameterExpression(int index, const char *expression)
{
    const Vector<Resolved> list = resolve(PARAMETERS);
    if (const Entry *entry = resolvedEntry(list, index)) {
        const String name = entry->name;
        Entry *own = makeOwn(PARAMETERS, name.get());
        own->value = expression;
        own->expression = true;
        changed();
    }
}

int Material::getNumStates() const
{
    return resolve(STATES).size();
}

const char *Material::getStateName(int index) const
{
    const Vector<Resolved> list = resolve(STATES);
    const Entry *entry = resolvedEntry(list, index);
    return entry ? entry->name.get() : "";
}

int Material::findState(const char *name) const
{
    const Vector<Resolved> list = resolve(STATES);
    for (int i = 0; i < list.size(); ++i) {
        if (name && list[i].entry->name == name)
            return i;
    }
    return -1;
}

int Material::getState(int index) const
{
    const Vector<Resolved> list = resolve(STATES);
    const Entry *entry = resolvedEntry(list, index);
    return entry ? std::atoi(entry->value.get()) : 0;
}

int Material::getState(const char *name, int default_value) const
{
    const int index = findState(name);
    return index >= 0 ? getState(index) : default_value;
}

void Material::setState(const char *name, int value)
{
    if (name && *name) {
        makeOwn(STATES, name)->value = String::format("%d", value);
        changed();
    }
}

int Material::getTransparent() const
{
    for (const Material *m = this; m;) {
        if (m->transparent_ >= 0)
            return m->transparent_;
        const Ptr<Material> parent = m->getParent();
        m = parent.get() != m ? parent.get() : nullptr;
    }
    return 0;
}

void Material::setTransparent(int transparent)
{
    transparent_ = transparent;
    changed();
}

int Material::getBlendSrcFunc() const
{
    for (const Material *m = this; m;) {
        if (m->blend_src_ >= 0)
            return m->blend_src_;
        const Ptr<Material> parent = m->getParent();
        m = parent.get() != m ? parent.get() : nullptr;
    }
    return 0;
}

int Material::getBlendDestFunc() const
{
    for (const Material *m = this; m;) {
        if (m->blend_dest_ >= 0)
            return m->blend_dest_;
        const Ptr<Material> parent = m->getParent();
        m = parent.get() != m ? parent.get() : nullptr;
    }
    return 0;
}

void Material::setBlendFunc(int src, int dest)
{
    blend_src_ = src;
    blend_dest_ = dest;
    changed();
}

} // namespace Velmora
