#include "editor_core/base/Timer.h"

#include <QTimer>

namespace base {

Timer::Timer(std::function<void()> callback, QObject *parent)
    : QObject(parent)
    , timer_(new QTimer(this))
    , callback_(std::move(callback))
{
    connect(timer_, &QTimer::timeout, this, [this] {
        if (callback_)
            callback_();
    });
}

Timer::~Timer() = default;

void Timer::setCallback(std::function<void()> callback)
{
    callback_ = std::move(callback);
}

void Timer::callEach(int ms)
{
    timer_->start(ms < 0 ? 0 : ms);
}

bool Timer::isActive() const
{
    return timer_->isActive();
}

void Timer::cancel()
{
    timer_->stop();
}

} // namespace base
