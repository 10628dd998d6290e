#include "editor/video_grabber/video_grabber_form.h"

#include "editor/video_grabber/video_grabber_progress.h"
#include "ui_video_grabber_form.h"

#include <editor_core/Dialogs.h>
#include <editor_core/DoubleValidator.h>
#include <editor_core/base/Assert.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>

#include <velmora/Engine.h>
#include <velmora/Log.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QIntValidator>
#include <QMessageBox>
#include <QScrollBar>
#include <QTimerEvent>

#include <algorithm>

namespace {

constexpr int STATUS_MS = 2000;

std::function<bool(QWidget *)> &resolutionQuestion()
{
    static std::function<bool(QWidget *)> question;
    return question;
}

std::function<QString(QWidget *, const QString &)> &directoryChooser()
{
    static std::function<QString(QWidget *, const QString &)> chooser;
    return chooser;
}

QString dataPath()
{
    Velmora::Engine *engine = Velmora::Engine::get();
    return engine ? QString::fromUtf8(engine->getDataPath().get()) : QString();
}

void setTextIfDifferent(QLineEdit *edit, const QString &text)
{
    if (edit->text() != text)
        edit->setText(text);
}

} // namespace

VideoGrabberForm::VideoGrabberForm(VideoGrabberState *state, QWidget *parent)
    : QWidget(parent)
    , ui_(new Ui_VideoGrabberForm)
    , state_(state)
{
    // A tool window before its contents are made: turning a built window into
    // one restyles all of its widgets again under the style sheet.
    setWindowFlags(Qt::Tool);
    ui_->setupUi(this);
    setObjectName(QStringLiteral("VideoGrabberForm"));
    setFocusPolicy(Qt::ClickFocus);
    // The wheel scrolls the form unless a combo box was clicked or tabbed
    // into; each combo box is as wide as its longest entry.
    for (QComboBox *combo : {ui_->camera_cb, ui_->aa_cb, ui_->format_cb}) {
        combo->setFocusPolicy(Qt::StrongFocus);
        combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        combo->installEventFilter(this);
    }
    hide();
}

VideoGrabberForm::~VideoGrabberForm()
{
    delete progress_.data();
}

QSize VideoGrabberForm::sizeHint() const
{
    // A scroll area asks for little width of its own: the fields' width,
    // with room for the scroll area's vertical bar, stands in for it.
    const int scroll_bar = ui_->scrollArea->verticalScrollBar()->sizeHint().width();
    const int fields
            = ui_->scrollAreaWidgetContents->sizeHint().width() + scroll_bar + 2 * ui_->scrollArea->frameWidth();
    QSize hint = QWidget::sizeHint();
    hint.rwidth() += std::max(0, fields - ui_->scrollArea->sizeHint().width());
    return hint;
}

void VideoGrabberForm::setResolutionQuestion(std::function<bool(QWidget *)> question)
{
    resolutionQuestion() = std::move(question);
}

void VideoGrabberForm::setDirectoryChooser(std::function<QString(QWidget *, const QString &)> chooser)
{
    directoryChooser() = std::move(chooser);
}

