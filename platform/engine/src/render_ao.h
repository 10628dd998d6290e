#pragma once

#include "velmora/Math.h"

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

// Writes ssao and bent normal for every covered pixel (others untouched).
// coarse_points, coarse_ao and coarse_bent are scratch of
// ambientOcclusionCoarseSize items.
// The search runs on every second pixel of every second row; a pixel in
// between takes the mean of those of its neighbours that lie on its own
// surface, and searches for itself where none does (at silhouettes and
// creases). Runs in row bands on the renderer's pool.
void ambientOcclusion(const AmbientOcclusionInput &input, vec4 *coarse_points, float *coarse_ao, vec3 *coarse_bent,
                      float *ssao, vec3 *bent_normal);

} // namespace render_internal
} // namespace Velmora
