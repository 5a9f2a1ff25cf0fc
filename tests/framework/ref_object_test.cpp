#include "framework/ref_object.h"
#include "support/messages.h"

#include <gtest/gtest.h>

namespace {
struct Probe : RefObject
{
    explicit Probe(bool* destroyed) : m_destroyed(destroyed) {}
    ~Probe() override { *m_destroyed = true; }
    bool* m_destroyed;
};
} // namespace

TEST(RefObject, ReleaseAtOneDestroysSilently)
{
    MessageCapture messages;
    bool destroyed = false;
    auto* object = new Probe(&destroyed);
    object->AddRef();
    object->Release();
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(object->RefCount(), 1);
    object->Release();
    EXPECT_TRUE(destroyed);
    EXPECT_TRUE(messages.Lines().isEmpty());
}

TEST(RefObject, DeleteWhileReferencedWarnsOnceWithAddress)
{
    MessageCapture messages;
    bool destroyed = false;
    auto* object = new Probe(&destroyed);
    object->AddRef();
    object->AddRef();
    const QString address =
        QStringLiteral("%1").arg(quintptr(object), 16, 16, QLatin1Char('0')).toUpper();
    delete object;
    EXPECT_TRUE(destroyed);
    ASSERT_EQ(messages.Lines().size(), 1);
    EXPECT_EQ(messages.Lines()[0], " *** WARNING: object released via 'delete': " + address);
}
