#pragma once

#include <velmora/UGUID.h>

#include <QString>

#include <cstdint>

namespace tprof {

// One texture of the engine's streaming listing, matched to its asset where
// the asset database knows the file.
struct TextureItem
{
    Velmora::UGUID guid; // empty for a file outside the asset database
    QString path; // data-relative
    QString extension;
    QString format; // empty when not loaded
    uint64_t ram_usage = 0; // bytes
    uint64_t vram_usage = 0; // bytes
    int texture_width = 0; // 0 when not loaded
    int texture_height = 0;
    bool core = false;

    bool isLoaded() const { return vram_usage != 0; }
    // Width times height without overflow.
    int64_t pixelCount() const { return int64_t(texture_width) * int64_t(texture_height); }
};

} // namespace tprof
