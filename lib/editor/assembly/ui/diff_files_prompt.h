#pragma once

#include <QString>

namespace assembly {

// Lets the build's worker ask the user about a collision of two user files:
// the source combiner is handed showDiffWidget as its collision chooser, so
// the worker library needs no widget of its own.
class DiffFilesPrompt
{
public:
    // Shows the collision dialog on the GUI thread and waits for its answer:
    // 0 keeps the first file, 1 takes the second. Called on a worker thread.
    // The answer is never lost, even when it comes before the worker waits;
    // a dialog destroyed without an answer, a dialog that could not be shown
    // and a job queue that shuts down all answer 0 ("Use First").
    static int showDiffWidget(const QString &first, const QString &second, const QString &output);
};

} // namespace assembly
