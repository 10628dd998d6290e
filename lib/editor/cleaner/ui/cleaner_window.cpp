#include "editor/cleaner/ui/cleaner_window.h"

#include "core/base/model_guids.h"
#include "core/base/widgets/controls_flow_layout.h"
#include "core/base/widgets/job_progress_dialog.h"
#include "editor/cleaner/collector/collector_job.h"
#include "editor/cleaner/ignore_list/ignore_key.h"
#include "editor/cleaner/ignore_list/ignore_list.h"
#include "editor/cleaner/ignore_list/ignore_list_file.h"
#include "editor/cleaner/model/lost_assets_table_model.h"
#include "editor/cleaner/model/sort_assets_by_type_and_name.h"
#include "editor/cleaner/model/unused_assets_table_model.h"
#include "editor/cleaner/ui/cleaner_ignore_list_dialog.h"

#include <editor_core/AccordionWidget.h>
#include <editor_core/AssetType.h>
#include <editor_core/UiCommon.h>
#include <editor_core/View.h>
#include <editor_core/WorldControls.h>
#include <editor_core/as/Asset.h>
#include <editor_core/base/Assert.h>
#include <editor_core/core/ProgressDialog.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/editor/Selection.h>
#include <editor_core/editor/SelectionAction.h>
#include <editor_core/fs/FileSystem.h>

#include <velmora/World.h>

#include <QBoxLayout>
#include <QCloseEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSet>
#include <QTableView>
#include <QTimer>

#include <algorithm>

namespace cleaner {

namespace {

QWidget *dialogParent(QWidget *fallback)
{
    return depr::gui.main_window ? static_cast<QWidget *>(depr::gui.main_window) : fallback;
}

QTableView *makeTable(QAbstractItemModel *model, QWidget *parent)
{
    auto *table = new QTableView(parent);
    table->setModel(model);
    table->setAlternatingRowColors(true);
    table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table->setShowGrid(false);
    table->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContentsOnFirstShow);
    table->setMinimumHeight(100);
    return table;
}

QPushButton *makeButton(const QString &text, const QString &tool_tip, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setToolTip(tool_tip);
    UiCommon::setButtonMinWidth(button, 0);
    return button;
}

} // namespace

CleanerWindow::CleanerWindow(QWidget *parent)
    : QWidget(parent)
    , as_manager_(depr::g.asset_manager)
    , materials_(depr::g.mat_manager)
    , world_controls_(depr::g.world_controls)
{
    setObjectName(QStringLiteral("CleanerWindow"));
    setWindowTitle(tr("Cleaner"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    useMessageBoxes();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    QPushButton *refresh = addRefreshRow(layout);
    addStatusLines(layout);
    QPushButton *ignore_list = addTables(layout);
    stretchOpenSections();

    connectControls(refresh, ignore_list);
    followAssetDatabase();

    resize(500, height());
    updateStatus();
    hide();
}

void CleanerWindow::useMessageBoxes()
{
    ask_ = [this](const QString &title, const QString &text, const QString &accept) {
        QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::Cancel, dialogParent(this));
        box.button(QMessageBox::Yes)->setText(accept);
        box.button(QMessageBox::Cancel)->setText(tr("Cancel"));
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel);
        return box.exec() == QMessageBox::Yes;
    };
    tell_ = [this](const QString &title, const QString &text) {
        QMessageBox::warning(dialogParent(this), title, text);
    };
}

QPushButton *CleanerWindow::addRefreshRow(QVBoxLayout *layout)
{
    auto *refresh_row = new QHBoxLayout;
    QMargins margins = refresh_row->contentsMargins();
    margins.setTop(margins.top() + 6);
    refresh_row->setContentsMargins(margins);
    auto *refresh = new QPushButton(tr("Refresh"), this);
    refresh->setObjectName(QStringLiteral("refresh"));
    refresh->setToolTip(tr("Check the project for lost and unused assets"));
    UiCommon::setButtonMinWidth(refresh, 160);
    refresh_row->addStretch(1);
    refresh_row->addWidget(refresh);
    refresh_row->addStretch(1);
    layout->addLayout(refresh_row);
    return refresh;
}