void VideoGrabberForm::setState()
{
    EC_SOFT_ASSERT(state_);
    if (!state_)
        return;
    VideoGrabberState *state = state_;
    progress_ = nullptr;

    ui_->fps_le->setValidator(new DoubleValidator(0.1, 1000.0, 2, this));
    ui_->fps_le->installEventFilter(this);
    ui_->warmup_le->setValidator(new QIntValidator(0, 10000, this));
    ui_->height_le->setValidator(new QIntValidator(0, 100000, this));
    ui_->width_le->setValidator(new QIntValidator(0, 100000, this));

    connect(state, &VideoGrabberState::enabledChanged, ui_->grab_b, &QPushButton::setEnabled);
    connect(state, &VideoGrabberState::modeChanged, this, &VideoGrabberForm::onChangeMode);
    connect(state, &VideoGrabberState::fpsChanged, this, &VideoGrabberForm::onChangeFps);
    connect(state, &VideoGrabberState::trackGUIDChanged, this, &VideoGrabberForm::onChangeTrack);
    connect(state, &VideoGrabberState::warmupFramesChanged, this, &VideoGrabberForm::onChangeWarmup);
    connect(state, &VideoGrabberState::widthChanged, this, &VideoGrabberForm::onChangeWidth);
    connect(state, &VideoGrabberState::heightChanged, this, &VideoGrabberForm::onChangeHeight);
    connect(state, &VideoGrabberState::antialiasingChanged, this, &VideoGrabberForm::onChangeAntialiasing);
    connect(state, &VideoGrabberState::savePathChanged, this, &VideoGrabberForm::onChangeSavePath);
    connect(state, &VideoGrabberState::formatChanged, this, &VideoGrabberForm::onChangeFormat);
    connect(state, &VideoGrabberState::hdrColorChanged, this, &VideoGrabberForm::onChangeHdrColor);
    connect(state, &VideoGrabberState::alphaMaskChanged, this, &VideoGrabberForm::onChangeAlphaMask);
    connect(state, &VideoGrabberState::stateChanged, this, &VideoGrabberForm::onChangeState);

    connect(ui_->single_shot_rb, &QRadioButton::toggled, this, &VideoGrabberForm::onModeChanged);
    connect(ui_->sequence_rb, &QRadioButton::toggled, this, &VideoGrabberForm::onModeChanged);
    connect(ui_->fps_le, &QLineEdit::editingFinished, this, [this, state] {
        state->setFps(ui_->fps_le->text().toFloat());
        onChangeFps(state->getFps());
    });
    connect(ui_->warmup_le, &QLineEdit::textChanged, state,
            [state](const QString &text) { state->setWarmupFrames(text.toInt()); });
    connect(ui_->height_le, &QLineEdit::textChanged, state,
            [state](const QString &text) { state->setHeight(text.toInt()); });
    connect(ui_->width_le, &QLineEdit::textChanged, state,
            [state](const QString &text) { state->setWidth(text.toInt()); });
    connect(ui_->aa_cb, SIGNAL(currentIndexChanged(int)), this, SLOT(onAntialiasingChanged(int)));
    connect(ui_->save_path_le, &QLineEdit::textChanged, state, &VideoGrabberState::setSavePath);
    connect(ui_->format_cb, SIGNAL(currentIndexChanged(int)), this, SLOT(onFormatChanged(int)));
    connect(ui_->alpha_mask_chb, SIGNAL(stateChanged(int)), this, SLOT(onAlphaMaskChanged(int)));
    connect(ui_->grab_b, &QPushButton::clicked, this, &VideoGrabberForm::onGrabPressed);

    if (state->getMode() == VideoGrabberState::SEQUENCE)
        ui_->sequence_rb->setChecked(true);
    else
        ui_->single_shot_rb->setChecked(true);
    onModeChanged();
    onChangeFps(state->getFps());
    onChangeTrack(state->getTrackGUID());
    onChangeWarmup(state->getWarmupFrames());
    onChangeWidth(state->getWidth());
    onChangeHeight(state->getHeight());
    ui_->aa_cb->setCurrentIndex(int(state->getAntialiasing()));
    onChangeSavePath(state->getSavePath());
    ui_->format_cb->setCurrentIndex(int(state->getFormat()));
    onFormatChanged(int(state->getFormat()));
    onChangeHdrColor(state->isHdrColor());
    ui_->alpha_mask_chb->setChecked(state->isAlphaMask());
    ui_->grab_b->setEnabled(state->isEnabled());

    connect(ui_->update_cameras_tb, &QToolButton::clicked, this, &VideoGrabberForm::updateAvailableCameras);
    connect(ui_->camera_cb, &QComboBox::currentTextChanged, state, &VideoGrabberState::setCameraName);
    updateAvailableCameras();
}

