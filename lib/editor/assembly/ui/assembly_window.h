#pragma once

#include <QWidget>

class QPushButton;

namespace assembly {

// The "Create Build" window. For now it carries only its button; the build
// options and the pipeline come with the build tool.
class AssemblyWindow : public QWidget
{
    Q_OBJECT

public:
    explicit AssemblyWindow(QWidget *parent = nullptr);
    ~AssemblyWindow() override;

    QPushButton *createBuildButton() const { return create_build_; }

signals:
    void makeBuildRequested();

private:
    QPushButton *create_build_ = nullptr;
};

} // namespace assembly