void CleanerWindow::addStatusLines(QVBoxLayout *layout)
{
    warning_ = new QLabel(this);
    warning_->setObjectName(QStringLiteral("warning"));
    warning_->setWordWrap(true);
    warning_->setStyleSheet(QStringLiteral("color: #e0a030; padding: 2px 6px;"));
    warning_->hide();
    layout->addWidget(warning_);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("status"));
    status_->setWordWrap(true);
    status_->setStyleSheet(QStringLiteral("padding: 2px 6px;"));
    layout->addWidget(status_);
}

QPushButton *CleanerWindow::addTables(QVBoxLayout *layout)
{
    accordion_ = new AccordionWidget(this);
    accordion_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    layout->addWidget(accordion_, 1);

    unused_model_ = new UnusedAssetsTableModel(as_manager_, this);
    lost_model_ = new LostAssetsTableModel(as_manager_, this);

    auto *unused_page = new QWidget;
    auto *unused_layout = new QVBoxLayout(unused_page);
    unused_layout->setContentsMargins(0, 0, 0, 0);
    QPushButton *ignore_list = addDeletionButtons(unused_page, unused_layout);
    unused_view_ = makeTable(unused_model_, unused_page);
    unused_view_->setObjectName(QStringLiteral("unusedTable"));
    unused_view_->setContextMenuPolicy(Qt::CustomContextMenu);
    unused_layout->addWidget(unused_view_, 1);

    lost_view_ = makeTable(lost_model_, this);
    lost_view_->setObjectName(QStringLiteral("lostTable"));

    accordion_->addSection(tr("Unused Assets"), unused_page);
    accordion_->addSection(tr("Lost Assets"), lost_view_);
    return ignore_list;
}

QPushButton *CleanerWindow::addDeletionButtons(QWidget *page, QVBoxLayout *page_layout)
{
    // The buttons keep their whole texts: a narrow dock puts them on more
    // lines instead of squeezing them.
    auto *buttons = new base::ControlsFlowLayout;
    buttons->setContentsMargins(0, 0, 0, 0);
    delete_selected_
            = makeButton(tr("Delete Selected"),
                         tr("Delete only those unused assets that are currently selected in the list below"), page);
    delete_selected_->setObjectName(QStringLiteral("deleteSelected"));
    delete_listed_ = makeButton(tr("Delete Listed"), tr("Delete all unused assets contained in the list below"), page);
    delete_listed_->setObjectName(QStringLiteral("deleteListed"));
    delete_all_ = makeButton(tr("Delete All"), tr("Delete all unused assets from the project"), page);
    delete_all_->setObjectName(QStringLiteral("deleteAll"));
    auto *ignore_list = makeButton(
            tr("Show Ignore List..."),
            tr("<p>List of wildcards defining assets to be ignored by Cleaner.</p><p><b>Notice:</b> <em>if names of "
               "certain assets to be used are generated in your code (e.g. string concatenation or otherwise), it "
               "is recommended to put such assets to a separate folder and add to ignore list. Otherwise they can "
               "be removed by Cleaner as unused ones since their names are not explicitly referred to.</em></p>"),
            page);
    ignore_list->setObjectName(QStringLiteral("showIgnoreList"));
    for (QPushButton *button : {delete_selected_, delete_listed_, delete_all_, ignore_list})
        buttons->addWidget(button);
    page_layout->addLayout(buttons);
    return ignore_list;
}

void CleanerWindow::stretchOpenSections()
{
    auto *accordion_layout = qobject_cast<QBoxLayout *>(accordion_->layout());
    EC_SOFT_ASSERT(accordion_layout);
    auto set_stretch = [this, accordion_layout](int section, bool open) {
        if (accordion_layout)
            accordion_layout->setStretchFactor(accordion_->sectionContent(section), open ? 1 : 0);
    };
    for (int section = 0; section < accordion_->count(); ++section)
        set_stretch(section, accordion_->isSectionOpen(section));
    connect(accordion_, &AccordionWidget::sectionToggled, this, set_stretch);
}

