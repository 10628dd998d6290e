#pragma once

#include "editor/interdependence/item_arena.h"
#include "editor/interdependence/parser/ordered_set.h"

#include <velmora/String.h>
#include <velmora/UGUID.h>

#include <utility>

namespace inas {
namespace parser {

// References an asset's files name: GUIDs that resolved (dependents) or
// whose file is gone (lost).
using GuidSet = OrderedSet<Velmora::UGUID, struct ReferenceSetTag>;
// The GUIDs of an asset's own runtimes. A distinct type, so that code that
// wants references cannot be handed the runtimes by mistake.
using RuntimeSet = OrderedSet<Velmora::UGUID, struct RuntimeSetTag>;

// The parser's record of one asset or one runtime of an asset: its id, the
// asset it belongs to, the GUIDs its files refer to, and its file.
//
// Vocabulary, shared by the dependency analysis and the asset cleaner:
//   getDependents()  references that resolved: what this item uses (what the
//                    cleaner calls the "descendants (found)" set; also
//                    reachable as getFound());
//   getLost()        references whose file no longer exists (the cleaner's
//                    "missing" set; also reachable as getMissing());
//   getDescendants() the asset's own runtimes, never references. The
//                    modules never fill it; only the parser driver does.
class Item
{
public:
    explicit Item(const Velmora::UGUID &id);
    virtual ~Item();
    Item(const Item &) = delete;
    Item &operator=(const Item &) = delete;

    // The asset GUID for an asset's item, the runtime GUID for a runtime's.
    const Velmora::UGUID &getId() const { return id_; }
    // For a runtime's item, the id of its asset's item; empty otherwise.
    const Velmora::UGUID &getOwnerId() const { return owner_id_; }
    void setOwnerId(const Velmora::UGUID &id) { owner_id_ = id; }

    GuidSet &getDependents() { return dependents_; }
    const GuidSet &getDependents() const { return dependents_; }
    GuidSet &getLost() { return lost_; }
    const GuidSet &getLost() const { return lost_; }
    RuntimeSet &getDescendants() { return descendants_; }
    const RuntimeSet &getDescendants() const { return descendants_; }

    // Read-only names of the two reference sets in the cleaner's words.
    const GuidSet &getFound() const { return dependents_; }
    const GuidSet &getMissing() const { return lost_; }

    bool addDependent(const Velmora::UGUID &guid) { return dependents_.insert(guid); }
    bool addLost(const Velmora::UGUID &guid) { return lost_.insert(guid); }

    // Absolute path of the item's file (UTF-8); empty until the driver sets it.
    const Velmora::String &getAbsolutePath() const { return absolute_path_; }
    void setAbsolutePath(Velmora::String path) { absolute_path_ = std::move(path); }

    // The arena current on the thread that made the item, or null. The
    // parser's items keep it alive (it is a side arena of theirs), and the
    // later steps that grow their sets take their threads' arenas from it
    // (ItemArena::side()).
    ItemArena *getArena() const { return arena_; }

private:
    Velmora::UGUID id_;
    Velmora::UGUID owner_id_;
    GuidSet dependents_;
    GuidSet lost_;
    RuntimeSet descendants_;
    Velmora::String absolute_path_;
    ItemArena *arena_;
};

} // namespace parser
} // namespace inas
