#pragma once

#include "velmora/Math.h"
#include "velmora/Ptr.h"
#include "velmora/String.h"

namespace Velmora {

class Camera;
class Image;

// Render state and the CPU renderer's entry points. Rendering reads the
// world, so it runs on the engine's main thread; the renderer spreads the
// rows of an image over its own thread pool.
class Render
{
public:
    enum API {
        API_NULL = 0,
        API_OPENGL = 2,
        API_DIRECT3D11 = 3,
    };

    // From -video_app: opengl -> 2, direct3d11 -> 3 when supported (else 2
    // and a warning), auto -> 2, null -> 0 (nothing is rendered).
    static int getAPI();
    // The -supported_apis set (default 0 and 2).
    static bool isAPISupported(int api);
    static void setEnabled(int enabled);
    static int isEnabled();
    // Texture rows are bottom-up and images top-down: always false.
    static bool isFlipped() { return false; }

    // Draws the world as the camera sees it into image (w x h, top-down,
    // gamma 2.2, alpha = coverage): RGBA8, or RGBA16F when hdr is non-zero.
    // False (image untouched) when the camera or image is null, a side is not
    // positive, or the engine is not running.
    static bool renderImage2D(const Ptr<Camera> &camera, const Ptr<Image> &image,
                              int width, int height, int hdr = 0, int skip_flags = 0);

    // World render settings (applied from the world's render settings file).
    static vec3 getAmbientColor();
    static void setAmbientColor(const vec3 &color);
    static const char *getEnvironmentTextureName();
    static void setEnvironmentTextureName(const char *name);
    // Recorded settings of the render settings file ("exposure",
    // "postprocess_materials", ...); "" when not set.
    static const char *getSetting(const char *name);
    static void setSetting(const char *name, const char *value);
    static void resetSettings();

    // Stored values, no effect on pixels.
    static int getExposureAdaptation();
    static void setExposureAdaptation(int mode);
    static int getPanorama();
    static void setPanorama(int mode);

    // Texture streaming limits (console variables
    // render_streaming_textures_memory_limit, render_streaming_destroy_duration).
    static int getStreamingTexturesMemoryLimit();
    static void setStreamingTexturesMemoryLimit(int megabytes);
    static int getStreamingDestroyDuration();
    static void setStreamingDestroyDuration(int frames);

    // Number of views rendered by the last Engine::render (tests).
    static int getNumRenderedViews();
};

} // namespace Velmora
