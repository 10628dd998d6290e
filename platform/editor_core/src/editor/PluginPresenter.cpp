#include "editor_core/editor/PluginPresenter.h"

#include "editor_core/WidgetUtils.h"
#include "editor_core/editor/PluginManager.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace Editor {

namespace {

void fill(QTreeWidget *tree, QLabel *empty_note)
{
    tree->clear();
    const QVector<PluginSpec> specs = PluginManager::plugins();
    for (const PluginSpec &spec : specs) {
        auto *item = new QTreeWidgetItem(tree);
        item->setText(0, spec.name);
        item->setText(1, spec.version);
        item->setText(2, spec.library);
        item->setToolTip(2, spec.library_path);
        item->setText(3,
                      spec.loaded ? PluginPresenter::tr("Loaded")
                                  : (spec.error.isEmpty() ? PluginPresenter::tr("Not loaded") : spec.error));
    }
    empty_note->setVisible(specs.isEmpty());
}

} // namespace

PluginPresenter::PluginPresenter(QWidget *parent_window)
    : QObject(parent_window)
    , parent_window_(parent_window)
{}

PluginPresenter::~PluginPresenter()
{
    delete dialog_;
}

void PluginPresenter::showPluginsDialog()
{
    if (!dialog_) {
        auto *dialog = new QDialog(parent_window_);
        dialog->setObjectName(QStringLiteral("PluginsDialog"));
        dialog->setWindowTitle(tr("Plugins"));
        dialog->setWindowFlags(dialog->windowFlags() & ~Qt::WindowContextHelpButtonHint);
        auto *tree = new QTreeWidget(dialog);
        tree->setObjectName(QStringLiteral("plugins"));
        tree->setRootIsDecorated(false);
        tree->setHeaderLabels({tr("Name"), tr("Version"), tr("Library"), tr("State")});
        tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
        auto *empty_note = new QLabel(tr("No editor plug-ins are installed."), dialog);
        empty_note->setObjectName(QStringLiteral("empty"));
        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
        connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::hide);
        auto *layout = new QVBoxLayout(dialog);
        layout->addWidget(tree);
        layout->addWidget(empty_note);
        layout->addWidget(buttons);
        dialog->resize(560, 300);
        dialog_ = dialog;
        moveToScreenCenter(parent_window_, dialog);
    }
    fill(dialog_->findChild<QTreeWidget *>(QStringLiteral("plugins")),
         dialog_->findChild<QLabel *>(QStringLiteral("empty")));
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
}

QDialog *PluginPresenter::dialog() const
{
    return dialog_;
}

} // namespace Editor
