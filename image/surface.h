#pragma once
// One decoded picture of a frame, kept ready for display: a 32-bit display bitmap, an 8-bit
// alpha plane for pictures with alpha, and the display bitmap blended over a checkerboard (the
// composite). Surfaces live on the thread that made them; the surface owns its children, its
// source description and its bitmaps.

#include "framework/ref_object.h"
#include "image/bitmap.h"
#include "image/geometry.h"
#include "image/image_desc.h"

#include <QString>
#include <QStringView>

#include <memory>

class Frame;

// Draw flags: which checkerboard the picture is shown over (0: the plain display bitmap).
enum : u32 {
    // Bottom-left square black.
    kDrawCheckerboard = 0x1,
    // The two colours swapped: bottom-left square white.
    kDrawCheckerboardInverted = 0x2,
};

class Surface : public RefObject
{
public:
    Surface();
    // Destroys the bitmaps and the children and leaves the parent and the frame.
    ~Surface() override;

    // Draws the source rectangle into the parallelogram of the three destination points
    // (upper-left, upper-right, lower-left). Always false; callers ignore it.
    virtual bool Draw(Bitmap* target, const Point destination[3], const Rect& source,
                      void* reserved, u32 flags);
    virtual bool GetBounds(Rect& out);
    virtual u32 GetSourceBitDepth() { return m_sourceBitDepth; }
    // Index 0: the text about the file's encoding.
    virtual bool GetInfo(u32 index, QString& out);
    virtual bool GetSourceDesc(ImageDesc& out);
    virtual bool OnSelect(Frame*, bool) { return true; }
    // Zeroed bitmaps of the given size; false for a zero size, a side above 65536, more than
    // 268435456 pixels or too little memory, and then the surface holds no bitmaps.
    virtual bool Create(u32 width, u32 height, bool withAlpha);
    virtual bool Destroy();
    // Converts the described pixels into the display bitmap (and, when the format has alpha,
    // the alpha plane), creating the bitmaps from the description's size when there are none.
    // size, when not 0, bounds the bytes read from bits.
    virtual bool SetPixels(const ImageDesc& desc, const void* bits, u64 size);
    virtual u8* LockBits();
    virtual bool UnlockBits() { return true; }
    virtual u8* LockAlpha();
    // Rebuilds the composite.
    virtual bool UnlockAlpha();
    virtual Bitmap* GetDC() { return m_display.get(); }
    virtual Bitmap* GetAlphaDC() { return m_alpha.get(); }
    virtual bool SetSourceDesc(const ImageDesc& desc);

    // Resamples the bitmaps to the largest powers of two not above their sides.
    bool MakePowerOfTwo();
    // Blends the display bitmap over the checkerboard of 8 x 8 squares into the composite.
    bool Composite(bool inverted);

    bool AddChild(Surface* child);
    bool RemoveChild(Surface* child, bool destroy);
    void RemoveAllChildren(bool destroy);

    void SetSourceBitDepth(u32 bits) { m_sourceBitDepth = bits; }
    void SetInfoText(QStringView text) { m_sourceText = text.toString(); }

    i32 GetX() const { return m_x; }
    i32 GetY() const { return m_y; }
    Frame* GetFrame() const { return m_frame; }
    Surface* GetParent() const { return m_parent; }
    Surface* GetNextSurface() const { return m_next; }
    Surface* GetFirstChild() const { return m_firstChild; }
    Surface* GetNextChild() const { return m_nextChild; }
    const BitmapInfoHeader& GetDisplayHeader() const { return m_displayHeader; }
    const BitmapInfoHeader& GetAlphaHeader() const { return m_alphaHeader; }
    const BitmapInfoHeader& GetCompositeHeader() const { return m_compositeHeader; }
    Bitmap* GetCompositeDC() { return m_composite.get(); }
    bool IsCompositeInverted() const { return m_compositeInverted != 0; }

private:
    friend class Frame;

    i32 m_x = 0;
    i32 m_y = 0;
    Frame* m_frame = nullptr;
    Surface* m_prev = nullptr;
    Surface* m_next = nullptr;
    Surface* m_parent = nullptr;
    Surface* m_prevChild = nullptr;
    Surface* m_nextChild = nullptr;
    Surface* m_firstChild = nullptr;
    Surface* m_lastChild = nullptr;
    BitmapInfoHeader m_displayHeader;
    BitmapInfoHeader m_alphaHeader;
    BitmapInfoHeader m_compositeHeader;
    std::unique_ptr<ImageDesc> m_sourceDesc;
    std::unique_ptr<Bitmap> m_display;
    std::unique_ptr<Bitmap> m_alpha;
    std::unique_ptr<Bitmap> m_composite;
    u8 m_compositeInverted = 0;
    u32 m_sourceBitDepth = 0;
    QString m_sourceText;
};
