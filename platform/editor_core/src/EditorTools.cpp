#include "editor_core/EditorTools.h"

#include <velmora/Engine.h>
#include <velmora/Log.h>
#include <velmora/Render.h>

#include <QComboBox>
#include <QLabel>

EditorTools::EditorTools(QWidget *parent)
    : QToolBar(tr("Editor Tools"), parent)
{
    setObjectName(QStringLiteral("EditorTools"));
    setMovable(false);
    addWidget(new QLabel(tr("Video API: "), this));
    api_combo_ = new QComboBox(this);
    api_combo_->setObjectName(QStringLiteral("videoAPI"));
    api_combo_->setToolTip(tr("Rendering API of the engine (a change takes effect after a "
                              "restart)"));
    addWidget(api_combo_);
    connect(api_combo_, QOverload<int>::of(&QComboBox::activated), this, [this](int index) {
        const int api = api_combo_->itemData(index).toInt();
        Velmora::Log::message("Video API \"%s\" is used from the next start of the editor\n",
                              videoAPIName(api).toUtf8().constData());
        emit videoAPIChosen(api);
    });
}

EditorTools::~EditorTools() = default;

QString EditorTools::videoAPIName(int api)
{
    switch (api) {
    case 0:
        return tr("Null");
    case 2:
        return tr("OpenGL");
    case 3:
        return tr("DirectX 11");
    default:
        return tr("API %1").arg(api);
    }
}

void EditorTools::setAvailableVideoAPIs(const QVector<int> &apis)
{
    const QSignalBlocker blocker(api_combo_);
    api_combo_->clear();
    for (int api : apis)
        api_combo_->addItem(videoAPIName(api), api);
    const int running = Velmora::Engine::get() ? Velmora::Render::getAPI() : -1;
    const int index = api_combo_->findData(running);
    api_combo_->setCurrentIndex(index >= 0 ? index : (apis.isEmpty() ? -1 : 0));
}

QVector<int> EditorTools::getAvailableVideoAPIs() const
{
    QVector<int> apis;
    for (int i = 0; i < api_combo_->count(); ++i)
        apis.append(api_combo_->itemData(i).toInt());
    return apis;
}

int EditorTools::getSelectedVideoAPI() const
{
    return api_combo_->currentIndex() < 0 ? -1 : api_combo_->currentData().toInt();
}

QComboBox *EditorTools::videoAPICombo() const
{
    return api_combo_;
}
