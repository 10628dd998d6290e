#pragma once

#include "editor/cleaner/collector/collector_result.h"

#include <QString>

#include <functional>
#include <set>
#include <string>
#include <string_view>

namespace Editor {
class AssetManagerPrivate;
}
namespace mat {
class Manager;
}

namespace cleaner {

// Decides which assets nothing uses and which references no longer resolve.
//
// Every asset becomes an item built from its files (ItemsFactory); the items
// are then linked by the evidence of the project: references in asset
// files, owned and local files, the GUI skin, the text of scripts and
// materials, and the engine source code in the "source" folder beside the
// data folder. An asset is unused when it may be reported at all (a
// candidate that no ignore pattern matches), nothing uses it, nothing it
// owns is used, nothing inherits from it, and its extension is registered.
//
// The whole run is made twice: a counting pass that adds up progress units
// without reading any file, then the real pass, so that progress ends at
// exactly 100 %. The collector keeps nothing between runs.
class Collector
{
public:
    using Progress = std::function<bool(int max, int value)>;

    static constexpr qint64 MAX_SCRIPT_FILE_SIZE = 104857600;

    struct Options
    {
        // Search every name in every text one by one, as a plain reading of
        // the rules does, instead of all names at once (tests compare them).
        bool naive_search = false;
    };

    // Runs a whole collection on the calling thread. progress(max, value)
    // is called first with (1, 0) and last with (max, max); when it answers
    // false the run stops, result is cleared and false returned.
    static bool collect(CollectorResult &result, Editor::AssetManagerPrivate *as_manager, const mat::Manager *materials,
                        const Progress &progress, const Options &options);
    static bool collect(CollectorResult &result, Editor::AssetManagerPrivate *as_manager, const mat::Manager *materials,
                        const Progress &progress)
    {
        return collect(result, as_manager, materials, progress, Options());
    }

    // Texts between double quotes: every text between two neighbouring
    // quotes, and every string when a backslash escapes the next byte, so
    // that an escaped quote or a quote in a character literal never hides
    // a name. Empty texts are left out.
    static std::set<std::string> quotedStrings(std::string_view text);

    // A script or source file as UTF-8 bytes (UTF-16 with a byte-order mark
    // is converted). False with the reason when the file exists and cannot
    // be read or is larger than MAX_SCRIPT_FILE_SIZE; an empty file gives an
    // empty text and true.
    static bool readScriptFile(const QString &path, std::string &text, QString *failure);

private:
    friend class CollectorSteps;
    struct Context;
    struct Item;
};

} // namespace cleaner
