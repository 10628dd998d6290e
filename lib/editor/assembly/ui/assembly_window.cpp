#include "editor/assembly/ui/assembly_window.h"

#include <QPushButton>
#include <QVBoxLayout>

namespace assembly {

AssemblyWindow::AssemblyWindow(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("AssemblyWindow"));
    setWindowTitle(tr("Create Build"));
    auto layout = new QVBoxLayout(this);
    layout->addStretch(1);
    create_build_ = new QPushButton(tr("Create Build"), this);
    create_build_->setObjectName(QStringLiteral("create_build"));
    layout->addWidget(create_build_);
    connect(create_build_, &QPushButton::clicked, this, &AssemblyWindow::makeBuildRequested);
    hide();
}

AssemblyWindow::~AssemblyWindow() = default;

} // namespace assembly
