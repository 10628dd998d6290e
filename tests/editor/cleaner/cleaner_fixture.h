#pragma once

// Helpers of the cleaner tests: the static test project, and text forms of
// a collection's results whose GUIDs are written as asset paths.

#include "analysis_fixture.h"

#include <editor/cleaner/collector/collector_result.h>

#include <QPair>
#include <QStringList>
#include <QVector>

namespace cleanertest {

// tests/data/cleaner/<name>.
QString testDataPath(const QString &name);
// Copies a folder tree (hidden files included); false on any failure.
bool copyFolder(const QString &from, const QString &to);
// The lines of a text file that are neither empty nor comments ("#").
QStringList readLines(const QString &path);

// Data-relative paths of the unused assets, in result order.
QStringList describeUnused(const inastest::AnalysisFixture &fixture, const Velmora::Vector<Velmora::UGUID> &unused);
// The lost map in the form of expected_lost.txt: assets by path, each with
// its lost GUIDs and node records.
QStringList describeLost(const inastest::AnalysisFixture &fixture, const cleaner::LostMap &lost);

// Every progress report of a collection, and the answer to give.
struct ProgressLog
{
    QVector<QPair<int, int>> calls;
    // Answer false from this report on (1-based); 0: never.
    int stop_at = 0;

    bool operator()(int max, int value)
    {
        calls.append(qMakePair(max, value));
        return stop_at == 0 || calls.size() < stop_at;
    }
};

} // namespace cleanertest
