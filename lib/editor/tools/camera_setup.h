#pragma once

#include <velmora/Image.h>
#include <velmora/Math.h>
#include <velmora/Node.h>
#include <velmora/Ptr.h>

#include <functional>
#include <vector>

namespace Impostors {

// Places the grid of orthographic cameras around a node and sizes their
// common projection so that the node's silhouette, seen from every view,
// fits the picture with one free pixel on its tightest side. The fit
// renders the union of all views' silhouettes into a mask (at most
// 1024 x 1024) and measures its empty borders, a few times over.
//
// The caller fills node, numPhi, numTheta and aspect; setup() fills the
// rest. Everything runs on the GUI thread.
class CameraSetup
{
public:
    // The union silhouette at a projection half-size: first channel > 0
    // where the node covers the pixel.
    using SilhouetteSource = std::function<Velmora::Ptr<Velmora::Image>(float half_size)>;

    struct Margins
    {
        int margin = 0; // empty pixels on the limiting side
        bool horizontal = false; // the limit is left/right
        bool empty = false; // the mask holds no covered pixel
    };
    struct Step
    {
        float size = 0.0f;
        int margin = 0; // free pixels beyond the one kept; negative: touches
        bool empty = false;
    };

    Velmora::Ptr<Velmora::Node> node;
    int numPhi = 0;
    int numTheta = 0;
    float aspect = 1.0f; // cell height / width
    Velmora::vec4 pivot; // bound sphere centre, then radius
    float distance = 0.0f;
    std::vector<Velmora::mat4> modelviews;
    Velmora::mat4 projection;
    float size = 0.0f;
    float radius = 0.0f;

    // computeBounds, updateModelviews, fitProjection; false (nothing else
    // changed) without a node or for a radius below 1e-6.
    bool setup();
    bool computeBounds();
    void updateModelviews();
    void buildModelviews() { updateModelviews(); }
    void fitProjection();

    Velmora::Ptr<Velmora::Image> renderSilhouettes(float half_size) const;
    static Margins measureSilhouetteMargins(const Velmora::Image &image, float aspect);
    Step fitStep(float half_size) const;

    // Replaces the silhouette renders (tests); null restores them.
    void setSilhouetteSource(SilhouetteSource source) { source_ = std::move(source); }
    // Number of silhouette masks the last fitProjection used.
    int getNumFitSteps() const { return steps_; }

    static constexpr int MASK_SIZE = 1024;

private:
    SilhouetteSource source_;
    mutable int steps_ = 0;
};

} // namespace Impostors
