#include "velmora/RenderRitual.h"

#include "velmora/Log.h"
#include "velmora/Material.h"
#include "velmora/RenderTarget.h"
#include "velmora/Texture.h"

#include "render_internal.h"

#include <QByteArray>
#include <QHash>
#include <QReadWriteLock>

#include <algorithm>
#include <atomic>
#include <cmath>

namespace Velmora {

namespace {

constexpr int ROWS_PER_BAND = 8;

struct PassRegistry
{
    QReadWriteLock lock;
    QHash<QByteArray, RenderRitual::PassFactory> passes;
};

PassRegistry &registry()
{
    static PassRegistry r;
    return r;
}

std::atomic<int> g_max_threads{0};

// Passes register on first use of a ritual (see render_passes.cpp).
void registerBuiltInPasses()
{
    static const bool done = [] {
        render_internal::registerImpostorPasses();
        return true;
    }();
    (void)done;
}

RenderRitual::PassFactory findPass(const Material *material)
{
    registerBuiltInPasses();
    PassRegistry &r = registry();
    QReadLocker lock(&r.lock);
    for (const Material *m = material; m;) {
        const auto it = r.passes.constFind(QByteArray(m->getName()));
        if (it != r.passes.constEnd() && (m->isBase() || m == material))
            return it.value();
        const Ptr<Material> parent = m->getParent();
        m = parent.get();
    }
    return RenderRitual::PassFactory();
}

void runRows(int height, const std::function<void(int, int)> &fn)
{
    if (g_max_threads.load() == 1) {
        fn(0, height);
        return;
    }
    render_internal::forBands(height, ROWS_PER_BAND, fn);
}

vec4 sampleClamped(const Texture &texture, float u, float v)
{
    const int w = texture.getWidth();
    const int h = texture.getHeight();
    const vec4 *pixels = texture.getPixels();
    const float fx = Math::clamp(u * float(w) - 0.5f, 0.0f, float(w - 1));
    const float fy = Math::clamp(v * float(h) - 0.5f, 0.0f, float(h - 1));
    const int x0 = int(fx);
    const int y0 = int(fy);
    const int x1 = std::min(x0 + 1, w - 1);
    const int y1 = std::min(y0 + 1, h - 1);
    const float tx = fx - float(x0);
    const float ty = fy - float(y0);
    const vec4 bottom = Math::lerp(pixels[y0 * w + x0], pixels[y0 * w + x1], tx);
    const vec4 top = Math::lerp(pixels[y1 * w + x0], pixels[y1 * w + x1], tx);
    return Math::lerp(bottom, top, ty);
}

} // namespace

// ---- RenderTarget and the post target --------------------------------------------------

Ptr<RenderTarget> RenderTarget::create()
{
    return Ptr<RenderTarget>(new RenderTarget);
}

Ptr<RenderTarget> Renderer::getPostRenderTarget() const
{
    static Ptr<RenderTarget> target = RenderTarget::create();
    return target;
}

// ---- PassContext -----------------------------------------------------------------------

vec4 RenderRitual::PassContext::input(int k, int x, int y) const
{
    if (k < 0 || k >= inputs.size() || !inputs.data()[k])
        return vec4();
    const Texture &texture = *inputs.data()[k];
    if (texture.getWidth() == width && texture.getHeight() == height)
        return texture.getPixels()[y * width + x];
    if (texture.isEmpty())
        return vec4();
    return sampleClamped(texture, (float(x) + 0.5f) / float(width), (float(y) + 0.5f) / float(height));
}

const vec4 *RenderRitual::PassContext::inputRow(int k, int y) const
{
    if (k < 0 || k >= inputs.size() || !inputs.data()[k])
        return nullptr;
    const Texture &texture = *inputs.data()[k];
    if (texture.getWidth() != width || texture.getHeight() != height)
        return nullptr;
    return texture.getPixels() + size_t(y) * size_t(width);
}

int RenderRitual::PassContext::gbufferIndex(int x, int y) const
{
    if (!gbuffer || gbuffer->width <= 0 || gbuffer->height <= 0)
        return -1;
    if (gbuffer->width == width && gbuffer->height == height)
        return y * width + x;
    const int gx = std::min(gbuffer->width - 1, int((float(x) + 0.5f) * float(gbuffer->width) / float(width)));
    const int gy = std::min(gbuffer->height - 1, int((float(y) + 0.5f) * float(gbuffer->height) / float(height)));
    return gy * gbuffer->width + gx;
}

int RenderRitual::PassContext::getState(const char *name, int default_value) const
{
    return material ? material->getState(name, default_value) : default_value;
}

float RenderRitual::PassContext::getParameter(const char *name, float default_value) const
{
    if (!material)
        return default_value;
    const int index = material->findParameter(name);
    return index >= 0 ? material->getParameterFloat(index) : default_value;
}

// ---- RenderRitual ----------------------------------------------------------------------

RenderRitual::RenderRitual(const Ptr<RenderTarget> &target, const Vector<Ptr<Texture>> &outputs)
    : target_(target)
{
    for (const Ptr<Texture> &output : outputs) {
        if (outputs_.size() == 2) {
            Log::error("RenderRitual: at most two outputs; the others are ignored\n");
            break;
        }
        outputs_.append(output);
    }
    if (target_)
        ++target_->bindings_;
}

RenderRitual::~RenderRitual()
{
    if (target_)
        --target_->bindings_;
}

bool RenderRitual::render(const Ptr<Material> &material)
{
    return render(material, Vector<Ptr<Texture>>());
}

bool RenderRitual::render(const Ptr<Material> &material, const Vector<Ptr<Texture>> &inputs)
{
    if (!material)
        return false;
    return run(material.get(), inputs);
}

bool RenderRitual::run(const Material *material, const Vector<Ptr<Texture>> &inputs)
{
    if (outputs_.empty() || !outputs_[0] || outputs_[0]->isEmpty()) {
        Log::error("RenderRitual: no output texture to render \"%s\" into\n", material->getName());
        return false;
    }
    const int width = outputs_[0]->getWidth();
    const int height = outputs_[0]->getHeight();
    for (const Ptr<Texture> &output : outputs_) {
        if (!output || output->getWidth() != width || output->getHeight() != height) {
            Log::error("RenderRitual: the outputs of \"%s\" differ in size\n", material->getName());
            return false;
        }
    }
    const PassFactory factory = findPass(material);
    if (!factory) {
        Log::error("RenderRitual: the material \"%s\" has no pass\n", material->getName());
        return false;
    }
    PassContext context;
    context.width = width;
    context.height = height;
    context.num_outputs = outputs_.size();
    context.material = material;
    for (const Ptr<Texture> &input : inputs)
        context.inputs.append(input && !input->isEmpty() ? input.get() : nullptr);
    if (Renderer *active = Renderer::getActive())
        context.gbuffer = &active->getGBuffer();

    const RowFunction row = factory(context);
    if (!row)
        return false;
    // When an input is also an output, results go to scratch buffers first
    // and are copied once the pass is done.
    bool aliased = false;
    for (const Texture *input : context.inputs) {
        for (const Ptr<Texture> &output : outputs_)
            aliased = aliased || input == output.get();
    }
    const size_t size = size_t(width) * size_t(height);
    Vector<vec4> scratch0;
    Vector<vec4> scratch1;
    vec4 *out0 = outputs_[0]->getPixels();
    vec4 *out1 = outputs_.size() > 1 ? outputs_[1]->getPixels() : nullptr;
    if (aliased) {
        const int count = int(size);
        scratch0 = Vector<vec4>(count);
        out0 = scratch0.data();
        if (out1) {
            scratch1 = Vector<vec4>(count);
            out1 = scratch1.data();
        }
    }
    runRows(height, [&](int begin, int end) {
        for (int y = begin; y < end; ++y)
            row(y, out0 + size_t(y) * size_t(width), out1 ? out1 + size_t(y) * size_t(width) : nullptr);
    });
    if (aliased) {
        std::copy(out0, out0 + size, outputs_[0]->getPixels());
        if (out1)
            std::copy(out1, out1 + size, outputs_[1]->getPixels());
    }
    return true;
}

bool RenderRitual::copyTexture2D(const Ptr<Texture> &source)
{
    if (!source || source->isEmpty() || outputs_.empty() || !outputs_[0] || outputs_[0]->isEmpty())
        return false;
    Texture &output = *outputs_[0];
    const int width = output.getWidth();
    const int height = output.getHeight();
    const int source_width = source->getWidth();
    const int source_height = source->getHeight();
    const vec4 *in = source->getPixels();
    if (width == source_width && height == source_height) {
        if (source.get() != &output)
            std::copy(in, in + size_t(width) * size_t(height), output.getPixels());
        return true;
    }
    Vector<vec4> result(width * height);
    vec4 *out = result.data();
    const bool halving = width * 2 == source_width && height * 2 == source_height;
    const Texture &src = *source;
    runRows(height, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            for (int x = 0; x < width; ++x) {
                if (halving) {
                    const vec4 *a = in + size_t(2 * y) * size_t(source_width) + size_t(2 * x);
                    const vec4 *b = a + source_width;
                    out[y * width + x] = (a[0] + a[1] + b[0] + b[1]) * 0.25f;
                } else {
                    out[y * width + x]
                            = sampleClamped(src, (float(x) + 0.5f) / float(width), (float(y) + 0.5f) / float(height));
                }
            }
        }
    });
    std::copy(out, out + result.size(), output.getPixels());
    return true;
}

void RenderRitual::setColor(const vec4 &color)
{
    for (const Ptr<Texture> &output : outputs_) {
        if (output && !output->isEmpty()) {
            vec4 *pixels = output->getPixels();
            std::fill(pixels, pixels + size_t(output->getWidth()) * size_t(output->getHeight()), color);
        }
    }
}

void RenderRitual::registerPass(const char *base_material, PassFactory factory)
{
    if (!base_material || !*base_material)
        return;
    PassRegistry &r = registry();
    QWriteLocker lock(&r.lock);
    r.passes.insert(QByteArray(base_material), std::move(factory));
}

bool RenderRitual::hasPass(const char *base_material)
{
    registerBuiltInPasses();
    PassRegistry &r = registry();
    QReadLocker lock(&r.lock);
    return base_material && r.passes.contains(QByteArray(base_material));
}

void RenderRitual::setMaxThreads(int threads)
{
    g_max_threads.store(std::max(0, threads));
}

int RenderRitual::getMaxThreads()
{
    return g_max_threads.load();
}

} // namespace Velmora
