#pragma once

#include <QObject>

#include <functional>

class QTimer;

namespace base {

// A repeating callback on the thread that owns the timer.
class TimerInterface
{
public:
    virtual ~TimerInterface() = default;
    virtual void setCallback(std::function<void()> callback) = 0;
    // Starts (or restarts) calling the callback every ms milliseconds;
    // 0 = on every pass of the event loop.
    virtual void callEach(int ms) = 0;
    virtual bool isActive() const = 0;
    virtual void cancel() = 0;
};

// TimerInterface over a QTimer.
class Timer : public QObject, public TimerInterface
{
    Q_OBJECT

public:
    explicit Timer(std::function<void()> callback = {}, QObject *parent = nullptr);
    ~Timer() override;

    void setCallback(std::function<void()> callback) override;
    void callEach(int ms) override;
    bool isActive() const override;
    void cancel() override;

private:
    QTimer *timer_ = nullptr;
    std::function<void()> callback_;
};

} // namespace base
