#pragma once

#include "velmora/Ptr.h"

#include <cstdint>

namespace Velmora {

class Texture;

// The streaming registry of the CPU renderer: every texture that a loaded
// material names, the core textures, and every texture a render sampled.
// A render loads what it samples (what its view draws; shadow casters
// outside the view sample nothing); after each render, textures not sampled
// during the last render_streaming_destroy_duration frames (at least the
// last one) are unloaded, least recently sampled first, while the loaded
// memory exceeds render_streaming_textures_memory_limit MB. Thread-safe.
class TextureStreaming
{
public:
    static void init();
    static void shutdown();

    // Starts the next render frame (once per Engine::render).
    static void beginFrame();

    // The loaded texture of a data path or GUID text, marked as sampled in
    // this frame; null when the file does not load (one error line, repeated
    // only after the file changes). cutout tells whether some texel's alpha
    // is below 0.5.
    static Ptr<Texture> acquire(const char *name, bool *cutout = nullptr);
    // Unloads per the limits (called after each render).
    static void collect();
    // Drops the loaded texture of a data path or GUID text (and what a failed
    // load remembered): the next render that samples it reads the file again.
    static void reload(const char *name);

    // Prints the registry as the render_streaming_list command does: main
    // memory is the renderer's float texels, video memory the level-0 texels
    // in their format.
    static void printList();
};

} // namespace Velmora
