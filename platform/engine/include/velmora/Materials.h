#pragma once

#include "velmora/Material.h"

namespace Velmora {

// The material registry. Built-in base materials are registered by
// Engine::init; file materials (*.mat, FESK tried first, then XML) by
// loadMaterials(). Queries may run on any thread.
class Materials
{
public:
    // Scans the file system for *.mat files; logs one line with the count.
    // Replaces previously loaded file materials. Returns the count.
    static int loadMaterials();
    static void clearMaterials();
    // Loads one material file (data path) into the file materials, replacing
    // the material of the same file; null, with one log line, on failure.
    static Ptr<Material> loadMaterial(const char *path);
    // Writes an XML file material's own declarations back to its file
    // (atomic); false, with one warning, for built-ins, FESK files and
    // failed writes. *error, when given, learns why a write failed.
    static bool saveMaterial(const Ptr<Material> &material, String *error = nullptr);

    // File materials, sorted by file path; null for an invalid index.
    static int getNumMaterials();
    static Ptr<Material> getMaterial(int index);
    // Exact, case-sensitive name among file materials, then built-ins.
    static Ptr<Material> findMaterial(const char *name);
    // Material GUIDs only (not file GUIDs).
    static Ptr<Material> findMaterialByGUID(const UGUID &guid);
    // A material GUID, or the file GUID of a material file.
    static Ptr<Material> findMaterialByFileGUID(const UGUID &guid);
    // Built-in base materials ("mesh_base", ...).
    static Ptr<Material> findBaseMaterial(const char *name);
    static int getNumBaseMaterials();
    // Takes a built-in out of the registry until the next Engine::init
    // (tests of engine data without it); false when there is none.
    static bool removeBaseMaterial(const char *name);
    static Ptr<Material> getBaseMaterial(int index);
    // True for a material GUID and for a material file's GUID.
    static bool isMaterial(const UGUID &guid);
    // A name or GUID text (with or without "guid://") to a material.
    static Ptr<Material> resolve(const char *name_or_guid);

    // Shader precompilation: switching it on schedules every loaded material
    // whose program the shader cache lacks for compilation (one per engine
    // update, reported to the editor logic; the cache file is written in
    // batches and when the last one is done). The following updates read
    // the cache and look the materials up in it before the first compile.
    static bool isPrecompileAllShaders();
    static void setPrecompileAllShaders(bool enabled);
    // Number of setPrecompileAllShaders calls since init (tests).
    static int getPrecompileAllShadersCallCount();
    // Queues materials for compilation by the following updates.
    static void scheduleCompile(const Vector<Ptr<Material>> &materials);
    // Entries still waiting, once a look-up in the shader cache under way
    // is finished (tests; on the engine's main thread).
    static int getNumPendingCompiles();
    // Compiles now what the shader cache lacks and writes the cache file
    // (whole) when it holds anything not written yet; each program is a line
    // of its own, held once.
    static void compileShaders(const Vector<Ptr<Material>> &materials);
};

} // namespace Velmora
