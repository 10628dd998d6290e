#pragma once

#include "velmora/Math.h"

#include <memory>

namespace Velmora {
namespace render_internal {

// Screen-space ambient occlusion of one view: a horizon search in 16 fixed
// screen directions on the view-space positions. The highest occluder
// elevation in each direction gives the occlusion, and the middle of the
// open arc above it the bent normal.
struct AmbientOcclusionInput
{
    int width = 0;
    int height = 0;
    const vec4 *points = nullptr; // view-space position per pixel, w = coverage (0 or 1)
    const vec3 *normals = nullptr; // view-space unit normal per pixel
    float pixel_scale = 1.0f; // pixels per view unit at depth 1 (perspective) or per unit
    bool perspective = true;
    // The SSAO settings.
    int quality = 2;
    float radius = 1.0f;
    float threshold = 0.0f;
    float intensity = 1.0f;
};

// Number of coarse-grid samples the stage needs scratch room for.
int ambientOcclusionCoarseSize(int width, int height);

// The stage in two steps: search() runs the horizon search on every second
// pixel of every second row; fill(begin, end) then writes ssao and bent
// normal of every covered pixel of rows begin .. end - 1 (others untouched):
// a pixel between grid points takes the mean of those of its neighbours
// that lie on its own surface, and searches for itself where none does (at
// silhouettes and creases). Both may run in row bands in parallel; the
// scratch buffers hold ambientOcclusionCoarseSize items each.
class AmbientOcclusion
{
public:
    AmbientOcclusion(const AmbientOcclusionInput &input, vec4 *coarse_points, float *coarse_ao, vec3 *coarse_bent,
                     float *ssao, vec3 *bent_normal);
    ~AmbientOcclusion();
    AmbientOcclusion(const AmbientOcclusion &) = delete;
    AmbientOcclusion &operator=(const AmbientOcclusion &) = delete;

    // On the renderer's pool; returns when the grid is done.
    void search();
    void fill(int begin, int end) const;

    // search() in steps, for callers that overlap it with other work:
    // gather(begin, end) takes the grid points of pixel rows begin .. end - 1
    // once they are final; prepare() follows when every row is gathered;
    // then searchGrid(begin, end) searches grid rows begin .. end - 1, any
    // number of them at once. fill() may run on rows whose grid rows (y / 2
    // and y / 2 + 1) are searched.
    void gather(int begin, int end);
    void prepare();
    void searchGrid(int begin, int end);

private:
    class Search;

    const AmbientOcclusionInput input_;
    vec4 *coarse_points_;
    float *coarse_ao_;
    vec3 *coarse_bent_;
    float *ssao_;
    vec3 *bent_normal_;
    std::unique_ptr<Search> search_;
};

} // namespace render_internal
} // namespace Velmora
