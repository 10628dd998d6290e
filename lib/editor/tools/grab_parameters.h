#pragma once

#include <velmora/Math.h>
#include <velmora/Node.h>
#include <velmora/Ptr.h>

#include <vector>

namespace Impostors {

// The texture kinds of an impostor; the window's rows, the tool's file
// names and the master job's tasks are indexed by them.
enum TextureKind {
    TEXTURE_FINAL = 0,
    TEXTURE_LIGHTING = 1,
    TEXTURE_ALBEDO = 2,
    TEXTURE_ALBEDO_SSAO = 3,
    TEXTURE_NORMAL = 4,
    TEXTURE_NORMAL_VEGETATION = 5,
    TEXTURE_BENT_NORMAL = 6,
    TEXTURE_SHADING = 7,
    TEXTURE_BAKED_AO = 8,
    TEXTURE_SSAO = 9,
    TEXTURE_TRANSLUCENCE = 10,
    TEXTURE_TRANSLUCENCE_VEGETATION = 11,
    TEXTURE_DEPTH = 12,
    NUM_TEXTURE_KINDS = 13,
};

// What one impostor grab runs on: the node, the camera grid of the camera
// setup and the atlas layout. View (col, row) is modelviews[row * numPhi +
// col] and covers the atlas cell at (col * cellWidth, row * cellHeight).
struct GrabParameters
{
    Velmora::Ptr<Velmora::Node> node;
    float distance = 0.0f;
    Velmora::mat4 projection;
    std::vector<Velmora::mat4> modelviews;
    int cellWidth = 0;
    int cellHeight = 0;
    int supersampling = 1;
    int numPhi = 0;
    int numTheta = 0;
    int padding = 0;
};

} // namespace Impostors