void CleanerWindow::connectControls(QPushButton *refresh, QPushButton *ignore_list)
{
    delete_selected_->setEnabled(false);
    delete_listed_->setEnabled(false);
    connect(refresh, &QPushButton::clicked, this, &CleanerWindow::startCollect);
    connect(delete_selected_, &QPushButton::clicked, this, &CleanerWindow::deleteSelected);
    connect(delete_listed_, &QPushButton::clicked, this, &CleanerWindow::deleteListed);
    connect(delete_all_, &QPushButton::clicked, this, &CleanerWindow::deleteAll);
    connect(ignore_list, &QPushButton::clicked, this, &CleanerWindow::showIgnoreList);
    connect(unused_view_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &position) { showContextMenu(unused_view_->viewport()->mapToGlobal(position)); });
    connect(unused_view_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        updateButtons();
        selectUnusedInEditor();
    });
    connect(lost_view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection &selected) { selectLostInEditor(selected); });
    connect(unused_model_, &QAbstractItemModel::rowsRemoved, this, &CleanerWindow::onTableRowsChanged);
    connect(unused_model_, &QAbstractItemModel::modelReset, this, &CleanerWindow::onTableRowsChanged);
    connect(lost_model_, &QAbstractItemModel::rowsRemoved, this, &CleanerWindow::onTableRowsChanged);
}

void CleanerWindow::followAssetDatabase()
{
    if (!as_manager_)
        return;
    using AM = Editor::AssetManagerPrivate;
    connect(as_manager_, &AM::changed, unused_model_, &UnusedAssetsTableModel::asset_changed);
    connect(as_manager_, &AM::changed, lost_model_, &LostAssetsTableModel::asset_changed);
    connect(as_manager_, &AM::moved, unused_model_, &UnusedAssetsTableModel::asset_changed);
    connect(as_manager_, &AM::moved, lost_model_, &LostAssetsTableModel::asset_changed);
    connect(as_manager_, &AM::removed, unused_model_, &UnusedAssetsTableModel::asset_removed);
    connect(as_manager_, &AM::removed, lost_model_, &LostAssetsTableModel::asset_removed);
    connect(as_manager_, &AM::end, unused_model_, &UnusedAssetsTableModel::flushRemovals);
    connect(as_manager_, &AM::end, lost_model_, &LostAssetsTableModel::flushRemovals);
    // Additions, changes and moves may give an unused asset a user: the
    // tables made before them may be out of date. Removals cannot.
    for (auto signal : {&AM::added, &AM::changed, &AM::moved})
        connect(as_manager_, signal, this, [this] { ++generation_; });
    connect(as_manager_, &AM::removed, this, [this](const Velmora::UGUID &guid) {
        removed_since_.insert(guid);
        if (removing_)
            ++removed_in_round_;
    });
}

CleanerWindow::~CleanerWindow()
{
    // A collection still running: it must neither reach this window nor run
    // on for nothing.
    if (std::shared_ptr<CollectorJob> job = job_.lock()) {
        QObject::disconnect(job.get(), nullptr, this, nullptr);
        job->cancel();
    }
    if (end_connection_)
        QObject::disconnect(end_connection_);
    delete progress_dialog_.data();
}

void CleanerWindow::closeEvent(QCloseEvent *event)
{
    if (std::shared_ptr<CollectorJob> job = job_.lock())
        job->cancel();
    rounds_.stop();
    QWidget::closeEvent(event);
}

