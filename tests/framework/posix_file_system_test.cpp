#include "formats/provider_registry.h"
#include "framework/find_context.h"
#include "framework/item.h"
#include "framework/locate_item.h"
#include "framework/path.h"
#include "framework/plugin.h"
#include "framework/provider.h"
#include "framework/posixfs/posix_item.h"
#include "framework/provider_manager.h"
#include "framework/stream.h"
#include "support/messages.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
struct PosixFs : testing::Test
{
    TempDir temp;
    ProviderManager* manager = CreateProviderManager();
    Item* folder = nullptr; // the temporary folder's item

    PosixFs()
    {
        folder = LocateItem(*manager, temp.Path());
    }
    ~PosixFs() override { manager->Release(); }

    struct Entry
    {
        QString name;
        u32 attributes;
        u64 size;
    };
    static QList<Entry> List(Item& item, QStringView pattern = {})
    {
        QList<Entry> entries;
        FindContext* context = item.FindFirst(pattern, 0);
        if (!context)
            return entries;
        do {
            entries.append({context->GetName(), context->GetAttributes(), context->GetSize()});
            item.FindOrCreateChild(context->GetName());
        } while (item.FindNext(*context));
        item.FindClose(context);
        std::sort(entries.begin(), entries.end(),
                  [](const Entry& a, const Entry& b) { return a.name < b.name; });
        return entries;
    }
    QString Path(const QString& relative) const { return temp / relative; }
};
} // namespace

TEST_F(PosixFs, TheRootHoldsOneDrive)
{
    ASSERT_NE(folder, nullptr);
    Item* root = manager->GetRoot();
    ASSERT_NE(root, nullptr);
    FindContext* context = root->FindFirst({}, 0);
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(context->GetName(), "/");
    EXPECT_EQ(context->GetAttributes(), 0x10u);
    EXPECT_GT(context->GetSize(), 0u);
    FileTime time{1, 1};
    EXPECT_TRUE(context->GetTime(kTimeModified, time));
    EXPECT_EQ(time.Ticks(), 0u);
    EXPECT_FALSE(root->FindNext(*context));
    EXPECT_TRUE(context->GetName().isNull());
    EXPECT_EQ(context->GetAttributes(), kFailed32);
    root->FindClose(context);

    Item* drive = root->FindChild(u"/");
    ASSERT_NE(drive, nullptr);
    EXPECT_EQ(drive->GetAttributes(), 0x10u);
    EXPECT_EQ(drive->GetSize(), kUnknown64);
    EXPECT_FALSE(drive->Supports(kCapDelete));
    EXPECT_FALSE(drive->Rename(u"x"));
    QString name;
    EXPECT_TRUE(drive->GetDisplayName(name));
    EXPECT_EQ(name, "/");
    QString info;
    EXPECT_TRUE(manager->LastPlugin()->FirstProvider()->GetInfo(0, info));
    EXPECT_EQ(info, "PosixFS");
}

TEST_F(PosixFs, ListingReportsAttributesAndSizes)
{
    temp.WriteFile("file.bin", "12345");
    temp.WriteFile(".hidden", "");
    temp.WriteFile("readonly", "ab");
    ::chmod(QFile::encodeName(Path("readonly")).constData(), 0444);
    temp.MakeDir("sub");
    temp.MakeDir("empty");
    const QList<Entry> entries = List(*folder);
    ASSERT_EQ(entries.size(), 5);
    struct Expected
    {
        const char* name;
        u32 attributes;
        u64 size;
    };
    const Expected expected[] = {
        {".hidden", 0x82 & ~0x80u, 0}, {"empty", 0x10, 0}, {"file.bin", 0x80, 5},
        {"readonly", 0x1, 2},           {"sub", 0x10, 0},
    };
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(entries[i].name, expected[i].name);
        EXPECT_EQ(entries[i].attributes, expected[i].attributes) << expected[i].name;
        EXPECT_EQ(entries[i].size, expected[i].size) << expected[i].name;
    }
    Item* empty = folder->FindChild(u"empty");
    EXPECT_EQ(empty->FindFirst({}, 0), nullptr);
    EXPECT_FALSE(empty->HasChildren(false, true));
    EXPECT_TRUE(folder->HasChildren(true, false));
    EXPECT_EQ(List(*folder, u"*.bin").size(), 1);
    EXPECT_EQ(folder->FindChild(u"sub")->GetSize(), kUnknown64);
    EXPECT_EQ(folder->FindChild(u"file.bin")->GetSize(), 5u);
    FileTime modified;
    EXPECT_TRUE(folder->FindChild(u"file.bin")->GetTime(kTimeModified, modified));
    EXPECT_NEAR(double(modified.Ticks()),
                double(PosixToFileTime(QFileInfo(Path("file.bin")).lastModified().toSecsSinceEpoch(),
                                       0).Ticks()),
                2e7);
    EXPECT_FALSE(folder->FindChild(u"file.bin")->GetTime(3, modified));
}

