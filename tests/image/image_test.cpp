#include "image/frame.h"
#include "image/image.h"
#include "image/surface.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> g_events;

class RecordingFrame : public Frame
{
public:
    explicit RecordingFrame(std::string name) : m_name(std::move(name)) {}
    bool OnSelect(Image*, bool selected) override
    {
        g_events.push_back(m_name + (selected ? "+" : "-"));
        return true;
    }

private:
    std::string m_name;
};

class RecordingSurface : public Surface
{
public:
    explicit RecordingSurface(std::string name) : m_name(std::move(name)) {}
    bool OnSelect(Frame*, bool selected) override
    {
        g_events.push_back(m_name + (selected ? "+" : "-"));
        return true;
    }

private:
    std::string m_name;
};

// Names its frames f0, f1, ... in creation order.
class RecordingImage : public Image
{
public:
    Frame* CreateFrame() override { return new RecordingFrame("f" + std::to_string(m_made++)); }

private:
    int m_made = 0;
};

std::vector<Frame*> Frames(const Image& image)
{
    std::vector<Frame*> frames;
    for (Frame* f = nullptr; image.NextFrame(f);)
        frames.push_back(f);
    return frames;
}

} // namespace

TEST(ImageTest, AddFrameMakesItCurrentWithNotifications)
{
    g_events.clear();
    RecordingImage image;
    Frame* f0 = image.AddFrame();
    Frame* f1 = image.AddFrame();
    EXPECT_EQ(image.GetCurrentFrame(), f1);
    EXPECT_EQ(Frames(image), (std::vector<Frame*>{f0, f1}));
    EXPECT_EQ(g_events, (std::vector<std::string>{"f0+", "f0-", "f1+"}));
    g_events.clear();
    EXPECT_TRUE(image.SetCurrentFrame(f1)); // already current: no notification
    EXPECT_TRUE(g_events.empty());
    EXPECT_EQ(f0->GetImage(), &image);
}

TEST(ImageTest, RemovingTheCurrentFrameMovesCurrent)
{
    struct Case
    {
        int frames;
        int current;
        int removed;
        int expected; // -1: none
    };
    const Case cases[] = {
        {3, 1, 1, 0}, // the middle of three: the one before
        {2, 0, 0, 1}, // the first of two: the one after
        {1, 0, 0, -1},
        {3, 2, 0, 2}, // not current: unchanged
    };
    for (const Case& c : cases) {
        RecordingImage image;
        std::vector<Frame*> frames;
        for (int i = 0; i < c.frames; ++i)
            frames.push_back(image.AddFrame());
        image.SetCurrentFrame(frames[size_t(c.current)]);
        EXPECT_TRUE(image.RemoveFrame(frames[size_t(c.removed)], true));
        EXPECT_EQ(image.GetCurrentFrame(), c.expected < 0 ? nullptr : frames[size_t(c.expected)]);
        EXPECT_EQ(Frames(image).size(), size_t(c.frames - 1));
    }
}

TEST(ImageTest, AttachAndRemoveOwnership)
{
    Image a;
    Image b;
    auto* frame = new Frame;
    EXPECT_TRUE(a.AttachFrame(frame));
    EXPECT_EQ(a.GetCurrentFrame(), nullptr); // attaching does not select
    EXPECT_TRUE(a.AttachFrame(frame));
    EXPECT_FALSE(b.AttachFrame(frame));
    EXPECT_FALSE(b.RemoveFrame(frame, true));
    EXPECT_FALSE(b.SetCurrentFrame(frame));
    EXPECT_TRUE(a.RemoveFrame(frame, false));
    EXPECT_EQ(frame->GetImage(), nullptr);
    EXPECT_TRUE(a.RemoveFrame(frame, false)); // belongs to no image
    EXPECT_TRUE(b.AttachFrame(frame));
    // Destroying a frame takes it out of its image.
    delete frame;
    EXPECT_TRUE(Frames(b).empty());
}

