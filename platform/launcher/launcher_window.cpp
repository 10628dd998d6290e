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
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(12);
    if (!config.banner().isEmpty()) {
        banner_image_ = QPixmap(folder + config.banner());
        banner_ = new QLabel(this);
        banner_->setObjectName(QStringLiteral("banner"));
        banner_->setAlignment(Qt::AlignCenter);
        banner_->setPixmap(banner_image_);
        layout->addWidget(banner_);
    }
    auto form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->setHorizontalSpacing(12);
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
    run->setDefault(true);
    layout->addWidget(run);
    connect(run, &QPushButton::clicked, this, &LauncherWindow::runRequested);
}

void LauncherWindow::fitToScreen(const QRect &available)
{
    // Room enough for the labels and choices without a banner; a banner
    // keeps to a good part of the screen, so that the window stays on it.
    constexpr int MIN_WIDTH = 420;
    if (banner_ && !banner_image_.isNull()) {
        const QSize room(available.width() * 2 / 3, available.height() / 2);
        if (banner_image_.width() > room.width() || banner_image_.height() > room.height())
            banner_->setPixmap(banner_image_.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        else
            banner_->setPixmap(banner_image_);
    }
    setMinimumWidth(qMin(MIN_WIDTH, available.width()));
    adjustSize();
    QRect placed(QPoint(), size().boundedTo(available.size()));
    resize(placed.size());
    placed.moveCenter(available.center());
    move(placed.topLeft());
}
