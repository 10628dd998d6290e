#include "texture_streaming.h"

#include "velmora/Console.h"
#include "velmora/FileSystem.h"
#include "velmora/Image.h"
#include "velmora/Log.h"
#include "velmora/Texture.h"
#include "velmora/UGUID.h"

#include "engine_internal.h"

#include <QDateTime>
#include <QFileInfo>

#include <algorithm>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace Velmora {

namespace {

struct Entry
{
    Ptr<Texture> texture; // null while not loaded
    bool cutout = false;
    // Main memory: what the renderer holds, four floats a texel on every
    // level. Video memory: the level-0 texels in the listed format, as a
    // graphics card would hold them; the memory limit counts these.
    uint64_t ram_bytes = 0;
    uint64_t bytes = 0;
    String format;
    int width = 0;
    int height = 0;
    int64_t last_sampled = -1;
    // Absolute path, size and time of a file that failed to load; the load
    // is tried again once this changes.
    String failed_signature;
};

struct Streaming
{
    std::mutex mutex;
    int64_t frame = 0;
    std::map<std::string, Entry> entries; // by data-relative path
};

Streaming &streaming()
{
    static Streaming s;
    return s;
}

String signatureOf(const String &absolute)
{
    if (absolute.empty())
        return String("<missing>");
    const QFileInfo info(QString::fromUtf8(absolute.get()));
    return String::format("%s|%lld|%lld", absolute.get(), static_cast<long long>(info.size()),
                          static_cast<long long>(info.lastModified().toMSecsSinceEpoch()));
}

bool loadEntry(const String &key, Entry &entry)
{
    const String absolute = engine_internal::resolveDataFile(key.get());
    const String signature = signatureOf(absolute);
    if (!entry.failed_signature.empty() && entry.failed_signature == signature)
        return false;
    Image image;
    Ptr<Texture> texture = Texture::create();
    if (absolute.empty())
        Log::error("Render: texture \"%s\" not found\n", key.get());
    // Image::load and Texture::setImage log why a file does not load.
    if (absolute.empty() || !image.load(absolute.get()) || !texture->setImage(image)) {
        entry.failed_signature = signature;
        return false;
    }
    entry.failed_signature.clear();
    entry.texture = texture;
    entry.bytes = uint64_t(image.getSize());
    entry.ram_bytes = 0;
    for (int mip = 0; mip < texture->getNumMipmaps(); ++mip)
        entry.ram_bytes += uint64_t(texture->getWidth(mip)) * uint64_t(texture->getHeight(mip)) * sizeof(vec4);
    entry.format = image.getFormatName();
    entry.width = image.getWidth();
    entry.height = image.getHeight();
    entry.cutout = false;
    const vec4 *pixels = texture->getPixels();
    const int count = entry.width * entry.height;
    for (int i = 0; i < count && !entry.cutout; ++i)
        entry.cutout = pixels[i].w < 0.5f;
    return true;
}

// Registry key of a texture name: the data-relative path ("" for an empty
// name).
String keyOf(const char *name)
{
    const String text = String(name).trim();
    if (text.empty())
        return text;
    if (UGUID::isGUIDText(text.get())) {
        const String path = FileSystem::getVirtualPath(UGUID(text.get()));
        return path.empty() ? text : path;
    }
    return engine_internal::toDataRelative(text);
}

// "0B", "512B", "12KB", "1.5MB": at most two decimals, powers of 1024.
String formatSize(uint64_t bytes)
{
    static const char *const UNITS[] = {"", "K", "M", "G", "T"};
    int unit = 0;
    double value = double(bytes);
    while (value >= 1024.0 && unit < 4) {
        value /= 1024.0;
        ++unit;
    }
    String text = String::format("%.2f", value);
    while (text.endsWith("0"))
        text = text.substr(0, text.size() - 1);
    if (text.endsWith("."))
        text = text.substr(0, text.size() - 1);
    return text + UNITS[unit] + "B";
}

void unload(Entry &entry)
{
    entry.texture.reset();
    entry.ram_bytes = 0;
    entry.bytes = 0;
    entry.format.clear();
    entry.width = 0;
    entry.height = 0;
    entry.cutout = false;
}

} // namespace

void TextureStreaming::init()
{
    Streaming &s = streaming();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.frame = 0;
    s.entries.clear();
}

void TextureStreaming::shutdown()
{
    init();
}

void TextureStreaming::beginFrame()
{
    Streaming &s = streaming();
    std::lock_guard<std::mutex> lock(s.mutex);
    ++s.frame;
}

Ptr<Texture> TextureStreaming::acquire(const char *name, bool *cutout)
{
    if (cutout)
        *cutout = false;
    const String key = keyOf(name);
    if (key.empty())
        return Ptr<Texture>();
    Streaming &s = streaming();
    std::lock_guard<std::mutex> lock(s.mutex);
    Entry &entry = s.entries[key.std()];
    entry.last_sampled = s.frame;
    if (!entry.texture && !loadEntry(key, entry))
        return Ptr<Texture>();
    if (cutout)
        *cutout = entry.cutout;
    return entry.texture;
}

void TextureStreaming::collect()
{
    const int window = std::max(1, Console::getInt("render_streaming_destroy_duration"));
    const uint64_t limit = uint64_t(std::max(0, Console::getInt("render_streaming_textures_memory_limit"))) << 20;
    Streaming &s = streaming();
    std::lock_guard<std::mutex> lock(s.mutex);
    uint64_t loaded = 0;
    std::vector<std::pair<int64_t, std::string>> candidates;
    for (auto &item : s.entries) {
        if (!item.second.texture)
            continue;
        loaded += item.second.bytes;
        if (item.second.last_sampled <= s.frame - window)
            candidates.emplace_back(item.second.last_sampled, item.first);
    }
    std::sort(candidates.begin(), candidates.end());
    for (const auto &candidate : candidates) {
        if (loaded <= limit)
            break;
        Entry &entry = s.entries[candidate.second];
        loaded -= entry.bytes;
        unload(entry);
    }
}

void TextureStreaming::reload(const char *name)
{
    const String key = keyOf(name ? name : "");
    if (key.empty())
        return;
    Streaming &s = streaming();
    std::lock_guard<std::mutex> lock(s.mutex);
    const auto it = s.entries.find(key.std());
    if (it == s.entries.end())
        return;
    unload(it->second);
    it->second.failed_signature.clear();
}

void TextureStreaming::printList()
{
    std::set<std::string> paths;
    for (const String &path : engine_internal::materialsTexturePaths())
        paths.insert(path.std());
    std::vector<String> lines;
    {
        Streaming &s = streaming();
        std::lock_guard<std::mutex> lock(s.mutex);
        for (const auto &item : s.entries)
            paths.insert(item.first);
        for (const std::string &path : paths) {
            const auto it = s.entries.find(path);
            if (it == s.entries.end() || !it->second.texture) {
                lines.push_back(String::format("  %s: 0B/0B  (not loaded)\n", path.c_str()));
                continue;
            }
            const Entry &entry = it->second;
            const String ram = formatSize(entry.ram_bytes);
            const String vram = formatSize(entry.bytes);
            lines.push_back(String::format("  %s: %s/%s  (%s %dx%d)\n", path.c_str(), ram.get(), vram.get(),
                                           entry.format.get(), entry.width, entry.height));
        }
    }
    Console::message("---- streamed textures: %d ----\n", int(paths.size()));
    for (const String &line : lines)
        Console::message("%s", line.get());
    Console::message("---- end ----\n");
}

} // namespace Velmora