TEST_F(PosixFs, ResolveFollowsOnlyListedItems)
{
    temp.WriteFile("deep/inner/leaf.txt", "x");
    const QString base = temp.Path();
    struct Case
    {
        QString path;
        bool found;
    };
    const Case cases[] = {
        {QString(), false},
        {"", false},
        {"relative/path", false},        // no current folder
        {base + "/deep/inner", false},   // deep was never listed
        {base + "/missing", false},
        {base, true},
        {"//" + base.mid(1) + "//", true}, // repeated and trailing separators
    };
    for (const Case& c : cases)
        EXPECT_EQ(manager->Resolve(c.path, false, false) != nullptr, c.found) << c.path.toStdString();
    EXPECT_FALSE(manager->Exists(base + "/deep/inner/leaf.txt"));

    ASSERT_NE(LocateItem(*manager, base + "/deep/inner/leaf.txt"), nullptr);
    EXPECT_TRUE(manager->Exists(base + "/deep/inner/leaf.txt"));
    EXPECT_FALSE(manager->Exists(base + "/deep/inner/other.txt"));
    Item* inner = manager->Resolve(base + "/deep/inner/", false, false);
    ASSERT_NE(inner, nullptr);
    EXPECT_TRUE(manager->SetCurrentFolder(inner->GetParent()));
    EXPECT_EQ(manager->Resolve(u"inner/leaf.txt", false, false), inner->FindChild(u"leaf.txt"));
    // A path that continues below a file stops at the file.
    EXPECT_EQ(manager->Resolve(base + "/deep/inner/leaf.txt/more", false, false),
              inner->FindChild(u"leaf.txt"));
}

TEST_F(PosixFs, ResolveWithCreate)
{
    const QString base = temp.Path();
    Item* fresh = manager->Resolve(base + "/new.t", true, true);
    ASSERT_NE(fresh, nullptr);
    EXPECT_FALSE(QFileInfo::exists(Path("new.t")));
    Stream* stream = manager->OpenStream(base + "/new.t", 0x10012);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->Write("data", 4), 4u);
    EXPECT_TRUE(manager->CloseStream(stream));
    EXPECT_EQ(ReadWholeFile(Path("new.t")), "data");

    // A missing middle component: that one folder is created and returned.
    Item* made = manager->Resolve(base + "/a/b/c.t", true, true);
    ASSERT_NE(made, nullptr);
    EXPECT_TRUE(QFileInfo(Path("a")).isDir());
    EXPECT_FALSE(QFileInfo::exists(Path("a/b")));
    QString path;
    made->GetPath(path);
    EXPECT_EQ(path, Path("a"));
    EXPECT_TRUE(manager->DeletePath(base + "/a"));
    EXPECT_FALSE(QFileInfo::exists(Path("a")));
}

