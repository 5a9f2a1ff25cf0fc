#include "image/frame.h"

#include "image/image.h"
#include "image/surface.h"

#include <algorithm>
#include <new>

namespace {

void DrawTree(Surface* surface, Bitmap* target, const Point destination[3], const Rect& source,
              void* reserved, u32 flags)
{
    surface->Draw(target, destination, source, reserved, flags);
    for (Surface* child = surface->GetFirstChild(); child; child = child->GetNextChild())
        DrawTree(child, target, destination, source, reserved, flags);
}

} // namespace

Frame::~Frame()
{
    RemoveAllSurfaces(true);
    if (m_image)
        m_image->RemoveFrame(this, false);
}

Surface* Frame::CreateSurface()
{
    return new (std::nothrow) Surface();
}

Surface* Frame::AddSurface()
{
    Surface* surface = CreateSurface();
    if (!surface)
        return nullptr;
    if (!AttachSurface(surface)) {
        delete surface;
        return nullptr;
    }
    return surface;
}

bool Frame::AttachSurface(Surface* surface)
{
    // A child surface carries its parent's frame but is no member of the frame's list.
    if (!surface || surface->m_parent)
        return false;
    if (surface->m_frame == this)
        return true;
    if (surface->m_frame)
        return false;
    surface->m_prev = m_last;
    surface->m_next = nullptr;
    if (m_last)
        m_last->m_next = surface;
    else
        m_first = surface;
    m_last = surface;
    surface->m_frame = this;
    if (!m_current)
        m_current = surface;
    return true;
}

bool Frame::RemoveSurface(Surface* surface, bool destroy)
{
    if (!surface)
        return false;
    if (!surface->m_frame)
        return true;
    if (surface->m_frame != this || surface->m_parent)
        return false;
    if (surface == m_current)
        SetCurrentSurface(surface->m_prev ? surface->m_prev : surface->m_next);
    if (surface->m_prev)
        surface->m_prev->m_next = surface->m_next;
    else
        m_first = surface->m_next;
    if (surface->m_next)
        surface->m_next->m_prev = surface->m_prev;
    else
        m_last = surface->m_prev;
    surface->m_prev = surface->m_next = nullptr;
    surface->m_frame = nullptr;
    if (destroy)
        delete surface;
    return true;
}

void Frame::RemoveAllSurfaces(bool destroy)
{
    while (m_last)
        RemoveSurface(m_last, destroy);
}

bool Frame::SetCurrentSurface(Surface* surface)
{
    if (surface == m_current)
        return true;
    // A current surface outside the list would outlive its removal.
    if (surface && (surface->m_frame != this || surface->m_parent))
        return false;
    if (m_current)
        m_current->OnSelect(this, false);
    m_current = surface;
    if (m_current)
        m_current->OnSelect(this, true);
    return true;
}

bool Frame::NextSurface(Surface*& cursor) const
{
    cursor = cursor ? cursor->m_next : m_first;
    return cursor != nullptr;
}

bool Frame::Draw(Bitmap* target, const Point destination[3], const Rect& source, void* reserved,
                 u32 flags)
{
    for (Surface* surface = m_first; surface; surface = surface->m_next)
        DrawTree(surface, target, destination, source, reserved, flags);
    return true;
}

bool Frame::GetSize(Size& out)
{
    if (!m_first)
        return false;
    // The union of the surfaces' rectangles with the frame's origin.
    Rect all;
    for (Surface* surface = m_first; surface; surface = surface->m_next) {
        Rect bounds;
        if (!surface->GetBounds(bounds))
            continue;
        all.left = std::min(all.left, bounds.left);
        all.top = std::min(all.top, bounds.top);
        all.right = std::max(all.right, bounds.right);
        all.bottom = std::max(all.bottom, bounds.bottom);
    }
    out.cx = i32(all.Width());
    out.cy = i32(all.Height());
    return true;
}

u32 Frame::GetSourceBitDepth()
{
    return m_current ? m_current->GetSourceBitDepth() : 0;
}

bool Frame::GetInfo(u32 index, QString& out)
{
    return m_current && m_current->GetInfo(index, out);
}

bool Frame::MakePowerOfTwo()
{
    for (Surface* surface = m_first; surface; surface = surface->m_next)
        surface->MakePowerOfTwo();
    return true;
}
