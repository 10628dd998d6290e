#pragma once

#include <QObject>

namespace as {

// Placeholder: the runtime model of the asset browser. Only init and
// shutdown exist; both are recorded.
class RuntimeModel : public QObject
{
    Q_OBJECT

public:
    explicit RuntimeModel(QObject *parent = nullptr);
    ~RuntimeModel() override;

    void init();
    void shutdown();
    bool isInitialized() const { return initialized_; }

private:
    bool initialized_ = false;
};

} // namespace as