void CleanerWindow::startCollect()
{
    if (progress_dialog_)
        return;
    if (!rounds_.isActive())
        rounds_ = DeleteAllRounds();
    if (!as_manager_) {
        rounds_.stop();
        return;
    }
    auto job = std::make_shared<CollectorJob>(as_manager_, materials_);
    // The dialog is gone before the end is taken in: whatever follows (a
    // removal whose signals may start the next round) finds the window idle.
    QString refused;
    progress_dialog_ = base::JobProgressDialog::start(
            job, tr("Cleaner"),
            tr("Analyzing assets in your project. Please wait.\nThis process may take some time depending on the "
               "project's size."),
            dialogParent(this), this, [this](const tbb::JobPtr &finished) { onCollectFinished(finished); }, &refused);
    // A collection that never ran leaves the tables as they were: they are
    // still what the last collection found.
    if (!progress_dialog_) {
        stopDeleteAll(QString());
        setStatus(tr("The collection could not be started: %1.").arg(refused));
        return;
    }

    unused_model_->clear();
    lost_model_->clear();
    read_failures_.clear();
    stamps_.reset();
    removed_since_.clear();
    refused_.clear();
    link_count_ = 0;
    tables_filled_ = false;
    tables_stale_ = false;
    tables_generation_ = generation_;
    job_ = job;
    setStatus(rounds_.isActive() ? tr("Delete All: collecting (round %1)...").arg(rounds_.rounds() + 1)
                                 : tr("Collecting..."));
}

void CleanerWindow::onCollectFinished(const std::shared_ptr<tbb::JobInterface> &finished)
{
    job_.reset();
    const auto *job = dynamic_cast<const CollectorJob *>(finished.get());
    if (!job)
        return;
    if (!job->isSuccess()) {
        const bool cancelled = finished->getStatus() == tbb::JobInterface::STATUS_CANCELLED;
        rounds_.stop();
        setStatus(cancelled ? tr("The collection was cancelled.")
                            : tr("The collection failed; see the console. Nothing is listed."));
        return;
    }
    read_failures_ = job->readFailures();
    tables_stale_ = job->isStale();
    stamps_ = job->readStamps();
    refused_ = job->refusedAssets();
    link_count_ = job->linkNotes().size();
    setUnusedAssets(job->unusedAssets());
    setLostAssets(job->lostAssets());
    tables_filled_ = true;
    if (rounds_.isActive())
        continueDeleteAll(*job);
    else
        updateStatus();
}

void CleanerWindow::setUnusedAssets(Velmora::Vector<Velmora::UGUID> guids)
{
    if (!guids.isEmpty())
        SortAssetsByTypeAndName(as_manager_).sort(guids);
    unused_model_->setAssets(guids);
}

void CleanerWindow::setLostAssets(const LostMap &lost)
{
    lost_model_->setAssets(LostAssetsTableModel::rowsOf(lost));
}

void CleanerWindow::continueDeleteAll(const CollectorJob &job)
{
    const Velmora::Vector<Velmora::UGUID> unused = job.unusedAssets();
    // Nothing is deleted on a collection that is out of date already.
    const bool changed = job.isStale() || generation_ != tables_generation_
            || (!unused.isEmpty() && !changedSinceCollection().isEmpty());
    switch (rounds_.judge(unused, job.readFailures().size(), changed)) {
    case DeleteAllRounds::Step::Remove:
        removing_ = true;
        removed_in_round_ = 0;
        round_failures_.clear();
        // Queued: the next round starts once the removal has fully ended,
        // never inside the asset manager's own signal.
        end_connection_ = connect(as_manager_, &Editor::AssetManagerPrivate::end, this, &CleanerWindow::onRemovalEnded,
                                  Qt::QueuedConnection);
        setStatus(
                tr("Delete All: removing %n asset(s) (round %1)...", nullptr, unused.size()).arg(rounds_.rounds() + 1));
        Editor::Selection::clear();
        if (!as_manager_->remove(unused, &round_failures_)) {
            QObject::disconnect(end_connection_);
            removing_ = false;
            stopDeleteAll(tr("Delete All stopped: the asset manager refused to remove the assets of round %1 and "
                             "nothing was removed in it. See the console for the reason.")
                                  .arg(rounds_.rounds() + 1));
        }
        return;
    case DeleteAllRounds::Step::Finished:
        stopDeleteAll(QString());
        return;
    case DeleteAllRounds::Step::Recollect:
        QTimer::singleShot(0, this, &CleanerWindow::startCollect);
        return;
    case DeleteAllRounds::Step::Repeated:
        stopDeleteAll(tr("Delete All stopped: \"%1\" was removed in an earlier round but is still in the project. "
                         "See the console for the reason.")
                              .arg(as_manager_->fileName(rounds_.repeatedGuid())));
        return;
    case DeleteAllRounds::Step::Incomplete:
        stopDeleteAll(tr("Delete All stopped: %n file(s) could not be read, so assets they use may be listed as "
                         "unused. Nothing was removed in this round.",
                         nullptr, rounds_.readFailures()));
        return;
    case DeleteAllRounds::Step::KeptChanging:
        stopDeleteAll(tr("Delete All stopped: the project kept changing during the collection. Nothing was removed "
                         "in this round."));
        return;
    }
}

