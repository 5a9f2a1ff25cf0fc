#include "framework/find_context.h"
#include "framework/path.h"

#include <gtest/gtest.h>

TEST(Path, SplitJoinAndParent)
{
    struct Case
    {
        const char16_t* path;
        bool absolute;
        QStringList components;
    };
    const Case cases[] = {
        {u"", false, {}},
        {u"/", true, {"/"}},
        {u"/home", true, {"/", "home"}},
        {u"//home///user/", true, {"/", "home", "user"}},
        {u"a/b", false, {"a", "b"}},
        {u"/a\\b", true, {"/", "a\\b"}}, // a backslash is part of a name
    };
    for (const Case& c : cases) {
        const SplitPathResult split = SplitPath(c.path);
        QStringList got;
        for (QStringView v : split.components)
            got.append(v.toString());
        EXPECT_EQ(split.absolute, c.absolute) << QStringView(c.path).toString().toStdString();
        EXPECT_EQ(got, c.components) << QStringView(c.path).toString().toStdString();
    }
    EXPECT_EQ(JoinPath(u"/", u"home"), "/home");
    EXPECT_EQ(JoinPath(u"/home", u"x"), "/home/x");
    EXPECT_EQ(ParentPath(u"/a/b"), "/a");
    EXPECT_EQ(ParentPath(u"/b"), "/");
    EXPECT_EQ(ParentPath(u"/"), "");
    EXPECT_EQ(LastComponent(u"/a/b/"), "b");
}

TEST(Path, NativeNamesRoundTripEveryByte)
{
    const QByteArray names[] = {
        "plain", "caf\xc3\xa9", "bad\xff\xfe", "\x80", "half\xe2\x82", "\xed\xa0\x80surrogate",
        "\xf0\x9f\x98\x80 emoji",
    };
    for (const QByteArray& native : names) {
        const QString decoded = DecodeNativeName(native);
        EXPECT_EQ(EncodeNativeName(decoded), native) << native.toHex().constData();
    }
    EXPECT_EQ(DecodeNativeName(QByteArray("caf\xc3\xa9")), QString::fromUtf8("caf\xc3\xa9"));
    EXPECT_NE(DecodeNativeName(QByteArray("a\xff")), DecodeNativeName(QByteArray("a\xfe")));
}

TEST(Path, FindPatterns)
{
    struct Case
    {
        const char16_t* name;
        const char16_t* pattern;
        bool matches;
    };
    const Case cases[] = {
        {u"noext", u"*.*", true},  {u"a.bmp", u"*.bmp", true}, {u"a.bmpx", u"*.bmp", false},
        {u"a.bmp", u"a.bmp", true}, {u"A.bmp", u"a.bmp", false}, {u"ab", u"a?", true},
        {u"a", u"a?", false},       {u"x.tar.gz", u"*.gz", true}, {u"a[1]", u"a[1]", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MatchesFindPattern(c.name, c.pattern), c.matches)
            << QStringView(c.name).toString().toStdString() << " ~ " << QStringView(c.pattern).toString().toStdString();
}

#include "framework/format_file_size.h"

TEST(FormatFileSize, FlagsOfTheListAndTheStatusBar)
{
    struct Case
    {
        u64 size;
        u32 flags;
        const char* text;
    };
    const Case cases[] = {
        {0, 0x201, "0"},
        {1048575, 0x201, "1 048 575"},
        {1048576, 0x201, "1 024 [Kb]"},
        {1048577, 0x201, "1 025 [Kb]"},
        {(u64(1) << 40) - 1024, 0x201, "1 073 741 823 [Kb]"},
        {(u64(1) << 40) - 1023, 0x201, "1 024 [Gb]"},
        {1023, 0x11, "1 023"},
        {1025, 0x11, "2 [Kb]"},
        {2048, 0x11, "2 [Kb]"},
        {1234567, 0x1, "1 234 567"},
        {1234567, 0x0, "1234567"},
        {~u64(0), 0x201, "17 179 869 184 [Gb]"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatFileSize(c.size, c.flags), QString::fromLatin1(c.text)) << c.size;
    char16_t small[4];
    EXPECT_FALSE(FormatFileSize(small, 4, 123456, 0));
    EXPECT_EQ(QStringView(small), u"123");
}
