#pragma once

#include <QToolBar>
#include <QVector>

class QComboBox;

// The main tool bar: a combo of the rendering APIs the engine supports,
// showing the one that runs. Another API needs a restart of the editor.
class EditorTools : public QToolBar
{
    Q_OBJECT

public:
    explicit EditorTools(QWidget *parent = nullptr);
    ~EditorTools() override;

    // API numbers, 0 null, 1 (unused), 2 OpenGL, 3 DirectX 11.
    void setAvailableVideoAPIs(const QVector<int> &apis);
    QVector<int> getAvailableVideoAPIs() const;
    // The API chosen in the combo, -1 when none.
    int getSelectedVideoAPI() const;
    QComboBox *videoAPICombo() const;

    static QString videoAPIName(int api);

signals:
    void videoAPIChosen(int api);

private:
    QComboBox *api_combo_ = nullptr;
};
