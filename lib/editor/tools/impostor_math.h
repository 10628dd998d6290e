#pragma once

#include <velmora/Math.h>

#include <vector>

class QString;

namespace Impostors {

struct GrabParameters;

// Pure computations of the impostor creator: the camera grid, the atlas
// layout and the light matrices. No engine state is read.

// Both sides start at size; an aspect below 1 (or not a number) shortens
// the height to size * aspect, one above 1 the width to size / aspect
// (truncated toward zero). Null out-pointers are skipped.
void fitToAspect(int size, float aspect, int *width, int *height);

// Heading (degrees) of atlas column j and elevation of atlas row i.
float viewHeading(int column, int numPhi);
float viewElevation(int row, int numTheta);

// The view matrices of the grid around a pivot, turned by the node's
// rotation: entry row * numPhi + col looks at the pivot from distance.
std::vector<Velmora::mat4> buildModelviews(const Velmora::vec3 &pivot, const Velmora::quat &rotation, float distance,
                                           int numPhi, int numTheta);

// Sizes of an atlas: the atlas side fitted to numTheta / numPhi x aspect,
// cells of atlas / grid, renders of supersampling x cell.
struct AtlasLayout
{
    int atlasWidth = 0;
    int atlasHeight = 0;
    int cellWidth = 0;
    int cellHeight = 0;
    int renderWidth = 0;
    int renderHeight = 0;
};
AtlasLayout atlasLayout(int resolution, int numPhi, int numTheta, float aspect, int supersampling);

// True when the renders of these parameters fit the renderer's largest
// texture side; otherwise false and *reason says why.
bool isRenderSizeSupported(const GrabParameters &params, QString *reason = nullptr);

// The light of lighting layer 0..3: rotateZ(180 - 90 x layer) x rotateX(45).
Velmora::mat4 layerLightTransform(int layer);

// The light of vegetation pass k (0..3) for a camera whose world transform
// (inverse modelview) is given: the light's Z axis along +X, -X, +Y, -Y of
// the camera. Passes 0 and 2 are mirrors (determinant -1).
Velmora::mat4 vegetationLightTransform(int pass, const Velmora::mat4 &imodelview);
// The light of the translucence pass: Z along the camera's Y axis.
Velmora::mat4 translucenceLightTransform(const Velmora::mat4 &imodelview);

} // namespace Impostors
