#include "editor/watchers/shader_compilation_popup_widget.h"

#include <editor_core/EditorLogic.h>
#include <editor_core/base/Assert.h>
#include <editor_core/depr/EditorGlobals.h>

#include <velmora/Material.h>

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QResizeEvent>
#include <QTimerEvent>
#include <QVBoxLayout>

namespace {

const char *const SPINNER_IMAGE = ":/images/processing_icon.png";

QLabel *makeLabel(QWidget *parent, const char *object_name, const QString &text = QString())
{
    auto label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(object_name));
    return label;
}

} // namespace

ShaderCompilationPopupWidget::ShaderCompilationPopupWidget(QWidget *scene)
    : QWidget(scene)
    , parent_(scene)
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("ShaderCompilationPopupWidget"));
    resize(DESIGN_SIZE);
    // The panel sits over the engine's picture and must hide what is below.
    setAutoFillBackground(true);
    setAttribute(Qt::WA_StyledBackground);

    auto row_layout = new QHBoxLayout(this);
    row_layout->setObjectName(QStringLiteral("horizontalLayout_2"));
    auto text_layout = new QVBoxLayout;
    text_layout->setObjectName(QStringLiteral("verticalLayout"));

    auto remaining_row = new QHBoxLayout;
    remaining_row->setObjectName(QStringLiteral("horizontalLayout_3"));
    remaining_row->addWidget(makeLabel(this, "label_1", tr("Compiling shaders:")));
    remaining_ = makeLabel(this, "remaining");
    remaining_row->addWidget(remaining_);
    remaining_row->setStretch(1, 1);
    text_layout->addLayout(remaining_row);

    auto current_row = new QHBoxLayout;
    current_row->setObjectName(QStringLiteral("horizontalLayout_4"));
    current_row->addWidget(makeLabel(this, "label_3", tr("Current material:")));
    current_ = makeLabel(this, "current");
    current_row->addWidget(current_);
    current_row->setStretch(1, 1);
    text_layout->addLayout(current_row);

    row_layout->addLayout(text_layout);
    spinner_ = makeLabel(this, "spinner");
    spinner_->setFixedSize(32, 32);
    spinner_->setAlignment(Qt::AlignCenter);
    row_layout->addWidget(spinner_);

    loadSpinnerFrames();

    if (scene) {
        placeInCorner(scene->size());
        scene->installEventFilter(this);
    }

    if (EditorLogic *logic = depr::g.editor) {
        connect(logic, &EditorLogic::onMaterialCompileShadersBegin, this,
                &ShaderCompilationPopupWidget::onCompileBegin);
        connect(logic, &EditorLogic::onMaterialCompileShadersEnd, this, &ShaderCompilationPopupWidget::onCompileEnd);
        connect(logic, &EditorLogic::onMaterialCompileShaders, this, &ShaderCompilationPopupWidget::onCompileMaterial);
    }
    hide();
}

ShaderCompilationPopupWidget::~ShaderCompilationPopupWidget()
{
    if (parent_)
        parent_->removeEventFilter(this);
}

QVector<QPixmap> ShaderCompilationPopupWidget::spinnerFrames(const QPixmap &strip)
{
    QVector<QPixmap> frames;
    const int side = strip.width();
    if (side <= 0)
        return frames;
    const int count = strip.height() / side;
    for (int k = 0; k < count; ++k)
        frames.append(strip.copy(0, k * side, side, side));
    return frames;
}

void ShaderCompilationPopupWidget::loadSpinnerFrames()
{
    pixmaps_ = spinnerFrames(QPixmap(QString::fromLatin1(SPINNER_IMAGE)));
}

QString ShaderCompilationPopupWidget::remainingText(int remaining)
{
    return tr("%1 material%2 remaining").arg(remaining).arg(remaining == 1 ? QString() : QStringLiteral("s"));
}

void ShaderCompilationPopupWidget::placeInCorner(const QSize &size)
{
    move(size.width() - width() - CORNER_MARGIN, size.height() - height() - CORNER_MARGIN);
}

void ShaderCompilationPopupWidget::onCompileBegin()
{
    remaining_->setText(QString());
    current_->setText(QString());
    fitTexts();
    show();
    raise();
    // A second begin without an end must not leave the first timer running.
    stopSpinner();
    timer_id_ = startTimer(FRAME_INTERVAL_MS, Qt::CoarseTimer);
    frame_ = 0;
    EC_ASSERT(pixmaps_.size());
    showFrame();
}

void ShaderCompilationPopupWidget::onCompileEnd()
{
    stopSpinner();
    hide();
}

void ShaderCompilationPopupWidget::onCompileMaterial(const Velmora::Ptr<Velmora::Material> &material, int remaining)
{
    remaining_->setText(remainingText(remaining));
    if (!material) {
        current_->setText(QString());
        fitTexts();
        return;
    }
    const QString name = QString::fromUtf8(material->getName());
    current_->setText(name.isEmpty() ? QString::fromUtf8(material->getGUID().getString().get()) : name);
    fitTexts();
}

void ShaderCompilationPopupWidget::fitTexts()
{
    // Long material names and GUIDs stay readable: the panel widens to the
    // left, keeping its corner.
    // The rows cache their size hints: drop them before asking.
    const QList<QLayout *> layouts = findChildren<QLayout *>();
    for (QLayout *row : layouts)
        row->invalidate();
    const QSize wanted = layout()->sizeHint().expandedTo(DESIGN_SIZE);
    if (wanted == size())
        return;
    resize(wanted);
    if (parent_)
        placeInCorner(parent_->size());
}

QString ShaderCompilationPopupWidget::remainingLabelText() const
{
    return remaining_->text();
}

QString ShaderCompilationPopupWidget::currentLabelText() const
{
    return current_->text();
}

bool ShaderCompilationPopupWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parent_ && event->type() == QEvent::Resize)
        placeInCorner(static_cast<QResizeEvent *>(event)->size());
    return QWidget::eventFilter(watched, event);
}

void ShaderCompilationPopupWidget::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != timer_id_ || timer_id_ == 0) {
        QWidget::timerEvent(event);
        return;
    }
    ++frame_;
    if (frame_ >= pixmaps_.size())
        frame_ = 0;
    showFrame();
}

void ShaderCompilationPopupWidget::showFrame()
{
    if (frame_ >= 0 && frame_ < pixmaps_.size())
        spinner_->setPixmap(pixmaps_.at(frame_));
}

void ShaderCompilationPopupWidget::stopSpinner()
{
    if (timer_id_ != 0) {
        killTimer(timer_id_);
        timer_id_ = 0;
    }
}
