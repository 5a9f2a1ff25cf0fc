#include "fakes.h"

#include "framework/provider_manager.h"
#include "framework/provider_kind.h"

#include <gtest/gtest.h>

namespace {
// Two plug-ins registered like the real ones: "library" first, "builtin" second.
struct Registry : testing::Test
{
    ProviderManager manager;
    QStringList probes;
    FakePlugin* library = new FakePlugin;
    Plugin* builtin = new Plugin;
    FakeProvider* libBmp = new FakeProvider("lib-bmp", kKindImageFormat, &probes);
    FakeProvider* libPng = new FakeProvider("lib-png", kKindImageFormat, &probes, false);
    FakeProvider* fileSystem = new FakeProvider("fs", kKindFileSystem, &probes);
    FakeProvider* texture = new FakeProvider("texture", kKindImageFormat, &probes, false);
    FakeProvider* bmp = new FakeProvider("bmp", kKindImageFormat, &probes);
    FakeItem* item = new FakeItem(&manager, "picture.bmp");

    Registry()
    {
        library->AddProvider(libBmp);
        library->AddProvider(libPng);
        builtin->AddProvider(fileSystem);
        builtin->AddProvider(texture);
        builtin->AddProvider(bmp);
        manager.AddPlugin(library);
        manager.AddPlugin(builtin);
    }
    ~Registry() override { item->Release(); }

    QStringList BoundNames()
    {
        QStringList names;
        Provider* p = nullptr;
        while (item->NextMatchingProvider(0, p)) {
            QString name;
            p->GetInfo(0, name);
            names.append(name);
        }
        return names;
    }
};
} // namespace

TEST_F(Registry, SearchRunsBackwardsAndBindsEveryAcceptingProvider)
{
    EXPECT_TRUE(manager.AttachProviders(item, nullptr, kKindImageFormat));
    EXPECT_EQ(probes, QStringList({"bmp", "texture", "lib-png", "lib-bmp"}));
    EXPECT_EQ(BoundNames(), QStringList({"bmp", "lib-bmp"}));
    EXPECT_EQ(item->GetProvider(kKindImageFormat), bmp);
}

TEST_F(Registry, GetProviderProbesOncePerKindUntilAnInstanceIsRemoved)
{
    EXPECT_EQ(item->GetProvider(kKindImageFormat), bmp);
    EXPECT_EQ(item->GetProvider(kKindImageFormat), bmp);
    EXPECT_EQ(probes.size(), 4);
    EXPECT_EQ(item->GetProvider(0), nullptr);

    Provider* next = bmp;
    ASSERT_TRUE(item->NextMatchingProvider(kKindImageFormat, next));
    EXPECT_EQ(next, libBmp);
    EXPECT_FALSE(item->NextMatchingProvider(kKindImageFormat, next));

    EXPECT_TRUE(item->RemoveInstance(bmp, true));
    EXPECT_EQ(item->GetProbedKinds() & kKindImageFormat, 0u);
    probes.clear();
    // Probing again binds the removed provider anew, after the binding that stayed.
    EXPECT_EQ(item->GetProvider(kKindImageFormat), libBmp);
    EXPECT_EQ(probes.size(), 4);
    EXPECT_EQ(BoundNames(), QStringList({"lib-bmp", "bmp"}));
}

TEST_F(Registry, OneStepPluginSkipsItsProviders)
{
    library->probeItem = [&](Item* i) {
        i->AddInstance(libPng);
        return true;
    };
    manager.AttachProviders(item, nullptr, kKindImageFormat);
    EXPECT_EQ(probes, QStringList({"bmp", "texture"}));
    EXPECT_EQ(BoundNames(), QStringList({"bmp", "lib-png"}));
}

TEST_F(Registry, InstancesFollowTheirProviderAndItem)
{
    EXPECT_FALSE(item->AddInstance(nullptr));
    EXPECT_TRUE(item->AddInstance(bmp));
    EXPECT_FALSE(item->AddInstance(bmp)); // one instance per provider
    EXPECT_TRUE(item->AddInstance(texture));
    EXPECT_FALSE(item->RemoveInstance(libPng, true));
    // A provider that goes away takes its instances out of the item's list.
    EXPECT_TRUE(builtin->RemoveProvider(bmp, true));
    EXPECT_EQ(item->FindInstance(bmp), nullptr);
    ASSERT_NE(item->FirstInstance(), nullptr);
    EXPECT_EQ(item->FirstInstance()->GetProvider(), texture);
}

TEST_F(Registry, RegistrationRules)
{
    ProviderManager other;
    EXPECT_TRUE(manager.AddPlugin(builtin));  // already here
    EXPECT_FALSE(other.AddPlugin(builtin));   // another manager's
    EXPECT_FALSE(other.RemovePlugin(builtin, false));
    EXPECT_FALSE(library->AddProvider(bmp));  // another plug-in's

    PluginCursor cursor;
    ASSERT_TRUE(manager.NextPlugin(cursor));
    EXPECT_EQ(cursor.current, builtin);
    ASSERT_TRUE(manager.NextPlugin(cursor));
    EXPECT_EQ(cursor.current, library);
    EXPECT_FALSE(manager.NextPlugin(cursor));

    struct Refusing : FakeProvider
    {
        using FakeProvider::FakeProvider;
        bool OnAttachManager(ProviderManager*) override { return false; }
    };
    auto* plugin = new Plugin;
    plugin->AddProvider(new Refusing("refuses", kKindImageFormat, nullptr));
    EXPECT_FALSE(manager.AddPlugin(plugin)); // destroyed, not registered
    EXPECT_EQ(manager.LastPlugin(), builtin);
}

TEST_F(Registry, FindProviderForStreamNeedsAStream)
{
    EXPECT_EQ(manager.FindProviderForStream(nullptr, kKindFileSystem), nullptr);
}
