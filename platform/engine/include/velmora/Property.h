#pragma once

#include "velmora/Ptr.h"
#include "velmora/String.h"
#include "velmora/UGUID.h"
#include "velmora/Vector.h"

namespace Velmora {

// A property: name, GUIDs, parent, and parameters inherited along the parent
// chain (names in order of first declaration from the top of the chain,
// values from the nearest property that declares them).
class Property
{
public:
    const char *getName() const { return name_.get(); }
    // kind-5 runtime GUID: derive(file GUID, "property").
    const UGUID &getGUID() const { return guid_; }
    const UGUID &getFileGUID() const { return file_guid_; }
    const char *getFilePath() const { return file_path_.get(); }

    Ptr<Property> getParent() const;
    const char *getParentReference() const { return parent_reference_.get(); }

    int getNumParameters() const;
    const char *getParameterName(int index) const;
    int findParameter(const char *name) const;
    const char *getParameterString(int index) const;
    float getParameterFloat(int index) const;
    int getParameterInt(int index) const;
    void setParameterString(int index, const char *value);

    // The decal texture path ("" when none), inherited.
    const char *getDecal() const;

    struct Entry
    {
        String name;
        String value;
    };
    const Vector<Entry> &getOwnParameters() const { return parameters_; }

private:
    friend class Properties;
    Property() = default;
    Vector<const Entry *> resolve() const;

    String name_;
    UGUID guid_;
    UGUID file_guid_;
    String file_path_;
    String parent_reference_;
    UGUID parent_guid_;
    String decal_;
    Vector<Entry> parameters_;
};

} // namespace Velmora