void CleanerWindow::onRemovalEnded()
{
    // Ends already queued when the first one disconnected find nothing to do.
    if (!removing_)
        return;
    QObject::disconnect(end_connection_);
    removing_ = false;
    if (!round_failures_.isEmpty()) {
        rounds_.roundRemoved(removed_in_round_);
        const int count = round_failures_.size();
        const QString names = markNotDeleted(round_failures_);
        round_failures_.clear();
        stopDeleteAll(tr("Delete All stopped: %n asset(s) could not be deleted in round %1 and stay in the list, "
                         "marked:",
                         nullptr, count)
                              .arg(rounds_.rounds())
                      + QLatin1Char('\n') + names);
        return;
    }
    if (!rounds_.roundRemoved(removed_in_round_)) {
        stopDeleteAll(tr("Delete All stopped: round %1 removed nothing. See the console for the reason.")
                              .arg(rounds_.rounds()));
        return;
    }
    if (rounds_.isActive())
        QTimer::singleShot(0, this, &CleanerWindow::startCollect);
    else
        updateStatus();
}

void CleanerWindow::stopDeleteAll(const QString &message)
{
    rounds_.stop();
    updateStatus();
    if (!message.isEmpty() && tell_)
        tell_(tr("Delete All Unused Assets"), message);
}

QStringList CleanerWindow::doubts() const
{
    QStringList reasons;
    if (!read_failures_.isEmpty()) {
        const ReadFailure &first = read_failures_.first();
        const QString relative = fs::relDataPath(first.path);
        reasons << tr("%n file(s) could not be read during the collection; assets they use may be listed as "
                      "unused.",
                      nullptr, read_failures_.size())
                        + QLatin1Char(' ')
                        + tr("The first: \"%1\" %2.")
                                  .arg(relative.isEmpty() || relative.startsWith(QLatin1Char('/')) ? first.path
                                                                                                   : relative,
                                       first.reason);
    }
    if (tables_filled_) {
        const QString changed = changedSinceCollection();
        if (tables_stale_ || generation_ != tables_generation_ || !changed.isEmpty()) {
            QString reason = tr("The project changed after the list was made; press Refresh to bring it up to date.");
            if (!changed.isEmpty())
                reason += QLatin1Char(' ') + tr("Changed: \"%1\".").arg(changed);
            reasons << reason;
        }
    }
    if (world_controls_ && world_controls_->isDirty())
        reasons << tr("The loaded world has unsaved changes, which the cleaner cannot see.");
    return reasons;
}

QString CleanerWindow::changedSinceCollection() const
{
    if (!stamps_)
        return QString();
    const QString changed = stamps_->firstChange(removed_since_);
    if (changed.isEmpty())
        return QString();
    const QString relative = fs::relDataPath(changed);
    return relative.isEmpty() || relative.startsWith(QLatin1Char('/')) ? changed : relative;
}

QString CleanerWindow::deletionQuestion(const QStringList &reasons) const
{
    QString text = tr("Are you sure you want to delete selected asset(s) permanently?\nYou cannot undo this action.");
    if (!reasons.isEmpty())
        text = tr("Warning:") + QLatin1Char('\n') + reasons.join(QLatin1Char('\n')) + QStringLiteral("\n\n") + text;
    return text;
}