void VideoGrabberForm::onChangeMode(VideoGrabberState::Mode mode)
{
    if (mode == VideoGrabberState::SINGLE_SHOT)
        ui_->single_shot_rb->setChecked(true);
    else
        ui_->sequence_rb->setChecked(true);
}

void VideoGrabberForm::onChangeFps(float fps)
{
    setTextIfDifferent(ui_->fps_le, QString::number(double(fps), 'f', 2));
}

void VideoGrabberForm::onChangeTrack(const Velmora::UGUID &guid)
{
    // A track whose runtime is gone shows no name.
    Editor::AssetManagerPrivate *assets = depr::g.asset_manager;
    const QString name
            = assets && !guid.isEmpty() && assets->hasRuntime(guid) ? assets->runtime(guid).getName() : QString();
    setTextIfDifferent(ui_->track_le, name);
}

void VideoGrabberForm::onChangeWarmup(int frames)
{
    setTextIfDifferent(ui_->warmup_le, QString::number(frames));
}

void VideoGrabberForm::onChangeWidth(int width)
{
    setTextIfDifferent(ui_->width_le, QString::number(width));
}

void VideoGrabberForm::onChangeHeight(int height)
{
    setTextIfDifferent(ui_->height_le, QString::number(height));
}

void VideoGrabberForm::onChangeAntialiasing(VideoGrabberState::AA antialiasing)
{
    ui_->aa_cb->setCurrentIndex(int(antialiasing));
}

void VideoGrabberForm::onChangeSavePath(const QString &path)
{
    setTextIfDifferent(ui_->save_path_le, path.isEmpty() ? dataPath() : path);
}

void VideoGrabberForm::onChangeFormat(VideoGrabberState::Format format)
{
    ui_->format_cb->setCurrentIndex(int(format));
}

void VideoGrabberForm::onChangeHdrColor(bool hdr_color)
{
    ui_->bit_per_channel_l->setText(hdr_color ? tr("16 bit per channel") : tr("8 bit per channel"));
}

void VideoGrabberForm::onChangeAlphaMask(bool alpha_mask)
{
    ui_->alpha_mask_chb->setChecked(alpha_mask);
}

