#pragma once
// A loaded picture: an ordered list of frames with a current one. The image owns its frames;
// destroying it destroys everything below it.

#include "framework/ref_object.h"
#include "image/bitmap.h"
#include "image/geometry.h"

#include <QString>

class Frame;
class ImageCodec;

class Image : public RefObject
{
public:
    // format: the image-format provider that made the image; neither counted nor owned.
    explicit Image(ImageCodec* format = nullptr) : m_format(format) {}
    ~Image() override;

    // A new frame that belongs to no image yet.
    virtual Frame* CreateFrame();

    ImageCodec* GetFormat() const { return m_format; }

    // Adds a frame at the end and makes it current.
    Frame* AddFrame();
    bool AttachFrame(Frame* frame);
    bool RemoveFrame(Frame* frame, bool destroy);
    void RemoveAllFrames(bool destroy);
    bool SetCurrentFrame(Frame* frame);
    Frame* GetCurrentFrame() const { return m_current; }
    // Null cursor: the first frame; otherwise the next. True while the cursor is not null.
    bool NextFrame(Frame*& cursor) const;

    bool Draw(Bitmap* target, const Point destination[3], const Rect& source, void* reserved,
              u32 flags);
    bool GetSize(Size& out);
    u32 GetSourceBitDepth();
    bool GetInfo(u32 index, QString& out);
    // Every frame, or only the current one (false when there is none).
    bool MakePowerOfTwo(bool allFrames);

private:
    ImageCodec* m_format = nullptr;
    Frame* m_first = nullptr;
    Frame* m_last = nullptr;
    Frame* m_current = nullptr;
};
