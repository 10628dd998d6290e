#include "track.h"

#include "velmora/Log.h"
#include "velmora/Material.h"
#include "velmora/Materials.h"
#include "velmora/Object.h"
#include "velmora/World.h"
#include "velmora/Xml.h"

#include "engine_internal.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace Velmora {
namespace track {

namespace {

void sortKeys(Parameter &parameter)
{
    std::stable_sort(parameter.keys.begin(), parameter.keys.end(),
                     [](const Key &a, const Key &b) { return a.time < b.time; });
}

mat4 toMatrix(const Vector<float> &values)
{
    mat4 m = mat4::identity();
    if (values.size() == 16)
        for (int i = 0; i < 16; ++i)
            m.m[i] = values[i];
    return m;
}

String matrixText(const mat4 &m)
{
    std::string text;
    for (int i = 0; i < 16; ++i) {
        if (i)
            text += ' ';
        text += engine_internal::formatFloat(m.m[i]).get();
    }
    return String(text);
}

} // namespace

bool Track::load(const char *path, String &error)
{
    const String file = path ? path : "";
    const QFileInfo info(QString::fromUtf8(file.get()));
    if (file.empty() || !info.exists()) {
        error = String("file not found: ") + file;
        return false;
    }
    // A FIFO, a device or a socket (directly or through a link) is never
    // opened: it could wait for ever or never end.
    if (!info.isFile()) {
        error = String("not a regular file: ") + file;
        return false;
    }
    Xml xml;
    if (!xml.load(file.get())) {
        error = String("parse error: ") + file;
        return false;
    }
    if (String(xml.getName()) != String("track")) {
        error = String("not a track file: ") + file;
        return false;
    }
    Track loaded;
    loaded.unit_time = xml.getFloatArg("unit_time", 1.0f);
    loaded.max_time = xml.getFloatArg("max_time", 0.0f);
    float last_key = 0.0f;
    for (int i = 0; i < xml.getNumChildren(); ++i) {
        const Xml *p = xml.getChild(i);
        if (String(p->getName()) != String("parameter"))
            continue;
        Parameter parameter;
        parameter.type = p->getArg("type");
        parameter.node = p->getArg("node");
        parameter.name = p->getArg("name");
        const bool numeric = parameter.type != String(SURFACE_MATERIAL);
        for (int k = 0; k < p->getNumChildren(); ++k) {
            const Xml *k_xml = p->getChild(k);
            if (String(k_xml->getName()) != String("key"))
                continue;
            Key key;
            key.time = k_xml->getFloatArg("time", 0.0f);
            key.text = k_xml->getData();
            if (numeric) {
                float values[16];
                const int count = engine_internal::parseFloats(key.text.get(), values, 16);
                for (int v = 0; v < count; ++v)
                    key.values.append(values[v]);
            }
            last_key = std::max(last_key, key.time);
            parameter.keys.append(key);
        }
        sortKeys(parameter);
        loaded.parameters.append(parameter);
    }
    if (!xml.isArg("max_time"))
        loaded.max_time = last_key;
    *this = loaded;
    return true;
}

bool Track::save(const char *path, String &error) const
{
    Xml xml("track");
    xml.setIntArg("version", 1);
    xml.setArg("unit_time", engine_internal::formatFloat(unit_time).get());
    xml.setArg("max_time", engine_internal::formatFloat(max_time).get());
    for (const Parameter &parameter : parameters) {
        Xml *p = xml.addChild("parameter");
        p->setArg("type", parameter.type.get());
        if (!parameter.node.empty())
            p->setArg("node", parameter.node.get());
        if (!parameter.name.empty())
            p->setArg("name", parameter.name.get());
        for (const Key &key : parameter.keys) {
            Xml *k = p->addChild("key");
            k->setArg("time", engine_internal::formatFloat(key.time).get());
            k->setData(key.values.size() == 16 ? matrixText(toMatrix(key.values)).get() : key.text.get());
        }
    }
    String reason;
    if (!path || !*path || !xml.save(path, &reason)) {
        error = String("cannot write \"") + String(path ? path : "")
                + "\": " + (reason.empty() ? String("no file name") : reason);
        return false;
    }
    return true;
}

void Track::clear()
{
    *this = Track();
}

int Track::getNumKeys() const
{
    int count = 0;
    for (const Parameter &parameter : parameters)
        count += parameter.keys.size();
    return count;
}

Parameter &Track::transformParameter(const char *node)
{
    for (Parameter &parameter : parameters)
        if (parameter.type == String(TRANSFORM))
            return parameter;
    Parameter parameter;
    parameter.type = TRANSFORM;
    parameter.node = node ? node : "";
    parameters.append(parameter);
    return parameters[parameters.size() - 1];
}

const Parameter *Track::findTransformParameter() const
{
    for (const Parameter &parameter : parameters)
        if (parameter.type == String(TRANSFORM))
            return &parameter;
    return nullptr;
}

bool Track::namesNode(const char *node) const
{
    for (const Parameter &parameter : parameters)
        if (!parameter.node.empty() && parameter.node == String(node))
            return true;
    return false;
}

void Track::setKey(Parameter &parameter, float time, const mat4 &transform)
{
    Key key;
    key.time = time;
    for (int i = 0; i < 16; ++i)
        key.values.append(transform.m[i]);
    key.text = matrixText(transform);
    for (Key &existing : parameter.keys) {
        if (std::fabs(existing.time - time) < 1e-6f) {
            existing = key;
            return;
        }
    }
    parameter.keys.append(key);
    sortKeys(parameter);
}

bool Track::removeKey(Parameter &parameter, float time, float epsilon)
{
    int best = -1;
    for (int i = 0; i < parameter.keys.size(); ++i) {
        const float distance = std::fabs(parameter.keys[i].time - time);
        if (distance <= epsilon && (best < 0 || distance < std::fabs(parameter.keys[best].time - time)))
            best = i;
    }
    if (best < 0)
        return false;
    parameter.keys.remove(best);
    return true;
}

bool Track::sample(const Parameter &parameter, float time, mat4 &out)
{
    const Vector<Key> &keys = parameter.keys;
    if (keys.size() == 0)
        return false;
    if (time <= keys[0].time || keys.size() == 1) {
        out = toMatrix(keys[0].values);
        return true;
    }
    const Key &last = keys[keys.size() - 1];
    if (time >= last.time) {
        out = toMatrix(last.values);
        return true;
    }
    int next = 1;
    while (keys[next].time < time)
        ++next;
    const Key &a = keys[next - 1];
    const Key &b = keys[next];
    const float span = b.time - a.time;
    const float t = span > 0.0f ? (time - a.time) / span : 1.0f;
    vec3 pa, pb, sa, sb;
    quat ra, rb;
    Math::decompose(toMatrix(a.values), pa, ra, sa);
    Math::decompose(toMatrix(b.values), pb, rb, sb);
    out = Math::compose(Math::lerp(pa, pb, t), Math::slerp(ra, rb, t), Math::lerp(sa, sb, t));
    return true;
}

// ---- Playback --------------------------------------------------------------------------

Ptr<Node> Playback::findNode(const String &name) const
{
    if (player_ && String(player_->getName()) == name)
        return player_;
    return World::getNodeByName(name.get());
}

void Playback::apply(const Track &track, float time)
{
    for (const Parameter &parameter : track.parameters) {
        if (parameter.type == String(Track::TRANSFORM)) {
            const Ptr<Node> node = findNode(parameter.node);
            mat4 transform;
            if (!node || !Track::sample(parameter, time, transform))
                continue;
            place(node, transform);
        } else if (parameter.type == String(Track::SURFACE_MATERIAL)) {
            const Ptr<Object> object = findNode(parameter.node).cast<Object>();
            if (!object || parameter.keys.size() == 0)
                continue;
            const Key *current = &parameter.keys[0];
            for (const Key &key : parameter.keys)
                if (key.time <= time)
                    current = &key;
            for (int s = 0; s < object->getNumSurfaces(); ++s)
                object->setMaterial(current->text.get(), s);
        } else if (parameter.type.startsWith("material.")) {
            const Ptr<Material> material = Materials::findMaterial(parameter.name.get());
            const int index = material ? material->findParameter(parameter.type.get() + 9) : -1;
            if (index < 0 || parameter.keys.size() == 0)
                continue;
            const Vector<Key> &keys = parameter.keys;
            float value = keys[0].values.size() ? keys[0].values[0] : 0.0f;
            for (int k = 1; k < keys.size(); ++k) {
                if (keys[k].time < time || keys[k].values.size() == 0)
                    continue;
                const Key &a = keys[k - 1];
                const float span = keys[k].time - a.time;
                const float t = span > 0.0f ? std::clamp((time - a.time) / span, 0.0f, 1.0f) : 1.0f;
                const float from = a.values.size() ? a.values[0] : 0.0f;
                value = from + (keys[k].values[0] - from) * t;
                break;
            }
            if (time >= keys[keys.size() - 1].time && keys[keys.size() - 1].values.size())
                value = keys[keys.size() - 1].values[0];
            material->setParameterFloat(index, value);
        }
    }
}

void Playback::place(const Ptr<Node> &node, const mat4 &transform)
{
    if (!node)
        return;
    if (!originals_.count(node.get()))
        originals_[node.get()] = std::make_pair(node, node->getWorldTransform());
    node->setWorldTransform(transform);
}

void Playback::restore()
{
    for (auto &entry : originals_)
        if (entry.second.first)
            entry.second.first->setWorldTransform(entry.second.second);
    originals_.clear();
}

} // namespace track
} // namespace Velmora
