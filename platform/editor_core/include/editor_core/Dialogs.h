#pragma once

#include <velmora/UGUID.h>

#include <QString>
#include <QVector>

#include <functional>

class QWidget;

// The editor's choosers. They are not the platform's native dialogs, never
// block the caller and answer through a callback, later, from the event
// loop: with the chosen value, or with an empty one when the user cancels.
// A callback whose parent widget is gone by then is not called.
//
// A responder (tests) answers instead of a window: it gets the request and
// returns the answer as text (a path, or a GUID's text for assets; "" for a
// cancel), which reaches the callback the same way.
class Dialogs
{
public:
    enum class Kind { OpenDirectory, SelectAsset };

    struct Request
    {
        Kind kind = Kind::OpenDirectory;
        QString title;
        // The start folder, or the current asset's GUID text.
        QString start;
        // Allowed asset types (SelectAsset); none means any.
        QVector<int> asset_types;
    };

    using Responder = std::function<QString(const Request &)>;

    // An empty function restores the real dialogs.
    static void setResponder(Responder responder);
    static bool hasResponder();

    // A folder chooser opening at start; the callback gets an absolute path
    // with '/' separators, or "".
    static void openDirectory(QWidget *parent, const QString &title, const QString &start,
                              std::function<void(const QString &)> callback);

    // A list of the assets of the allowed types (by data-relative path,
    // from the registered asset manager) with a filter line; the callback
    // gets the chosen asset's GUID, or the empty GUID.
    static void selectAsset(QWidget *parent, const QString &title, const QVector<int> &types,
                            const Velmora::UGUID &current, std::function<void(const Velmora::UGUID &)> callback);
};