TEST(ImageTest, FrameSurfaceRules)
{
    g_events.clear();
    Frame frame;
    auto* s0 = new RecordingSurface("s0");
    auto* s1 = new RecordingSurface("s1");
    EXPECT_TRUE(frame.AttachSurface(s0));
    EXPECT_TRUE(frame.AttachSurface(s1));
    EXPECT_EQ(frame.GetCurrentSurface(), s0); // the first becomes current directly
    EXPECT_TRUE(g_events.empty());
    Surface* s2 = frame.AddSurface();
    EXPECT_EQ(frame.GetCurrentSurface(), s0); // adding keeps the current one
    EXPECT_TRUE(frame.SetCurrentSurface(s1));
    EXPECT_EQ(g_events, (std::vector<std::string>{"s0-", "s1+"}));
    g_events.clear();
    EXPECT_TRUE(frame.RemoveSurface(s1, true));
    EXPECT_EQ(frame.GetCurrentSurface(), s0);
    EXPECT_EQ(g_events, (std::vector<std::string>{"s1-", "s0+"}));
    Frame other;
    EXPECT_FALSE(other.AttachSurface(s2));
    EXPECT_FALSE(other.RemoveSurface(s2, true));
    std::vector<Surface*> order;
    for (Surface* s = nullptr; frame.NextSurface(s);)
        order.push_back(s);
    EXPECT_EQ(order, (std::vector<Surface*>{s0, s2}));
    delete s2; // leaves the frame
    EXPECT_EQ(frame.GetFirstSurface(), s0);
    EXPECT_EQ(s0->GetNextSurface(), nullptr);
}

TEST(ImageTest, ChildSurfaces)
{
    Frame frame;
    Surface* parent = frame.AddSurface();
    auto* child = new Surface;
    auto* grandChild = new Surface;
    EXPECT_TRUE(parent->AddChild(child));
    EXPECT_TRUE(parent->AddChild(child));
    EXPECT_EQ(child->GetFrame(), &frame);
    EXPECT_TRUE(child->AddChild(grandChild));
    EXPECT_FALSE(parent->AddChild(grandChild)); // has another parent
    EXPECT_FALSE(frame.AttachSurface(child));   // a child is no member of the frame list
    EXPECT_FALSE(frame.RemoveSurface(child, true));
    EXPECT_FALSE(parent->RemoveChild(grandChild, true));
    EXPECT_TRUE(child->RemoveChild(grandChild, false));
    EXPECT_EQ(grandChild->GetFrame(), nullptr);
    delete grandChild;
    // The children go with the parent.
    EXPECT_TRUE(frame.RemoveSurface(parent, true));
}

TEST(ImageTest, QueriesThroughTheCurrentItems)
{
    Image empty;
    EXPECT_EQ(empty.GetSourceBitDepth(), 0u);
    QString text;
    EXPECT_FALSE(empty.GetInfo(0, text));
    Size size;
    EXPECT_FALSE(empty.GetSize(size));
    EXPECT_FALSE(empty.MakePowerOfTwo(false));

    Image image;
    Frame* frame = image.AddFrame();
    EXPECT_FALSE(image.GetSize(size)); // a frame without surfaces
    Surface* surface = frame->AddSurface();
    ASSERT_TRUE(surface->Create(300, 200, false));
    surface->SetSourceBitDepth(16);
    surface->SetInfoText(u"BI_BITFIELDS");
    EXPECT_EQ(image.GetSourceBitDepth(), 16u);
    ASSERT_TRUE(image.GetInfo(0, text));
    EXPECT_EQ(text, "BI_BITFIELDS");
    EXPECT_FALSE(image.GetInfo(1, text));
    ASSERT_TRUE(image.GetSize(size));
    EXPECT_EQ(size, (Size{300, 200}));
    EXPECT_TRUE(image.MakePowerOfTwo(true));
    ASSERT_TRUE(image.GetSize(size));
    EXPECT_EQ(size, (Size{256, 128}));
}