void VideoGrabberForm::onChangeState(VideoGrabberState::State state)
{
    if (!state_)
        return;
    switch (state) {
    case VideoGrabberState::GRABBING:
        if (!progress_ && state_->getMode() == VideoGrabberState::SEQUENCE)
            progress_ = new VideoGrabberProgress(state_, this);
        break;
    case VideoGrabberState::IDLE:
        if (progress_) {
            progress_->hide();
            progress_->deleteLater();
            progress_ = nullptr;
        }
        break;
    case VideoGrabberState::FAILED: {
        auto box = new QMessageBox(QMessageBox::Critical, tr("Error"),
                                   tr("Cannot save file: %1").arg(state_->getImagePath()));
        box->setObjectName(QStringLiteral("VideoGrabberError"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setModal(false);
        box->show();
        break;
    }
    case VideoGrabberState::SAVED: {
        const QString text = state_->getMode() == VideoGrabberState::SINGLE_SHOT
                ? tr("File saved: %1\n").arg(state_->getImagePath())
                : tr("Sequence saved\n");
        if (text.isEmpty())
            break;
        ui_->status_label->setText(text);
        status_timer_.start(STATUS_MS, this);
        Velmora::Log::message("%s\n", text.toUtf8().constData());
        break;
    }
    case VideoGrabberState::START_REQUESTED:
        break;
    }
}

void VideoGrabberForm::onGrabPressed()
{
    if (!state_)
        return;
    // Asked before anything is captured; No requests nothing.
    if (state_->isResolutionTooHigh()) {
        bool proceed = false;
        if (resolutionQuestion()) {
            proceed = resolutionQuestion()(this);
        } else {
            QMessageBox box(QMessageBox::Warning, tr("Warning"),
                            tr("Resolution settings are very high and driver can crash during capturing."),
                            QMessageBox::Yes | QMessageBox::No, this);
            box.setInformativeText(tr("Proceed anyway?"));
            box.setDefaultButton(QMessageBox::Yes);
            proceed = box.exec() == QMessageBox::Yes;
        }
        if (!proceed || !state_)
            return;
    }
    state_->setState(VideoGrabberState::START_REQUESTED);
}

void VideoGrabberForm::onAntialiasingChanged(int index)
{
    if (state_)
        state_->setAntialiasing(VideoGrabberState::AA(index));
}

void VideoGrabberForm::onFormatChanged(int index)
{
    ui_->alpha_mask_chb->setEnabled(index != int(VideoGrabberState::JPG));
    if (state_)
        state_->setFormat(VideoGrabberState::Format(index));
}

void VideoGrabberForm::onAlphaMaskChanged(int check_state)
{
    if (state_)
        state_->setAlphaMask(check_state != 0);
}

void VideoGrabberForm::onModeChanged()
{
    const bool sequence = ui_->sequence_rb->isChecked();
    ui_->fps_le->setEnabled(sequence);
    ui_->track_b->setEnabled(sequence);
    ui_->track_le->setEnabled(sequence);
    ui_->warmup_le->setEnabled(sequence);
    if (state_)
        state_->setMode(sequence ? VideoGrabberState::SEQUENCE : VideoGrabberState::SINGLE_SHOT);
}

void VideoGrabberForm::on_track_b_clicked()
{
    QPointer<VideoGrabberState> state = state_;
    Dialogs::browseAssetTrack(
            [state](const Velmora::UGUID &guid) {
                if (state && !guid.isEmpty())
                    state->setTrackGUID(guid);
            },
            Velmora::UGUID());
}

void VideoGrabberForm::on_save_path_b_clicked()
{
    const QString start = ui_->save_path_le->text().isEmpty() ? dataPath() : ui_->save_path_le->text();
    const QString chosen = directoryChooser()
            ? directoryChooser()(this, start)
            : QFileDialog::getExistingDirectory(this, tr("Save path"), start, QFileDialog::ShowDirsOnly);
    if (!chosen.isEmpty() && chosen != ui_->save_path_le->text())
        onChangeSavePath(chosen);
}

void VideoGrabberForm::on_resolution_reset_b_clicked()
{
    ui_->width_le->setText(QString::number(Velmora::App::getWidth()));
    ui_->height_le->setText(QString::number(Velmora::App::getHeight()));
}

void VideoGrabberForm::updateAvailableCameras()
{
    if (!state_)
        return;
    const bool blocked = ui_->camera_cb->blockSignals(true);
    const QStringList cameras = state_->availableCameras();
    const QString current = ui_->camera_cb->currentText();
    ui_->camera_cb->clear();
    bool kept = false;
    for (const QString &camera : cameras) {
        if (camera == current)
            kept = true;
        else
            ui_->camera_cb->addItem(camera);
    }
    if (kept)
        ui_->camera_cb->insertItem(0, current);
    ui_->camera_cb->setCurrentIndex(0);
    state_->setCameraName(ui_->camera_cb->currentText());
    ui_->camera_cb->blockSignals(blocked);
}

bool VideoGrabberForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Wheel) {
        auto *combo = qobject_cast<QComboBox *>(watched);
        if (combo && !combo->hasFocus()) {
            QCoreApplication::sendEvent(ui_->scrollArea->viewport(), event);
            return true;
        }
    }
    if (watched == ui_->fps_le && event->type() == QEvent::FocusOut && state_ && !ui_->fps_le->hasAcceptableInput())
        onChangeFps(state_->getFps());
    return QWidget::eventFilter(watched, event);
}

void VideoGrabberForm::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == status_timer_.timerId()) {
        status_timer_.stop();
        ui_->status_label->clear();
        return;
    }
    QWidget::timerEvent(event);
}
