#pragma once
// An ordered list of surfaces with a current one; owned by an Image.

#include "framework/ref_object.h"
#include "image/bitmap.h"
#include "image/geometry.h"

#include <QString>

class Image;
class Surface;

class Frame : public RefObject
{
public:
    Frame() = default;
    // Destroys the surfaces and leaves the image.
    ~Frame() override;

    virtual bool OnSelect(Image*, bool) { return true; }
    // A new surface that belongs to no frame yet.
    virtual Surface* CreateSurface();

    Surface* AddSurface();
    bool AttachSurface(Surface* surface);
    bool RemoveSurface(Surface* surface, bool destroy);
    void RemoveAllSurfaces(bool destroy);
    bool SetCurrentSurface(Surface* surface);
    Surface* GetCurrentSurface() const { return m_current; }
    // Null cursor: the first surface; otherwise the next. True while the cursor is not null.
    bool NextSurface(Surface*& cursor) const;

    // Draws every surface in order, each followed by its children depth first. True.
    bool Draw(Bitmap* target, const Point destination[3], const Rect& source, void* reserved,
              u32 flags);
    // The size of the rectangle that holds every surface; false without surfaces.
    bool GetSize(Size& out);
    u32 GetSourceBitDepth();
    bool GetInfo(u32 index, QString& out);
    bool MakePowerOfTwo();

    Image* GetImage() const { return m_image; }
    Frame* GetNextFrame() const { return m_next; }
    Surface* GetFirstSurface() const { return m_first; }

private:
    friend class Image;

    Image* m_image = nullptr;
    Frame* m_prev = nullptr;
    Frame* m_next = nullptr;
    Surface* m_first = nullptr;
    Surface* m_last = nullptr;
    Surface* m_current = nullptr;
};