void CleanerWindow::confirmAndRemove(const Velmora::Vector<Velmora::UGUID> &guids)
{
    if (guids.isEmpty() || !ask_)
        return;
    const QStringList reasons = doubts();
    if (!ask_(tr("Delete Assets"), deletionQuestion(reasons), tr("Delete")))
        return;
    // The question may have been open for a while: what changed meanwhile
    // is asked about once more.
    if (reasons.isEmpty()) {
        const QStringList late = doubts();
        if (!late.isEmpty() && !ask_(tr("Delete Assets"), deletionQuestion(late), tr("Delete")))
            return;
    }
    removeConfirmed(guids);
}

void CleanerWindow::removeConfirmed(const Velmora::Vector<Velmora::UGUID> &guids)
{
    // What the asset manager would refuse is left out, so that the others
    // still go.
    QVector<Editor::AssetManagerPrivate::RemovalFailure> failures;
    const QHash<Velmora::UGUID, QString> refused = as_manager_->removalRefusals(guids);
    Velmora::Vector<Velmora::UGUID> removable;
    for (const Velmora::UGUID &guid : guids) {
        const auto why = refused.constFind(guid);
        if (why == refused.constEnd())
            removable.append(guid);
        else
            failures.append(Editor::AssetManagerPrivate::RemovalFailure{guid, why.value()});
    }
    Editor::Selection::clear();
    const bool done = removable.isEmpty() || as_manager_->remove(removable, &failures);
    unused_view_->clearSelection();
    QStringList messages;
    if (!done) {
        messages << tr("Nothing was deleted: the asset manager refused to remove the assets. See the console for the "
                       "reason.");
    }
    if (!failures.isEmpty()) {
        const QString names = markNotDeleted(failures);
        messages << tr("%n asset(s) could not be deleted and stay in the list, marked:", nullptr, failures.size())
                        + QLatin1Char('\n') + names;
    }
    updateStatus();
    if (!messages.isEmpty() && tell_)
        tell_(tr("Delete Assets"), messages.join(QStringLiteral("\n\n")));
}

QString CleanerWindow::markNotDeleted(const QVector<Editor::AssetManagerPrivate::RemovalFailure> &failures)
{
    const int MAX_NAMED = 10;
    QStringList lines;
    for (const Editor::AssetManagerPrivate::RemovalFailure &failure : failures) {
        unused_model_->setNote(failure.guid, tr("Not deleted: %1").arg(failure.reason));
        if (lines.size() < MAX_NAMED)
            lines << as_manager_->fileName(failure.guid) + QStringLiteral(": ") + failure.reason;
    }
    if (failures.size() > MAX_NAMED)
        lines << tr("...and %n more.", nullptr, failures.size() - MAX_NAMED);
    return lines.join(QLatin1Char('\n'));
}

Velmora::Vector<Velmora::UGUID> CleanerWindow::guidsOfIndexes(const QModelIndexList &indexes, int role) const
{
    return ModelGuids::distinct(indexes, role);
}

void CleanerWindow::deleteSelected()
{
    const Velmora::Vector<Velmora::UGUID> selected
            = guidsOfIndexes(unused_view_->selectionModel()->selectedIndexes(), UnusedAssetsTableModel::GUID_ROLE);
    Velmora::Vector<Velmora::UGUID> guids;
    for (const Velmora::UGUID &guid : selected) {
        if (!unused_model_->isPendingRemoval(guid) && as_manager_->hasAsset(guid))
            guids.append(guid);
    }
    confirmAndRemove(guids);
}

void CleanerWindow::deleteListed()
{
    Velmora::Vector<Velmora::UGUID> guids;
    QSet<Velmora::UGUID> taken;
    const int rows = unused_model_->rowCount();
    for (int row = 0; row < rows; ++row) {
        const QModelIndex index = unused_model_->index(row, 0);
        EC_SOFT_ASSERT(index.isValid());
        const Velmora::UGUID guid = index.data(UnusedAssetsTableModel::GUID_ROLE).value<Velmora::UGUID>();
        if (guid.isEmpty() || unused_model_->isPendingRemoval(guid) || !as_manager_->hasAsset(guid))
            continue;
        EC_SOFT_ASSERT(!taken.contains(guid));
        if (taken.contains(guid))
            continue;
        taken.insert(guid);
        guids.append(guid);
    }
    confirmAndRemove(guids);
}