TEST_F(PosixFs, SpecialFilesNeverBlockAndAreHidden)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path("fifo")).constData(), 0600), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray socketPath = QFile::encodeName(Path("sock"));
    ASSERT_LT(size_t(socketPath.size()), sizeof address.sun_path);
    memcpy(address.sun_path, socketPath.constData(), socketPath.size());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    const QList<Entry> entries = List(*folder);
    ASSERT_EQ(entries.size(), 2);
    for (const Entry& e : entries)
        EXPECT_EQ(e.attributes & 0x4, 0x4u) << e.name.toStdString();
    for (const char16_t* name : {u"fifo", u"sock"}) {
        Item* item = folder->FindChild(name);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->OpenStream(kModeRead), nullptr);
        EXPECT_EQ(item->OpenStream(kModeWrite | kModeCreateAlways), nullptr);
        EXPECT_EQ(item->GetProvider(2), nullptr); // probing opens no stream on it
        EXPECT_EQ(item->GetSize(), kUnknown64);
    }
    EXPECT_TRUE(manager->ProbeFolder(temp.Path()));
    ::close(sock);
}

TEST_F(PosixFs, NamesThatAreNotUtf8)
{
    const QByteArray native = QFile::encodeName(temp.Path()) + "/bad\xff name";
    const int fd = ::open(native.constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "xyz", 3), 3);
    ::close(fd);

    const QList<Entry> entries = List(*folder);
    ASSERT_EQ(entries.size(), 1);
    Item* item = folder->FindChild(entries[0].name);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->GetSize(), 3u);
    Stream* stream = item->OpenStream(kModeRead);
    ASSERT_NE(stream, nullptr);
    char buffer[8] = {};
    EXPECT_EQ(stream->Read(buffer, 8), 3u);
    item->CloseStream(stream, true);

    const QString newName = DecodeNativeName(QByteArray("still\xfe bad"));
    ASSERT_TRUE(item->Rename(newName));
    const QByteArray renamed = QFile::encodeName(temp.Path()) + "/still\xfe bad";
    EXPECT_EQ(::access(renamed.constData(), F_OK), 0);
    EXPECT_EQ(folder->FindChild(newName), item);
    EXPECT_TRUE(item->Delete());
    EXPECT_NE(::access(renamed.constData(), F_OK), 0);
    EXPECT_EQ(folder->FirstChild(), nullptr);
}

TEST_F(PosixFs, RenameNeverReplacesAndDeleteKeepsNonEmptyFolders)
{
    temp.WriteFile("one", "1");
    temp.WriteFile("two", "2");
    temp.WriteFile("full/inside", "i");
    List(*folder);
    Item* one = folder->FindChild(u"one");
    EXPECT_FALSE(one->Rename(u"two"));
    EXPECT_EQ(ReadWholeFile(Path("one")), "1");
    EXPECT_EQ(ReadWholeFile(Path("two")), "2");
    for (const char16_t* bad : {u"", u"a/b", u".", u".."})
        EXPECT_FALSE(one->Rename(bad));
    EXPECT_TRUE(one->Rename(u"One")); // a change of case is a real rename
    EXPECT_TRUE(QFileInfo::exists(Path("One")));

    Item* full = folder->FindChild(u"full");
    full->AddRef();
    EXPECT_FALSE(full->Delete());
    EXPECT_EQ(full->RefCount(), 2);
    full->Release();
    EXPECT_TRUE(QFileInfo(Path("full/inside")).exists());
}

TEST_F(PosixFs, LinksAreFollowedForAttributesAndTouchedThemselvesOtherwise)
{
    temp.WriteFile("target/keep", "k");
    ASSERT_EQ(::symlink("target", QFile::encodeName(Path("link")).constData()), 0);
    ASSERT_EQ(::symlink("nowhere", QFile::encodeName(Path("dangling")).constData()), 0);
    const QList<Entry> entries = List(*folder);
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[1].name, "link");
    EXPECT_EQ(entries[1].attributes, 0x10u);
    EXPECT_EQ(entries[0].name, "dangling");
    EXPECT_EQ(entries[0].size, 0u);
    Item* dangling = folder->FindChild(u"dangling");
    EXPECT_EQ(dangling->OpenStream(kModeRead), nullptr);
    EXPECT_EQ(dangling->GetSize(), 0u);

    Item* link = folder->FindChild(u"link");
    EXPECT_EQ(List(*link).size(), 1); // lists as a folder
    ASSERT_TRUE(link->Rename(u"link2"));
    EXPECT_TRUE(QFileInfo(Path("target/keep")).exists());
    ASSERT_TRUE(link->Delete());
    EXPECT_FALSE(QFileInfo(Path("link2")).isSymLink());
    EXPECT_TRUE(QFileInfo(Path("target/keep")).exists());
}

