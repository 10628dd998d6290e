#pragma once

#include <editor_core/FrameThread.h>

#include <velmora/Image.h>
#include <velmora/Ptr.h>

namespace Impostors {

// A frame-stepped job that grabs one texture kind of an impostor into an
// atlas image. getImage() is complete only after finished(); the caller
// may keep the image after the job is gone.
class GrabThreadBase : public FrameThread
{
    Q_OBJECT

public:
    using FrameThread::FrameThread;

    virtual Velmora::Ptr<Velmora::Image> getImage() const = 0;
};

} // namespace Impostors
