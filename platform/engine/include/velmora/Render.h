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
    // positive or the size is beyond Viewport::MAX_IMAGE_SIDE /
    // MAX_IMAGE_PIXELS, or the engine is not running. skip_flags are ignored.
    static bool renderImage2D(const Ptr<Camera> &camera, const Ptr<Image> &image, int width, int height, int hdr = 0,
                              int skip_flags = 0);

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

    // Prints the streamed textures as the console command
    // render_streaming_list does: a header, one line per texture sorted by
    // path ("  path: main/video  (FORMAT WxH)" or "(not loaded)"), a footer.
    static void printStreamingTextures();
    // The file of a texture (data path or GUID text) has new contents: the
    // loaded copy is dropped and the next render reads the file again.
    static void reloadTexture(const char *name);

    // Stored values, no effect on pixels.
    static float getSupersampling();
    static void setSupersampling(float supersampling);
    static float getDistanceScale();
    static void setDistanceScale(float scale);

    // Shadows of lights whose shadow is on (default on). The shadow distance
    // limits the shadowed area around the camera (0, the default: no limit).
    static bool isShadows();
    static void setShadows(bool enabled);
    static float getShadowDistance();
    static void setShadowDistance(float distance);

    // Comma list of pre-post materials, stored; the name "debug_lights" in
    // it makes the lighting output the light reaching surfaces, without
    // ambient light, instead of the lit colour.
    static const char *getPrePostMaterials();
    static void setPrePostMaterials(const char *materials);

    // Screen-space ambient occlusion. The renderer uses the switch,
    // intensity, radius (world units), threshold (elevation ignored as
    // occlusion, 0..1) and quality (0..3: 2, 3, 4 or 6 steps per direction);
    // the others are stored.
    static bool isSSAO();
    static void setSSAO(bool enabled);
    static float getSSAOIntensity();
    static void setSSAOIntensity(float intensity);
    static float getSSAOIntensityLightedSide();
    static void setSSAOIntensityLightedSide(float intensity);
    static float getSSAOIntensityReflection();
    static void setSSAOIntensityReflection(float intensity);
    static bool isSSAOCavity();
    static void setSSAOCavity(bool enabled);
    static float getSSAOCavityIntensity();
    static void setSSAOCavityIntensity(float intensity);
    static float getSSAOCavityRadius();
    static void setSSAOCavityRadius(float radius);
    static bool isSSAORayTracing();
    static void setSSAORayTracing(bool enabled);
    static bool isSSAORayTracingDenoise();
    static void setSSAORayTracingDenoise(bool enabled);
    static float getSSAORayTracingThreshold();
    static void setSSAORayTracingThreshold(float threshold);
    static int getSSAOQuality();
    static void setSSAOQuality(int quality);
    static int getSSAOResolution();
    static void setSSAOResolution(int resolution);
    static bool isSSAONoise();
    static void setSSAONoise(bool enabled);
    static float getSSAORadius();
    static void setSSAORadius(float radius);
    static float getSSAOThreshold();
    static void setSSAOThreshold(float threshold);
};

} // namespace Velmora
