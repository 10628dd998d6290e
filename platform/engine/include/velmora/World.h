#pragma once

#include "velmora/Node.h"
#include "velmora/Ptr.h"
#include "velmora/String.h"
#include "velmora/Vector.h"

namespace Velmora {

// The one loaded world: its node list (roots; children belong to them) and
// render settings. Loading, saving and quitting fire the editor logic's
// worldInit, worldSave and worldShutdown. Main thread only.
class World
{
public:
    // Loads a world file (data path, ".world" appended when missing; or a
    // GUID text). A loaded world is quit first. A file that is not a world
    // gives one error line and leaves no world loaded.
    static bool load(const char *name);
    // Writes the world atomically (to name, or to its own path when null or
    // empty), then fires worldSave.
    static bool save(const char *name = nullptr);
    // Why the last save failed, as the user may read it ("" after a save
    // that succeeded, and before any).
    static const char *getSaveError();
    // Unloads the world without saving; fires worldShutdown when one was loaded.
    static void quit();
    static bool isLoaded();
    // Data-relative path with ".world" ("" when none is loaded).
    static const char *getPath();
    // Absolute path of the world file.
    static const char *getAbsolutePath();
    // Name without folder and extension.
    static const char *getName();
    // Render settings file named by the world ("" when none).
    static const char *getRenderSettingsPath();

    static Ptr<Node> getNodeById(int id);
    // First match in depth-first order.
    static Ptr<Node> getNodeByName(const char *name);
    // Every node of the world (roots and descendants), depth first.
    static void getNodes(Vector<Ptr<Node>> &nodes);
    // The world's node list (roots).
    static void getRootNodes(Vector<Ptr<Node>> &nodes);
    static int getNumNodes();
    static bool isNode(int id);
    // Puts a node (and its children) into the world; clashing ids are
    // renumbered (max + 1). False when no world is loaded or node is null.
    static bool addNode(const Ptr<Node> &node);
    // Takes a node (and its children) out of the world; nodeRemoved fires for
    // each. The node lives on while a handle holds it.
    static bool removeNode(const Ptr<Node> &node);
    // A new node tree from a node file (path or GUID text; a model asset's
    // GUID loads its node runtime). Several roots are wrapped in a NodeDummy.
    // Not in the world. Null with one error line on failure.
    static Ptr<Node> loadNode(const char *name, int cache = 1);
    // Writes nodes into a node file (root <nodes>), atomically.
    static bool saveNodes(const char *path, const Vector<Ptr<Node>> &nodes);
    static int getFreeId();

    static void updateSpatial();
    static bool isAutoReloadNodeReferences();
    static void setAutoReloadNodeReferences(bool enabled);
};

} // namespace Velmora
