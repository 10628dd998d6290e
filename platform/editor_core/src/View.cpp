#include "editor_core/View.h"

#include <QCloseEvent>

View::View(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainWindow"));
}

View::~View() = default;

void View::closeEvent(QCloseEvent *event)
{
    event->accept();
}