void CleanerWindow::deleteAll()
{
    if (progress_dialog_ || removing_ || !as_manager_)
        return;
    if (!read_failures_.isEmpty()) {
        if (tell_) {
            tell_(tr("Delete All Unused Assets"),
                  tr("Delete All is not available: %n file(s) could not be read during the last collection, so "
                     "assets they use may be listed as unused. Make them readable (or remove them), then press "
                     "Refresh.",
                     nullptr, read_failures_.size()));
        }
        return;
    }
    QString text = tr("This operation shall search for all unused assets and\nremove them until there are no more "
                      "left.\nAre you sure?");
    if (world_controls_ && world_controls_->isDirty())
        text = tr("Warning: the loaded world has unsaved changes, which the cleaner cannot see.")
                + QStringLiteral("\n\n") + text;
    if (!ask_ || !ask_(tr("Delete All Unused Assets"), text, tr("Start")))
        return;
    rounds_.start();
    startCollect();
}

void CleanerWindow::showIgnoreList()
{
    bool saved = false;
    if (run_ignore_list_) {
        saved = run_ignore_list_();
    } else {
        CleanerIgnoreListDialog dialog(as_manager_, dialogParent(this));
        dialog.setModal(true);
        dialog.show();
        dialog.exec();
        saved = dialog.savedChanges();
    }
    if (saved)
        refilterIgnored();
}

void CleanerWindow::refilterIgnored()
{
    if (!as_manager_)
        return;
    IgnoreList list;
    list.setPatterns(IgnoreList::load());
    const int taken = unused_model_->removeIf([this, &list](const Velmora::UGUID &guid) {
        const as::FileInfo info = as_manager_->fileInfo(guid);
        return !info.isNull() && list.matches(ignoreKey(as_manager_, info));
    });
    // The table now follows the saved list: its change is taken in.
    if (stamps_)
        stamps_->restamp(IgnoreListFile::filePath());
    updateStatus();
    if (taken > 0) {
        setStatus(status_text_ + QLatin1Char('\n')
                  + tr("%n asset(s) are now ignored and left the list.", nullptr, taken));
    }
}

void CleanerWindow::showContextMenu(const QPoint &global_position)
{
    QMenu menu;
    QAction *action = menu.addAction(tr("Delete"));
    connect(action, &QAction::triggered, this, &CleanerWindow::deleteSelected);
    menu.exec(global_position);
}

void CleanerWindow::selectUnusedInEditor()
{
    if (unused_selecting_)
        return;
    QScopedValueRollback<bool> guard(unused_selecting_, true);
    const Velmora::Vector<Velmora::UGUID> guids
            = guidsOfIndexes(unused_view_->selectionModel()->selectedIndexes(), UnusedAssetsTableModel::GUID_ROLE);
    if (guids.isEmpty())
        Editor::Selection::clear();
    Editor::SelectionAction::applySelection(Editor::SelectorGUIDs::createRuntimesSelector(guids));
}

void CleanerWindow::selectLostInEditor(const QItemSelection &selected)
{
    if (lost_selecting_)
        return;
    QScopedValueRollback<bool> guard(lost_selecting_, true);
    const QModelIndexList indexes = selected.indexes();
    if (!indexes.isEmpty()) {
        const int row = indexes.first().row();
        const bool one_row
                = std::all_of(indexes.begin(), indexes.end(), [row](const QModelIndex &i) { return i.row() == row; });
        if (one_row && selectLostNode(indexes.first()))
            return;
    }
    const Velmora::Vector<Velmora::UGUID> guids = guidsOfIndexes(indexes, LostAssetsTableModel::ASSET_GUID_ROLE);
    if (guids.isEmpty())
        Editor::Selection::clear();
    Editor::SelectionAction::applySelection(Editor::SelectorGUIDs::createRuntimesSelector(guids));
}

