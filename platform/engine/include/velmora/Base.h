#pragma once

#include <functional>
#include <utility>

namespace Velmora {

// Engine callback objects: a call target the engine stores and runs later
// (console output, GUI widget events, viewport stages). The receiver of a
// callback object (for example Console::addOutputCallback) owns it.

class CallbackBase
{
public:
    virtual ~CallbackBase() = default;
    virtual void run() = 0;
};

template<typename A0>
class CallbackBase1
{
public:
    virtual ~CallbackBase1() = default;
    virtual void run(A0 a0) = 0;
};

template<typename A0, typename A1>
class CallbackBase2
{
public:
    virtual ~CallbackBase2() = default;
    virtual void run(A0 a0, A1 a1) = 0;
};

// Member function of an object; the object must outlive the callback.
template<typename Class>
class CallbackObject0 : public CallbackBase
{
public:
    CallbackObject0(Class *object, void (Class::*func)())
        : object_(object)
        , func_(func)
    {}
    void run() override { (object_->*func_)(); }

private:
    Class *object_;
    void (Class::*func_)();
};

template<typename Class, typename A0>
class CallbackObject1 : public CallbackBase1<A0>
{
public:
    CallbackObject1(Class *object, void (Class::*func)(A0))
        : object_(object)
        , func_(func)
    {}
    void run(A0 a0) override { (object_->*func_)(a0); }

private:
    Class *object_;
    void (Class::*func_)(A0);
};

template<typename Class, typename A0, typename A1>
class CallbackObject2 : public CallbackBase2<A0, A1>
{
public:
    CallbackObject2(Class *object, void (Class::*func)(A0, A1))
        : object_(object)
        , func_(func)
    {}
    void run(A0 a0, A1 a1) override { (object_->*func_)(a0, a1); }

private:
    Class *object_;
    void (Class::*func_)(A0, A1);
};

// Any callable (lambdas in tests and in editor code).
class CallbackFunction0 : public CallbackBase
{
public:
    explicit CallbackFunction0(std::function<void()> func)
        : func_(std::move(func))
    {}
    void run() override
    {
        if (func_)
            func_();
    }

private:
    std::function<void()> func_;
};

template<typename A0>
class CallbackFunction1 : public CallbackBase1<A0>
{
public:
    explicit CallbackFunction1(std::function<void(A0)> func)
        : func_(std::move(func))
    {}
    void run(A0 a0) override
    {
        if (func_)
            func_(a0);
    }

private:
    std::function<void(A0)> func_;
};

template<typename A0, typename A1>
class CallbackFunction2 : public CallbackBase2<A0, A1>
{
public:
    explicit CallbackFunction2(std::function<void(A0, A1)> func)
        : func_(std::move(func))
    {}
    void run(A0 a0, A1 a1) override
    {
        if (func_)
            func_(a0, a1);
    }

private:
    std::function<void(A0, A1)> func_;
};

template<typename Class>
CallbackBase *MakeCallback(Class *object, void (Class::*func)())
{
    return new CallbackObject0<Class>(object, func);
}

template<typename Class, typename A0>
CallbackBase1<A0> *MakeCallback(Class *object, void (Class::*func)(A0))
{
    return new CallbackObject1<Class, A0>(object, func);
}

template<typename Class, typename A0, typename A1>
CallbackBase2<A0, A1> *MakeCallback(Class *object, void (Class::*func)(A0, A1))
{
    return new CallbackObject2<Class, A0, A1>(object, func);
}

} // namespace Velmora
