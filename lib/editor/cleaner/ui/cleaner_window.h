#pragma once

#include "editor/cleaner/collector/collector_result.h"
#include "editor/cleaner/model/delete_all_rounds.h"

#include <velmora/UGUID.h>
#include <velmora/Vector.h>

#include <editor_core/core/ProgressDialog.h>

#include <editor_core/editor/AssetManagerPrivate.h>

#include <QModelIndexList>
#include <QPointer>
#include <QSet>
#include <QWidget>

#include <functional>
#include <memory>

class QItemSelection;
class QLabel;
class QPushButton;
class QTableView;
class QVBoxLayout;

namespace mat {
class Manager;
}
namespace tbb {
class JobInterface;
}

class AccordionWidget;
class WorldControls;

namespace cleaner {

class CollectorJob;
class LostAssetsTableModel;
class UnusedAssetsTableModel;

// The "Cleaner" tool window. "Refresh" runs a collection on the job queue
// behind a modal progress dialog and fills two tables: the unused assets and
// the lost references. Unused assets are deleted on request through the
// asset manager (selected rows, every listed row, or "Delete All": rounds of
// collect-and-remove until nothing is left). Table selections become the
// editor's selection.
//
// Deletion is guarded: every deletion is confirmed; a table that may be out
// of date (files that could not be read, the project changed since the
// collection: the asset database, or any file or folder the collection read)
// says so in the question, and "Delete All" refuses while files could not be
// read; saving the ignore list takes the newly ignored rows out of the table
// at once. What the asset manager would refuse to delete is never offered;
// assets that could not be deleted stay in the table, marked with why.
class CleanerWindow : public QWidget
{
    Q_OBJECT

public:
    // A yes/no question: title, text and the text of the accepting button.
    using AskFunction = std::function<bool(const QString &title, const QString &text, const QString &accept)>;
    // A message the user acknowledges.
    using TellFunction = std::function<void(const QString &title, const QString &text)>;
    // Runs the ignore-list dialog; true when it saved a change.
    using IgnoreListFunction = std::function<bool()>;

    explicit CleanerWindow(QWidget *parent = nullptr);
    ~CleanerWindow() override;

    void setAsk(AskFunction ask) { ask_ = std::move(ask); }
    void setTell(TellFunction tell) { tell_ = std::move(tell); }
    void setIgnoreListRunner(IgnoreListFunction run) { run_ignore_list_ = std::move(run); }

    UnusedAssetsTableModel *unusedModel() const { return unused_model_; }
    LostAssetsTableModel *lostModel() const { return lost_model_; }
    QTableView *unusedView() const { return unused_view_; }
    QTableView *lostView() const { return lost_view_; }
    core::ProgressDialog *progressDialog() const { return progress_dialog_.data(); }
    bool isCollecting() const { return !progress_dialog_.isNull(); }
    // The running collection; null when none.
    std::shared_ptr<CollectorJob> currentJob() const { return job_.lock(); }
    bool isDeletingAll() const { return rounds_.isActive(); }
    const DeleteAllRounds &deleteAllRounds() const { return rounds_; }
    // Files the last collection could not read.
    const ReadFailures &readFailures() const { return read_failures_; }
    // The line under the buttons: the state of the tables and of Delete All.
    QString statusText() const;
    // Why the tables may not tell the whole truth; empty when they do.
    QStringList doubts() const;
    // A file or folder the last collection read that has changed since;
    // empty when none has (the files of assets removed since aside).
    QString changedSinceCollection() const;

public slots:
    void startCollect();
    void deleteSelected();
    void deleteListed();
    void deleteAll();
    void showIgnoreList();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // The phases of the constructor, in their order.
    void useMessageBoxes();
    QPushButton *addRefreshRow(QVBoxLayout *layout);
    void addStatusLines(QVBoxLayout *layout);
    // Returns the ignore list's button, which the deletion buttons' row holds.
    QPushButton *addTables(QVBoxLayout *layout);
    QPushButton *addDeletionButtons(QWidget *page, QVBoxLayout *page_layout);
    // An open section of the accordion takes the room the closed ones leave.
    void stretchOpenSections();
    void connectControls(QPushButton *refresh, QPushButton *ignore_list);
    // The tables follow the asset database, and so does what makes them out
    // of date.
    void followAssetDatabase();

    void onCollectFinished(const std::shared_ptr<tbb::JobInterface> &job);
    void setUnusedAssets(Velmora::Vector<Velmora::UGUID> guids);
    void setLostAssets(const LostMap &lost);
    void continueDeleteAll(const CollectorJob &job);
    void onRemovalEnded();
    void stopDeleteAll(const QString &message);
    void confirmAndRemove(const Velmora::Vector<Velmora::UGUID> &guids);
    QString deletionQuestion(const QStringList &reasons) const;
    void removeConfirmed(const Velmora::Vector<Velmora::UGUID> &guids);
    // Marks the rows of the assets that were not deleted; returns the
    // message that names them.
    QString markNotDeleted(const QVector<Editor::AssetManagerPrivate::RemovalFailure> &failures);
    void showContextMenu(const QPoint &global_position);
    void selectUnusedInEditor();
    void selectLostInEditor(const QItemSelection &selected);
    bool selectLostNode(const QModelIndex &index);
    Velmora::Vector<Velmora::UGUID> guidsOfIndexes(const QModelIndexList &indexes, int role) const;
    void refilterIgnored();
    void updateButtons();
    void setStatus(const QString &text);
    void updateStatus();
    void onTableRowsChanged();

    Editor::AssetManagerPrivate *as_manager_ = nullptr;
    mat::Manager *materials_ = nullptr;
    WorldControls *world_controls_ = nullptr;

    UnusedAssetsTableModel *unused_model_ = nullptr;
    QTableView *unused_view_ = nullptr;
    bool unused_selecting_ = false;
    LostAssetsTableModel *lost_model_ = nullptr;
    QTableView *lost_view_ = nullptr;
    bool lost_selecting_ = false;
    QPointer<core::ProgressDialog> progress_dialog_;
    std::weak_ptr<CollectorJob> job_;

    AccordionWidget *accordion_ = nullptr;
    QPushButton *delete_selected_ = nullptr;
    QPushButton *delete_listed_ = nullptr;
    QPushButton *delete_all_ = nullptr;
    QLabel *status_ = nullptr;
    QLabel *warning_ = nullptr;

    DeleteAllRounds rounds_;
    // Waiting for the asset manager's end of the round's removal.
    QMetaObject::Connection end_connection_;
    int removed_in_round_ = 0;
    bool removing_ = false;

    // Bumped by every addition, change or move in the asset database; the
    // value at the start of the collection that filled the tables.
    quint64 generation_ = 0;
    quint64 tables_generation_ = 0;
    bool tables_filled_ = false;
    bool tables_stale_ = false;
    ReadFailures read_failures_;
    // What the collection that filled the tables read, the assets removed
    // since, and the unused ones it left out.
    std::shared_ptr<ReadStamps> stamps_;
    QSet<Velmora::UGUID> removed_since_;
    QVector<RefusedAsset> refused_;
    int link_count_ = 0;
    QVector<Editor::AssetManagerPrivate::RemovalFailure> round_failures_;
    QString status_text_;

    AskFunction ask_;
    TellFunction tell_;
    IgnoreListFunction run_ignore_list_;
};

} // namespace cleaner
