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
    enum class Kind { OpenDirectory, SelectAsset, SaveAsset };

    struct Request
    {
        Kind kind = Kind::OpenDirectory;
        QString title;
        // The start folder, or the current asset's GUID text (SaveAsset: the
        // data folder).
        QString start;
        // Allowed asset types (SelectAsset); none means any.
        QVector<int> asset_types;
    };

    using Responder = std::function<QString(const Request &)>;

    // An empty function restores the real dialogs.
    static void setResponder(Responder responder);
    static bool hasResponder();
    // The responder's answer to a request ("" without a responder).
    static QString respond(const Request &request);

    // A folder chooser opening at start; the callback gets an absolute path
    // with '/' separators, or "".
    static void openDirectory(QWidget *parent, const QString &title, const QString &start,
                              std::function<void(const QString &)> callback);

    // A list of the assets of the allowed types (by data-relative path,
    // from the registered asset manager) with a filter line; the callback
    // gets the chosen asset's GUID, or the empty GUID.
    static void selectAsset(QWidget *parent, const QString &title, const QVector<int> &types,
                            const Velmora::UGUID &current, std::function<void(const Velmora::UGUID &)> callback);

    // A track asset (type 13) chosen from the list, parented to the main
    // window.
    static void browseAssetTrack(std::function<void(const Velmora::UGUID &)> callback, const Velmora::UGUID &current);
    // A file name for a track inside the data folder (".track" added when
    // missing): path_callback gets the absolute path (or "" on cancel) and
    // writes the file; the file is then imported and saved_callback gets the
    // asset's GUID and runtime name (not called on cancel, or when the file
    // was not written or lies outside the data folder). A responder answers
    // a SaveAsset request with an absolute or data-relative path.
    static void saveAssetTrack(std::function<void(const QString &)> path_callback,
                               std::function<void(const Velmora::UGUID &, const QString &)> saved_callback,
                               const Velmora::UGUID &current);
};
