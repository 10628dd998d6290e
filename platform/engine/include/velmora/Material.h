#pragma once

#include "velmora/Math.h"
#include "velmora/Ptr.h"
#include "velmora/String.h"
#include "velmora/UGUID.h"
#include "velmora/Vector.h"

namespace Velmora {

// A material: name, GUIDs, parent, and the texture slots, parameters and
// states it declares or inherits along its parent chain. Index-based calls
// address the resolved list: names in order of first declaration from the
// top of the chain down (so an override keeps its index), values from the
// nearest material that declares them. An out-of-range index or unknown
// name gives an empty result (-1 from find*). Setters change the material
// in memory.
class Material
{
public:
    const char *getName() const { return name_.get(); }
    // kind-4 runtime GUID: derive(file GUID, "material"); built-ins derive
    // from the empty GUID with "builtin:<name>".
    const UGUID &getGUID() const { return guid_; }
    // GUID of the material's file (empty for built-ins).
    const UGUID &getFileGUID() const { return file_guid_; }
    // Absolute path of the file ("" for built-ins).
    const char *getFilePath() const { return file_path_.get(); }
    // "fesk" or "xml" for file materials, "" for built-ins.
    const char *getFileFormat() const { return file_format_.get(); }
    bool isBase() const { return base_; }
    bool isBrush() const { return brush_; }

    Ptr<Material> getParent() const;
    // The parent as written (GUID text, parent_name or base_material).
    const char *getParentReference() const { return parent_reference_.get(); }
    bool isParent(const Ptr<Material> &material) const; // anywhere in the chain

    // Texture slots: data path or GUID text (may be empty).
    int getNumTextures() const;
    const char *getTextureName(int index) const;
    const char *getTexturePath(int index) const;
    int findTexture(const char *name) const;
    void setTexturePath(int index, const char *path);

    // Parameters: text value ("0.4", "0.8 0.8 0.8 1") or an expression.
    int getNumParameters() const;
    const char *getParameterName(int index) const;
    int findParameter(const char *name) const;
    bool isParameterExpression(int index) const;
    const char *getParameterString(int index) const;
    float getParameterFloat(int index) const;
    // Up to four floats; missing components repeat the last given one
    // (a single value gives a grey), and w defaults to 1 when three are given.
    vec4 getParameterFloat4(int index) const;
    void setParameterFloat(int index, float value);
    void setParameterFloat4(int index, const vec4 &value);
    void setParameterExpression(int index, const char *expression);

    // States: integers.
    int getNumStates() const;
    const char *getStateName(int index) const;
    int findState(const char *name) const;
    int getState(int index) const;
    int getState(const char *name, int default_value = 0) const;
    void setState(const char *name, int value);

    int getTransparent() const;
    void setTransparent(int transparent);
    int getBlendSrcFunc() const;
    int getBlendDestFunc() const;
    void setBlendFunc(int src, int dest);

    // Texts and counts of the material's own declarations (not inherited).
    struct Entry
    {
        String name;
        String value;
        bool expression = false;
    };
    const Vector<Entry> &getOwnTextures() const { return textures_; }
    const Vector<Entry> &getOwnParameters() const { return parameters_; }
    const Vector<Entry> &getOwnStates() const { return states_; }

    // Built-in (base) material with the given declarations.
    static Ptr<Material> createBase(const char *name);

private:
    friend class Materials;
    friend class MaterialLoader;
    Material() = default;

    struct Resolved
    {
        const Material *owner = nullptr;
        const Entry *entry = nullptr;
    };
    Vector<Resolved> resolve(int kind) const;
    Entry *findOwn(int kind, const char *name);
    Entry *makeOwn(int kind, const char *name);
    static const Entry *resolvedEntry(const Vector<Resolved> &list, int index);

    String name_;
    UGUID guid_;
    UGUID file_guid_;
    String file_path_;
    String file_format_;
    String parent_reference_;
    UGUID parent_guid_;
    bool base_ = false;
    bool brush_ = false;
    Vector<Entry> textures_;
    Vector<Entry> parameters_;
    Vector<Entry> states_;
    int transparent_ = -1; // -1 = inherited
    int blend_src_ = -1;
    int blend_dest_ = -1;
};

} // namespace Velmora
