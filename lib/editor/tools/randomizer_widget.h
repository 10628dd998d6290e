#pragma once

#include <QWidget>

// The "Randomizer" tool window that will replace selected nodes by random
// picks. For now it shows the offsets it will apply; the replacement comes
// with the randomizer itself.
class RandomizerWidget : public QWidget
{
    Q_OBJECT

public:
    explicit RandomizerWidget(QWidget *parent = nullptr);
    ~RandomizerWidget() override;
};