bool CleanerWindow::selectLostNode(const QModelIndex &index)
{
    const QString node_name = index.data(LostAssetsTableModel::NODE_NAME_ROLE).toString();
    bool id_ok = false;
    int node_id = index.data(LostAssetsTableModel::NODE_ID_ROLE).toInt(&id_ok);
    if (!id_ok)
        node_id = 0;
    if (node_name.isEmpty() && node_id == -1)
        return false;
    const Velmora::UGUID asset_guid = index.data(LostAssetsTableModel::ASSET_GUID_ROLE).value<Velmora::UGUID>();
    if (!as_manager_ || as_manager_->asset(asset_guid).isNull()
        || as_manager_->assetType(asset_guid) != AssetType::WORLD)
        return false;
    if (!world_controls_ || asset_guid.isEmpty() || !(asset_guid == world_controls_->worldAssetGUID()))
        return false;
    Velmora::Ptr<Velmora::Node> node;
    if (node_id != -1)
        node = Velmora::World::getNodeById(node_id);
    if (!node && !node_name.isEmpty())
        node = Velmora::World::getNodeByName(node_name.toUtf8().constData());
    if (!node)
        return false;
    Velmora::Vector<Velmora::Ptr<Velmora::Node>> nodes;
    nodes.append(node);
    Editor::SelectionAction::applySelection(Editor::SelectorNodes::createObjectsSelector(nodes));
    return true;
}

void CleanerWindow::onTableRowsChanged()
{
    updateButtons();
    // The counts follow the tables; a collection or a Delete All round
    // shows its own progress instead.
    if (tables_filled_ && !progress_dialog_ && !rounds_.isActive())
        updateStatus();
}

void CleanerWindow::updateButtons()
{
    delete_selected_->setEnabled(unused_view_->selectionModel()->hasSelection());
    delete_listed_->setEnabled(unused_model_->rowCount() > 0);
}

void CleanerWindow::setStatus(const QString &text)
{
    status_text_ = text;
    status_->setText(text);
    status_->setVisible(!text.isEmpty());
}

QString CleanerWindow::statusText() const
{
    return status_text_;
}

void CleanerWindow::updateStatus()
{
    QStringList lines;
    if (tables_filled_) {
        lines << tr("%n unused asset(s), %1 lost reference(s).", nullptr, unused_model_->rowCount())
                         .arg(lost_model_->rowCount());
    }
    if (rounds_.rounds() > 0) {
        QStringList counts;
        for (int count : rounds_.roundCounts())
            counts << QString::number(count);
        lines << tr("Delete All: %n asset(s) removed in %1 round(s) (%2).", nullptr, rounds_.removedTotal())
                         .arg(rounds_.rounds())
                         .arg(counts.join(QStringLiteral(", ")));
    }
    if (tables_filled_ && unused_model_->noteCount() > 0) {
        lines << tr("%n asset(s) could not be deleted; they are marked in the list (see their tool tips).", nullptr,
                    unused_model_->noteCount());
    }
    if (tables_filled_ && !refused_.isEmpty()) {
        lines << tr("%n unused asset(s) are not listed, since they cannot be deleted safely (a file leads out of "
                    "the data folder); see the console.",
                    nullptr, refused_.size());
    }
    if (tables_filled_ && link_count_ > 0) {
        lines << tr("%n symbolic link(s) in the data folder: links are no assets and are never listed; what they "
                    "lead to inside the data folder counts as used (see the console).",
                    nullptr, link_count_);
    }
    setStatus(lines.join(QLatin1Char('\n')));
    if (read_failures_.isEmpty()) {
        warning_->hide();
        return;
    }
    QStringList paths;
    for (int i = 0; i < read_failures_.size() && i < 20; ++i)
        paths << read_failures_[i].path + QStringLiteral(": ") + read_failures_[i].reason;
    warning_->setText(tr("%n file(s) could not be read: the unused list may be incomplete, and Delete All is not "
                         "available until they are fixed.",
                         nullptr, read_failures_.size()));
    warning_->setToolTip(paths.join(QLatin1Char('\n')));
    warning_->show();
}

} // namespace cleaner
