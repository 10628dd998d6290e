#include "editor/assembly/core/impl/pre_processing/precompile_shaders.h"

#include "core/base/main_thread_runner.h"

#include <editor_core/base/Assert.h>
#include <velmora/Materials.h>

#include <QCoreApplication>
#include <QThread>
#include <QtDebug>

#include <algorithm>
#include <utility>

namespace assembly {

PrecompileShaders::PrecompileShaders()
    : PrecompileShaders(Velmora::Materials::getNumMaterials(), &PrecompileShaders::compileEngineMaterials)
{}

PrecompileShaders::PrecompileShaders(int num_materials, CompileBatch compile)
    : num_materials_(std::max(0, num_materials))
    , compile_(std::move(compile))
{}

int PrecompileShaders::getMaxProgress() const
{
    return std::max(num_materials_, 1);
}

bool PrecompileShaders::execute(const ProgressCallback &progress, post::OperationQueue & /*queue*/)
{
    const int n = num_materials_;
    for (int first = 0; first < n; first += BATCH_SIZE) {
        if (!progress(n, first + 1))
            return false;
        EC_ASSERT(QCoreApplication::instance()->thread() != QThread::currentThread());
        const int last = std::min(first + BATCH_SIZE, n);
        const bool ran = MainThreadRunner::run([this, first, last]() { compile_(first, last); },
                                               MainThreadRunner::POLL_INTERVAL_MS);
        if (!ran) {
            qCritical() << "Build Tool: shaders of materials" << first << "to" << last - 1 << "were not compiled.";
            return false;
        }
    }
    return progress(getMaxProgress(), getMaxProgress());
}

void PrecompileShaders::compileEngineMaterials(int first, int last)
{
    Velmora::Vector<Velmora::Ptr<Velmora::Material>> batch;
    for (int index = first; index < last; ++index) {
        Velmora::Ptr<Velmora::Material> material = Velmora::Materials::getMaterial(index);
        if (material)
            batch.append(material);
    }
    if (!batch.empty())
        Velmora::Materials::compileShaders(batch);
}

} // namespace assembly
