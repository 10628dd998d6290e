#include "editor/tools/randomizer_weights.h"

RandomizerWeights::RandomizerWeights(const QVector<int> &weights)
{
    float sum = 0.0f;
    cumulative_.reserve(weights.size());
    for (int i = 0; i < weights.size(); ++i) {
        if (weights[i] > 0) {
            sum += float(weights[i]);
            last_drawable_ = i;
        }
        cumulative_.append(sum);
    }
    if (last_drawable_ < 0) {
        // Nothing to normalise by: no entry is drawn.
        cumulative_.clear();
        return;
    }
    const float scale = 1.0f / sum;
    for (float &value : cumulative_)
        value *= scale;
}

int RandomizerWeights::pick(float r) const
{
    if (last_drawable_ < 0)
        return -1;
    for (int i = 0; i < cumulative_.size(); ++i) {
        if (r < cumulative_[i])
            return i;
    }
    return last_drawable_;
}
