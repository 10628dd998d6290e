#include "launcher_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

LauncherWindow::LauncherWindow(LauncherConfig &config, const QString &folder, QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("LauncherWindow"));
    setWindowTitle(config.name());
    auto layout = new QVBoxLayout(this);
    if (!config.banner().isEmpty()) {
        auto banner = new QLabel(this);
        banner->setObjectName(QStringLiteral("banner"));
        banner->setPixmap(QPixmap(folder + config.banner()));
        layout->addWidget(banner);
    }
    auto form = new QFormLayout;
    layout->addLayout(form);
    for (LauncherConfig::Parameter &parameter : config.parameters()) {
        if (parameter.type == LauncherConfig::Parameter::Choice) {
            auto combo = new QComboBox(this);
            for (const LauncherConfig::Item &item : parameter.items)
                combo->addItem(item.text);
            combo->setCurrentIndex(parameter.value);
            connect(combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                    [&parameter](int index) { parameter.value = index; });
            form->addRow(parameter.label, combo);
        } else if (parameter.type == LauncherConfig::Parameter::Check) {
            auto check = new QCheckBox(this);
            check->setChecked(parameter.value == 1);
            connect(check, &QCheckBox::toggled, this, [&parameter](bool on) { parameter.value = on ? 1 : 0; });
            form->addRow(parameter.label, check);
        }
    }
    auto run = new QPushButton(tr("Run"), this);
    run->setObjectName(QStringLiteral("run"));
    layout->addWidget(run);
    connect(run, &QPushButton::clicked, this, &LauncherWindow::runRequested);
}
