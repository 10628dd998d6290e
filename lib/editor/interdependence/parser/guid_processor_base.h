#pragma once

#include <velmora/UGUID.h>

#include <functional>

namespace inas {
namespace parser {

// Receives every GUID a lookup resolved.
using FoundCallback = std::function<void(const Velmora::UGUID &)>;
// Receives a GUID that a file names but whose file is gone (a lost
// reference). The integer is always 0.
using MissingCallback = std::function<void(const Velmora::UGUID &, int)>;

// Reduces the texts met in asset files to GUIDs of known assets and runtimes.
// Implementations are read-only after construction, so one instance may be
// shared by every module of a parse.
class GuidProcessorBase
{
public:
    virtual ~GuidProcessorBase() = default;
    // Resolves one text; true when found was called.
    virtual bool process(const char *text, const FoundCallback &found, const MissingCallback &missing) const = 0;
    // Reports the first known asset path that ends with text.
    virtual bool matchSuffix(const char *text, const FoundCallback &found) const = 0;
    // Reports every known asset path that occurs inside text.
    virtual bool matchContained(const char *text, const FoundCallback &found) const = 0;
};

} // namespace parser
} // namespace inas
