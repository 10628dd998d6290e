#include "velmora/Properties.h"

#include "velmora/FileSystem.h"
#include "velmora/Log.h"
#include "velmora/Xml.h"

#include "engine_internal.h"

#include <QReadWriteLock>

#include <cstdlib>
#include <string>
#include <unordered_map>
#include <vector>

namespace Velmora {

namespace {

constexpr int MAX_CHAIN = 64;

struct PropertiesState
{
    QReadWriteLock lock{QReadWriteLock::Recursive};
    Vector<Ptr<Property>> files; // sorted by file path
};

PropertiesState &state()
{
    static PropertiesState s;
    return s;
}

// The first two positions of a key in a list.
struct FirstTwo
{
    int first = -1;
    int second = -1;

    void see(int index)
    {
        if (first < 0)
            first = index;
        else if (second < 0 && first != index)
            second = index;
    }

    // The first position that is not index (-1: none).
    int otherThan(int index) const { return first != index ? first : second; }
};

} // namespace

// ---- Property ------------------------------------------------------------------------

Ptr<Property> Property::getParent() const
{
    return parent_guid_.isEmpty() ? Ptr<Property>() : Properties::findPropertyByGUID(parent_guid_);
}

Vector<const Property::Entry *> Property::resolve() const
{
    Vector<const Property *> chain;
    chain.append(this);
    Vector<Ptr<Property>> keep;
    Ptr<Property> parent = getParent();
    for (int depth = 0; parent && depth < MAX_CHAIN && !chain.contains(parent.get()); ++depth) {
        keep.append(parent);
        chain.append(parent.get());
        parent = parent->getParent();
    }
    Vector<const Entry *> result;
    Vector<String> names;
    for (int c = chain.size() - 1; c >= 0; --c) {
        for (const Entry &entry : chain[c]->parameters_) {
            if (names.contains(entry.name))
                continue;
            names.append(entry.name);
            for (const Property *property : chain) {
                const Entry *found = nullptr;
                for (const Entry &own : property->parameters_) {
                    if (own.name == entry.name) {
                        found = &own;
                        break;
                    }
                }
                if (found) {
                    result.append(found);
                    break;
                }
            }
        }
    }
    return result;
}

int Property::getNumParameters() const
{
    return resolve().size();
}

const char *Property::getParameterName(int index) const
{
    const Vector<const Entry *> list = resolve();
    return index >= 0 && index < list.size() ? list[index]->name.get() : "";
}

int Property::findParameter(const char *name) const
{
    const Vector<const Entry *> list = resolve();
    for (int i = 0; i < list.size(); ++i) {
        if (name && list[i]->name == name)
            return i;
    }
    return -1;
}

const char *Property::getParameterString(int index) const
{
    const Vector<const Entry *> list = resolve();
    return index >= 0 && index < list.size() ? list[index]->value.get() : "";
}

float Property::getParameterFloat(int index) const
{
    float value = 0.0f;
    engine_internal::parseFloats(getParameterString(index), &value, 1);
    return value;
}

int Property::getParameterInt(int index) const
{
    return std::atoi(getParameterString(index));
}

void Property::setParameterString(int index, const char *value)
{
    const Vector<const Entry *> list = resolve();
    if (index < 0 || index >= list.size())
        return;
    const String name = list[index]->name;
    for (Entry &entry : parameters_) {
        if (entry.name == name) {
            entry.value = value;
            return;
        }
    }
    parameters_.append(Entry{name, String(value)});
}

const char *Property::getDecal() const
{
    const Property *property = this;
    Ptr<Property> keep;
    for (int depth = 0; property && depth < MAX_CHAIN; ++depth) {
        if (!property->decal_.empty())
            return property->decal_.get();
        keep = property->getParent();
        property = keep.get() != property ? keep.get() : nullptr;
    }
    return "";
}

// ---- Properties ----------------------------------------------------------------------

int Properties::loadProperties()
{
    if (!engine_internal::checkRunning("Properties::loadProperties"))
        return 0;
    clearProperties();
    const Vector<Ptr<Property>> files = readFiles();
    findParents(files);
    std::vector<std::pair<UGUID, UGUID>> virtual_files;
    virtual_files.reserve(size_t(files.size()));
    for (const Ptr<Property> &property : files)
        virtual_files.emplace_back(property->getGUID(), property->getFileGUID());
    engine_internal::registerVirtualFiles(virtual_files);

    PropertiesState &s = state();
    {
        QWriteLocker lock(&s.lock);
        s.files = files;
    }
    cutCycles(files);
    Log::message("Properties: %d properties loaded\n", files.size());
    return files.size();
}

Vector<Ptr<Property>> Properties::readFiles()
{
    const std::vector<String> paths = engine_internal::filesWithExtension("prop");
    // Read on several threads; the log reads as if one after another, and
    // the properties are kept in the order of the files.
    std::vector<Ptr<Property>> loaded(paths.size());
    engine_internal::forEachOnThreads(paths.size(), [&](size_t index) {
        const String &path = paths[index];
        const String absolute = FileSystem::getAbsolutePath(path.get());
        Xml xml;
        if (!xml.load(absolute.get()) || String(xml.getName()) != "property") {
            Log::error("Properties: %s is not a property file\n", absolute.get());
            return;
        }
        Ptr<Property> property(new Property);
        property->file_path_ = absolute;
        property->name_ = *xml.getArg("name") ? String(xml.getArg("name")) : path.basename().removeExtension();
        property->parent_reference_ = *xml.getArg("parent") ? xml.getArg("parent") : xml.getArg("parent_name");
        for (int i = 0; i < xml.getNumChildren(); ++i) {
            const Xml *child = xml.getChild(i);
            const String element = child->getName();
            if (element == "parameter")
                property->parameters_.append(Property::Entry{String(child->getArg("name")), String(child->getData())});
            else if (element == "decal")
                property->decal_ = child->getData();
        }
        property->file_guid_ = FileSystem::getGUID(path.get());
        if (property->file_guid_.isEmpty())
            property->file_guid_ = UGUID::fromPath(path.get());
        property->guid_ = UGUID::derive(property->file_guid_, "property");
        loaded[index] = property;
    });
    Vector<Ptr<Property>> files;
    for (const Ptr<Property> &property : loaded) {
        if (property)
            files.append(property);
    }
    return files;
}

void Properties::findParents(const Vector<Ptr<Property>> &files)
{
    // A parent is the first other property (in file order) of the GUID or
    // file GUID, or of the name, that the reference gives.
    bool any_reference = false;
    for (const Ptr<Property> &property : files)
        any_reference = any_reference || !property->parent_reference_.empty();
    if (any_reference) {
        std::unordered_map<UGUID, FirstTwo> by_guid; // by GUID and by file GUID
        std::unordered_map<std::string, FirstTwo> by_name;
        by_guid.reserve(size_t(files.size()) * 2);
        by_name.reserve(size_t(files.size()));
        for (int i = 0; i < files.size(); ++i) {
            by_guid[files[i]->guid_].see(i);
            by_guid[files[i]->file_guid_].see(i);
            by_name[files[i]->name_.std()].see(i);
        }
        for (int i = 0; i < files.size(); ++i) {
            Property &property = *files[i];
            const String &reference = property.parent_reference_;
            if (reference.empty())
                continue;
            int parent = -1;
            UGUID guid;
            if (guid.setString(reference.get())) {
                const auto found = by_guid.find(guid);
                if (found != by_guid.end())
                    parent = found->second.otherThan(i);
            } else {
                const auto found = by_name.find(reference.std());
                if (found != by_name.end())
                    parent = found->second.otherThan(i);
            }
            if (parent < 0)
                Log::warning("Properties: parent \"%s\" of \"%s\" not found\n", reference.get(), property.name_.get());
            property.parent_guid_ = parent >= 0 ? files[parent]->guid_ : UGUID();
        }
    }
}

void Properties::cutCycles(const Vector<Ptr<Property>> &files)
{
    // A chain that comes back to a property is cut there. A parent is the
    // first property of its GUID, as Property::getParent finds it.
    bool any_parent = false;
    for (const Ptr<Property> &property : files)
        any_parent = any_parent || !property->parent_guid_.isEmpty();
    if (any_parent) {
        std::unordered_map<UGUID, int> first_by_guid;
        first_by_guid.reserve(size_t(files.size()));
        for (int i = 0; i < files.size(); ++i)
            first_by_guid.emplace(files[i]->guid_, i);
        const auto parentOf = [&](int index) {
            const UGUID &guid = files[index]->parent_guid_;
            const auto found = guid.isEmpty() ? first_by_guid.end() : first_by_guid.find(guid);
            return found == first_by_guid.end() ? -1 : found->second;
        };
        for (int i = 0; i < files.size(); ++i) {
            int parent = parentOf(i);
            for (int depth = 0; parent >= 0 && depth < MAX_CHAIN; ++depth) {
                if (parent == i) {
                    Log::error("Properties: \"%s\" inherits from itself\n", files[i]->name_.get());
                    files[i]->parent_guid_ = UGUID();
                    break;
                }
                parent = parentOf(parent);
            }
        }
    }
}

void Properties::clearProperties()
{
    PropertiesState &s = state();
    Vector<Ptr<Property>> old;
    {
        QWriteLocker lock(&s.lock);
        old = s.files;
        s.files.clear();
    }
    if (FileSystem::isInitialized()) {
        for (const Ptr<Property> &property : old)
            FileSystem::unregisterVirtualFile(property->getGUID());
    }
}

int Properties::getNumProperties()
{
    PropertiesState &s = state();
    QReadLocker lock(&s.lock);
    return s.files.size();
}

Ptr<Property> Properties::getProperty(int index)
{
    PropertiesState &s = state();
    QReadLocker lock(&s.lock);
    return index >= 0 && index < s.files.size() ? s.files[index] : Ptr<Property>();
}

Ptr<Property> Properties::findProperty(const char *name)
{
    PropertiesState &s = state();
    QReadLocker lock(&s.lock);
    for (const Ptr<Property> &property : s.files) {
        if (name && String(property->getName()) == name)
            return property;
    }
    return Ptr<Property>();
}

Ptr<Property> Properties::findPropertyByGUID(const UGUID &guid)
{
    if (guid.isEmpty())
        return Ptr<Property>();
    PropertiesState &s = state();
    QReadLocker lock(&s.lock);
    for (const Ptr<Property> &property : s.files) {
        if (property->getGUID() == guid)
            return property;
    }
    return Ptr<Property>();
}

bool Properties::isProperty(const UGUID &guid)
{
    if (guid.isEmpty())
        return false;
    PropertiesState &s = state();
    QReadLocker lock(&s.lock);
    for (const Ptr<Property> &property : s.files) {
        if (property->getGUID() == guid || property->getFileGUID() == guid)
            return true;
    }
    return false;
}

namespace engine_internal {

void propertiesInit()
{
    Properties::clearProperties();
}

void propertiesShutdown()
{
    Properties::clearProperties();
}

} // namespace engine_internal

} // namespace Velmora
