#include "fakes.h"

#include "framework/provider_manager.h"
#include "support/messages.h"

#include <gtest/gtest.h>

namespace {
struct Tree : testing::Test
{
    ProviderManager manager;
    FakeItem* root = new FakeItem(&manager, "");
    Tree() { manager.SetRoot(root); }
};
} // namespace

TEST_F(Tree, AddAndRemoveChildren)
{
    auto* a = new FakeItem(&manager, "a");
    auto* other = new FakeItem(&manager, "other");
    EXPECT_TRUE(root->AddChild(a));
    EXPECT_TRUE(root->AddChild(a)); // a second add leaves one link
    EXPECT_EQ(root->FirstChild(), a);
    EXPECT_EQ(root->LastChild(), a);
    EXPECT_FALSE(other->AddChild(a)); // another parent's child
    EXPECT_EQ(a->GetParent(), root);
    EXPECT_FALSE(other->RemoveChild(a, true));

    // Removing with release only unlinks an item somebody else still holds.
    a->AddRef();
    EXPECT_TRUE(root->RemoveChild(a, true));
    EXPECT_EQ(a->RefCount(), 1);
    EXPECT_EQ(root->FirstChild(), nullptr);
    EXPECT_TRUE(root->RemoveChild(a, true)); // no parent: nothing to do

    bool destroyed = false;
    auto* b = new FakeItem(&manager, "b", &destroyed);
    root->AddChild(b);
    root->RemoveChild(b, true);
    EXPECT_TRUE(destroyed);
    a->Release();
    other->Release();
}

TEST_F(Tree, FindChildKeepsFirstInOrderThroughRenamesAndRemovals)
{
    auto* first = new FakeItem(&manager, "x");
    auto* second = new FakeItem(&manager, "x");
    auto* third = new FakeItem(&manager, "y");
    root->AddChild(first);
    root->AddChild(second);
    root->AddChild(third);
    EXPECT_EQ(root->FindChild(u"x"), first);
    EXPECT_EQ(root->FindChild(u"X"), nullptr); // names match exactly

    third->Rename(u"x");
    EXPECT_EQ(root->FindChild(u"x"), first);
    EXPECT_EQ(root->FindChild(u"y"), nullptr);
    root->RemoveChild(first, true);
    EXPECT_EQ(root->FindChild(u"x"), second);
    second->Rename(u"z");
    EXPECT_EQ(root->FindChild(u"x"), third);
    EXPECT_EQ(root->FindChild(u"z"), second);
    // A renamed item that comes first in order takes the name back.
    second->Rename(u"x");
    EXPECT_EQ(root->FindChild(u"x"), second);

    Item* created = root->FindOrCreateChild(u"new");
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(root->LastChild(), created);
    EXPECT_EQ(root->FindOrCreateChild(u"new"), created);
}

TEST_F(Tree, PathsStopAtTheRoot)
{
    QString path = "stale";
    EXPECT_FALSE(root->GetPath(path));
    EXPECT_TRUE(path.isEmpty());

    Item* drive = root->FindOrCreateChild(u"/");
    Item* home = drive->FindOrCreateChild(u"home");
    Item* file = home->FindOrCreateChild(u"a b");
    EXPECT_TRUE(drive->GetPath(path));
    EXPECT_EQ(path, "/");
    EXPECT_TRUE(file->GetPath(path));
    EXPECT_EQ(path, "/home/a b");
    EXPECT_TRUE(file->GetPath(path, drive));
    EXPECT_EQ(path, "home/a b");
}

TEST_F(Tree, DestroyingTheRootOrCurrentFolderClearsTheManager)
{
    Item* drive = root->FindOrCreateChild(u"/");
    Item* folder = drive->FindOrCreateChild(u"folder");
    EXPECT_FALSE(manager.SetCurrentFolder(nullptr));
    ProviderManager other;
    FakeItem foreign(&other, "f");
    EXPECT_FALSE(manager.SetCurrentFolder(&foreign));
    EXPECT_TRUE(manager.SetCurrentFolder(folder));
    folder->Release(); // as a successful Delete does, while still linked
    EXPECT_EQ(manager.GetCurrentFolder(), drive);
    EXPECT_EQ(drive->FirstChild(), nullptr);

    root->Release();
    EXPECT_EQ(manager.GetRoot(), nullptr);
    EXPECT_EQ(manager.GetCurrentFolder(), nullptr);
}
