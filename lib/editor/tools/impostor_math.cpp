#include "editor/tools/impostor_math.h"

#include "editor/tools/grab_parameters.h"

#include <velmora/Texture.h>

#include <QString>

#include <cmath>

using namespace Velmora;

namespace Impostors {

void fitToAspect(int size, float aspect, int *width, int *height)
{
    int w = size;
    int h = size;
    if (std::isnan(aspect) || aspect < 1.0f)
        h = std::isnan(aspect) ? size : int(float(size) * aspect);
    else if (aspect > 1.0f)
        w = int(float(size) / aspect);
    if (width)
        *width = w;
    if (height)
        *height = h;
}

float viewHeading(int column, int numPhi)
{
    return 180.0f - float(column) * 360.0f * (1.0f / float(numPhi));
}

float viewElevation(int row, int numTheta)
{
    return float(row) * 90.0f / float(numTheta);
}

std::vector<mat4> buildModelviews(const vec3 &pivot, const quat &rotation, float distance, int numPhi, int numTheta)
{
    std::vector<mat4> modelviews;
    if (numPhi < 1 || numTheta < 1)
        return modelviews;
    modelviews.resize(size_t(numPhi) * size_t(numTheta));
    const mat4 r(rotation);
    const mat4 d = Math::translate(0.0f, 0.0f, distance);
    const mat4 p = Math::translate(pivot);
    for (int i = 0; i < numTheta; ++i) {
        const float elevation = viewElevation(i, numTheta);
        for (int j = 0; j < numPhi; ++j) {
            const float heading = viewHeading(j, numPhi);
            const mat4 world = p * r * Math::rotateZ(heading) * Math::rotateX(90.0f - elevation) * d;
            modelviews[size_t(i) * size_t(numPhi) + size_t(j)] = Math::inverse(world);
        }
    }
    return modelviews;
}

AtlasLayout atlasLayout(int resolution, int numPhi, int numTheta, float aspect, int supersampling)
{
    AtlasLayout layout;
    if (numPhi < 1 || numTheta < 1)
        return layout;
    fitToAspect(resolution, float(numTheta) / float(numPhi) * aspect, &layout.atlasWidth, &layout.atlasHeight);
    layout.cellWidth = layout.atlasWidth / numPhi;
    layout.cellHeight = layout.atlasHeight / numTheta;
    layout.renderWidth = layout.cellWidth * supersampling;
    layout.renderHeight = layout.cellHeight * supersampling;
    return layout;
}

bool isRenderSizeSupported(const GrabParameters &params, QString *reason)
{
    const long long width = (long long)params.cellWidth * params.supersampling;
    const long long height = (long long)params.cellHeight * params.supersampling;
    QString why;
    if (params.cellWidth < 1 || params.cellHeight < 1 || params.supersampling < 1)
        why = QStringLiteral("the cell size %1 x %2 at supersampling %3 is empty")
                      .arg(params.cellWidth)
                      .arg(params.cellHeight)
                      .arg(params.supersampling);
    else if (width > Texture::MAX_SIZE || height > Texture::MAX_SIZE)
        why = QStringLiteral("the render size %1 x %2 (supersampling x cell) exceeds the largest texture side %3")
                      .arg(width)
                      .arg(height)
                      .arg(Texture::MAX_SIZE);
    if (reason)
        *reason = why;
    return why.isEmpty();
}

mat4 layerLightTransform(int layer)
{
    return Math::rotateZ(180.0f - float(layer) * 90.0f) * Math::rotateX(45.0f);
}

namespace {

mat4 axes(const vec3 &x, const vec3 &y, const vec3 &z)
{
    mat4 m;
    m.setColumn3(0, x);
    m.setColumn3(1, y);
    m.setColumn3(2, z);
    return m;
}

} // namespace

mat4 vegetationLightTransform(int pass, const mat4 &imodelview)
{
    const vec3 c0 = imodelview.getColumn3(0);
    const vec3 c1 = imodelview.getColumn3(1);
    const vec3 c2 = imodelview.getColumn3(2);
    switch (pass) {
    case 0:
        return axes(c2, c1, c0);
    case 1:
        return axes(c2, c1, -c0);
    case 2:
        return axes(c0, c2, c1);
    default:
        return axes(c0, c2, -c1);
    }
}

mat4 translucenceLightTransform(const mat4 &imodelview)
{
    return axes(imodelview.getColumn3(0), imodelview.getColumn3(2), imodelview.getColumn3(1));
}

} // namespace Impostors
