#pragma once

#include "velmora/Math.h"
#include "velmora/Node.h"
#include "velmora/Ptr.h"
#include "velmora/String.h"
#include "velmora/Vector.h"

#include <map>
#include <string>

namespace Velmora {
namespace track {

// One key of a track parameter: its time (track units) and its value, as
// floats (transforms: 16, column-major world matrix; material floats: 1)
// and as the text it was read from.
struct Key
{
    float time = 0.0f;
    Vector<float> values;
    String text;
};

// An animated value: "node.transform" (of the node named node),
// "node.object.material" (surface materials, stepped), or a float of a
// material ("material.<parameter>") or property ("property.<parameter>")
// given by name. Keys are kept sorted by time.
struct Parameter
{
    String type;
    String node;
    String name;
    Vector<Key> keys;
};

// A track file (XML, root "track"; see the platform notes).
class Track
{
public:
    static constexpr const char *TRANSFORM = "node.transform";
    static constexpr const char *SURFACE_MATERIAL = "node.object.material";

    // false with error set ("file not found: <path>", "parse error: <path>",
    // "not a track file: <path>"); the track is unchanged then.
    bool load(const char *path, String &error);
    bool save(const char *path, String &error) const;
    void clear();
    bool isEmpty() const { return parameters.size() == 0; }
    int getNumKeys() const;

    // The first node.transform parameter, creating one for node when none.
    Parameter &transformParameter(const char *node);
    const Parameter *findTransformParameter() const;
    // Whether a parameter of the track is the named node's.
    bool namesNode(const char *node) const;
    // Inserts or replaces (same time) a key of a parameter.
    static void setKey(Parameter &parameter, float time, const mat4 &transform);
    // Removes the key nearest to time within epsilon; false when none.
    static bool removeKey(Parameter &parameter, float time, float epsilon);
    // The interpolated world transform at time (position and scale linear,
    // rotation spherical; clamped to the first and last key).
    static bool sample(const Parameter &parameter, float time, mat4 &out);

    float unit_time = 1.0f;
    float max_time = 0.0f;
    Vector<Parameter> parameters;
};

// Plays a track on the world's nodes and remembers what it changed, so
// that restore() puts the original transforms back.
class Playback
{
public:
    void apply(const Track &track, float time);
    // Puts node at transform, remembering where it was.
    void place(const Ptr<Node> &node, const mat4 &transform);
    void restore();
    // Extra players (outside the world) by name, tried before the world.
    void setPlayer(const Ptr<Node> &player) { player_ = player; }

private:
    Ptr<Node> findNode(const String &name) const;
    std::map<const Node *, std::pair<Ptr<Node>, mat4>> originals_;
    Ptr<Node> player_;
};

} // namespace track
} // namespace Velmora