TEST_F(PosixFs, StreamModes)
{
    temp.WriteFile("existing", "0123456789");
    temp.WriteFile("probe", "");
    List(*folder);
    Item* existing = folder->FindChild(u"existing");
    Item* fresh = folder->FindOrCreateChild(u"fresh");
    struct Case
    {
        Item* item;
        u32 mode;
        bool opens;
        u64 sizeAfter;
        u64 position;
    };
    const Case cases[] = {
        {existing, 0x1, true, 10, 0},
        {existing, 0x20003, false, 10, 0},   // create new on an existing file
        {existing, 0x50003, true, 0, 0},     // truncate existing
        {existing, 0x50001, false, 0, 0},    // truncating needs write access
        {fresh, 0x40001, false, 0, 0},       // open existing on a missing file
        {fresh, 0x30003, true, 0, 0},        // open always creates
        {fresh, 0x70003, true, 0, 0},
    };
    for (const Case& c : cases) {
        Stream* stream = c.item->OpenStream(c.mode);
        EXPECT_EQ(stream != nullptr, c.opens) << std::hex << c.mode;
        if (!stream)
            continue;
        EXPECT_EQ(stream->GetSize(), c.sizeAfter) << std::hex << c.mode;
        EXPECT_EQ(stream->Tell(), c.position) << std::hex << c.mode;
        c.item->CloseStream(stream, true);
    }

    Stream* stream = existing->OpenStream(0x40003);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->Write("abcdef", 6), 6u);
    EXPECT_TRUE(stream->Seek(-2, kSeekEnd));
    EXPECT_EQ(stream->Tell(), 4u);
    EXPECT_FALSE(stream->Seek(0, 3));
    EXPECT_FALSE(stream->Seek(-100, kSeekCurrent));
    char buffer[4];
    EXPECT_EQ(stream->Read(buffer, 4), 2u);
    EXPECT_TRUE(stream->SetSize(3));
    EXPECT_EQ(stream->Tell(), 3u);
    EXPECT_EQ(stream->GetSize(), 3u);
    existing->CloseStream(stream, true);
    Stream* appended = existing->OpenStream(0x70003);
    EXPECT_EQ(appended->Tell(), 3u);
    existing->CloseStream(appended, true);

    Stream* readOnly = existing->OpenStream(kModeRead);
    EXPECT_EQ(readOnly->Write("x", 1), kFailed32);
    EXPECT_EQ(existing->FirstStream(), readOnly);
    // Closing a tracked stream destroys it even while referenced, with the warning line.
    readOnly->AddRef();
    MessageCapture messages;
    EXPECT_TRUE(manager->CloseStream(readOnly));
    EXPECT_EQ(messages.Lines().size(), 1);
    EXPECT_EQ(existing->FirstStream(), nullptr);
}

TEST_F(PosixFs, ShellFacesWithoutADesktop)
{
    temp.WriteFile("picture.png", "");
    List(*folder);
    Item* item = folder->FindChild(u"picture.png");
    for (u32 flags : {0u, 1u, 3u, 14u})
        EXPECT_EQ(item->GetIcon(flags), 0u);
    QString type;
    EXPECT_TRUE(item->GetTypeName(type));
    EXPECT_EQ(type, "PNG image");
    QString display;
    EXPECT_TRUE(item->GetDisplayName(display));
    EXPECT_EQ(display, "picture.png");
    EXPECT_TRUE(item->Supports(kCapRename));
    EXPECT_FALSE(item->Supports(kCapAuxStream));
    EXPECT_EQ(item->OpenAuxStream(0), nullptr);
}

TEST_F(PosixFs, CreateFolderLinksTheNewItem)
{
    Item* made = folder->CreateFolder(0, u"made");
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(folder->LastChild(), made);
    EXPECT_TRUE(QFileInfo(Path("made")).isDir());
    EXPECT_EQ(folder->CreateFolder(1, u"other"), nullptr);
    EXPECT_EQ(folder->CreateFolder(0, u"made"), nullptr); // exists already
}
