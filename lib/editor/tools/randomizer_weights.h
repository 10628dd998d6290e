#pragma once

#include <QVector>

// The weighted draw of the randomizer's list: entry i is drawn with
// probability weight[i] / (sum of all weights). The table is cumulative and
// normalised once; pick() maps a uniform value in [0, 1) to an entry.
class RandomizerWeights
{
public:
    explicit RandomizerWeights(const QVector<int> &weights);

    // False when no entry can be drawn: the list is empty or every weight
    // is 0 (or below).
    bool canDraw() const { return last_drawable_ >= 0; }
    // The first entry whose cumulative share lies above r; when rounding
    // leaves r at or above the last share, the last entry with a weight
    // above 0. -1 when nothing can be drawn.
    int pick(float r) const;
    const QVector<float> &cumulative() const { return cumulative_; }

private:
    QVector<float> cumulative_;
    int last_drawable_ = -1;
};
