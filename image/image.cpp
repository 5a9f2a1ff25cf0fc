#include "image/image.h"

#include "image/frame.h"

#include <new>

Image::~Image()
{
    RemoveAllFrames(true);
}

Frame* Image::CreateFrame()
{
    return new (std::nothrow) Frame();
}

Frame* Image::AddFrame()
{
    Frame* frame = CreateFrame();
    if (!frame)
        return nullptr;
    if (!AttachFrame(frame)) {
        delete frame;
        return nullptr;
    }
    SetCurrentFrame(frame);
    return frame;
}

bool Image::AttachFrame(Frame* frame)
{
    if (!frame)
        return false;
    if (frame->m_image == this)
        return true;
    if (frame->m_image)
        return false;
    frame->m_prev = m_last;
    frame->m_next = nullptr;
    if (m_last)
        m_last->m_next = frame;
    else
        m_first = frame;
    m_last = frame;
    frame->m_image = this;
    return true;
}

bool Image::RemoveFrame(Frame* frame, bool destroy)
{
    if (!frame)
        return false;
    if (!frame->m_image)
        return true;
    if (frame->m_image != this)
        return false;
    if (frame == m_current)
        SetCurrentFrame(frame->m_prev ? frame->m_prev : frame->m_next);
    frame->m_image = nullptr;
    if (frame->m_prev)
        frame->m_prev->m_next = frame->m_next;
    else
        m_first = frame->m_next;
    if (frame->m_next)
        frame->m_next->m_prev = frame->m_prev;
    else
        m_last = frame->m_prev;
    frame->m_prev = frame->m_next = nullptr;
    if (destroy)
        delete frame;
    return true;
}

void Image::RemoveAllFrames(bool destroy)
{
    while (m_last)
        RemoveFrame(m_last, destroy);
}

bool Image::SetCurrentFrame(Frame* frame)
{
    if (frame == m_current)
        return true;
    // A current frame outside the list would outlive its removal.
    if (frame && frame->m_image != this)
        return false;
    if (m_current)
        m_current->OnSelect(this, false);
    m_current = frame;
    if (m_current)
        m_current->OnSelect(this, true);
    return true;
}

bool Image::NextFrame(Frame*& cursor) const
{
    cursor = cursor ? cursor->m_next : m_first;
    return cursor != nullptr;
}

bool Image::Draw(Bitmap* target, const Point destination[3], const Rect& source, void* reserved,
                 u32 flags)
{
    return m_current && m_current->Draw(target, destination, source, reserved, flags);
}

bool Image::GetSize(Size& out)
{
    return m_current && m_current->GetSize(out);
}

u32 Image::GetSourceBitDepth()
{
    return m_current ? m_current->GetSourceBitDepth() : 0;
}

bool Image::GetInfo(u32 index, QString& out)
{
    return m_current && m_current->GetInfo(index, out);
}

bool Image::MakePowerOfTwo(bool allFrames)
{
    if (!allFrames)
        return m_current && m_current->MakePowerOfTwo();
    for (Frame* frame = m_first; frame; frame = frame->m_next)
        frame->MakePowerOfTwo();
    return true;
}
