// The public BMP conformance suite: every good file the reader supports loads at its size (and,
// where a reference rendering can be decoded, with its colours); bad and questionable files
// never crash, and the plainly broken ones are refused.

#include "byte_stream.h"
#include "support/temp_dir.h"

#include "formats/bmp/bmp_codec.h"
#include "image/frame.h"
#include "image/image.h"
#include "image/surface.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStringList>

#ifdef VISTREL_BMP_TEST_HAVE_GUI
#include <QImage>
#endif

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

namespace {

struct SuiteEntry
{
    QString file;
    QString category;
    int width = 0;
    int height = 0;
    QStringList references;
};

QString SuiteDir()
{
    const QString shared = SharedDataDir();
    if (shared.isEmpty()) return {};
    const QString dir = shared + QStringLiteral("/testdata/bmpsuite");
    return QFile::exists(dir + QStringLiteral("/INDEX.tsv")) ? dir : QString();
}

std::vector<SuiteEntry> ReadIndex(const QString& dir)
{
    std::vector<SuiteEntry> entries;
    const QStringList lines =
        QString::fromUtf8(ReadWholeFile(dir + QStringLiteral("/INDEX.tsv"))).split(u'\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringList fields = lines[i].split(u'\t');
        if (fields.size() < 10) continue;
        SuiteEntry entry;
        entry.file = fields[0];
        entry.category = fields[1];
        const QStringList dims = fields[5].split(u'x');
        if (dims.size() == 2) {
            entry.width = dims[0].toInt();
            entry.height = dims[1].toInt();
        }
        if (!fields[9].isEmpty()) entry.references = fields[9].split(u';');
        entries.push_back(entry);
    }
    return entries;
}

// Good files outside what the reader decodes: run-length compression and the 12-byte header of
// the oldest version.
const std::set<std::string> kGoodButUnsupported = {"g/pal4rle.bmp", "g/pal8rle.bmp",
                                                   "g/pal8os2.bmp"};

// Bad files that must be refused; the other bad files have harmless faults in fields the reader
// does not use (density, image size, planes, colours used) and may load.
const std::set<std::string> kMustFail = {
    "b/badbitcount.bmp", "b/badrle.bmp",     "b/badrle4.bmp",   "b/badrle4bis.bmp",
    "b/badrle4ter.bmp",  "b/badrlebis.bmp",  "b/badrleter.bmp", "b/badwidth.bmp",
    "b/reallybig.bmp",   "b/rletopdown.bmp", "b/shortfile.bmp",
};

struct ImageReleaser
{
    void operator()(Image* image) const { image->Release(); }
};

#ifdef VISTREL_BMP_TEST_HAVE_GUI
// Largest channel difference between the display bitmap and the reference, or -1 when no
// reference of the same size can be decoded.
int ReferenceDifference(const QString& dir, const SuiteEntry& entry, Surface& surface)
{
    const BitmapInfoHeader& header = surface.GetDisplayHeader();
    for (const QString& reference : entry.references) {
        QImage image(dir + u'/' + reference);
        if (image.isNull() || image.width() != header.biWidth || image.height() != header.biHeight)
            continue;
        image = image.convertToFormat(QImage::Format_RGB32);
        const u8* bits = surface.LockBits();
        int worst = 0;
        for (int y = 0; y < image.height(); ++y) {
            const u8* row = bits + u64(image.height() - 1 - y) * u64(header.biWidth) * 4;
            for (int x = 0; x < image.width(); ++x) {
                const QRgb want = image.pixel(x, y);
                const u8* got = row + 4 * x;
                worst = std::max({worst, std::abs(int(got[2]) - qRed(want)),
                                  std::abs(int(got[1]) - qGreen(want)),
                                  std::abs(int(got[0]) - qBlue(want))});
            }
        }
        return worst;
    }
    return -1;
}
#endif

TEST(BmpSuite, FilesLoadOrFailAsTheSuiteExpects)
{
    const QString dir = SuiteDir();
    if (dir.isEmpty()) GTEST_SKIP() << "BMP Suite not found under the shared test data";
    const std::vector<SuiteEntry> entries = ReadIndex(dir);
    ASSERT_FALSE(entries.empty());
    BmpCodec codec;
    [[maybe_unused]] int compared = 0;
    for (const SuiteEntry& entry : entries) {
        const std::string name = entry.file.toStdString();
        SCOPED_TRACE(name);
        const QByteArray bytes = ReadWholeFile(dir + u'/' + entry.file);
        ASSERT_FALSE(bytes.isEmpty());
        ByteStream stream(bytes);
        std::unique_ptr<Image, ImageReleaser> image(codec.Load(&stream));

        const bool good = entry.category == QStringLiteral("good");
        const bool unsupported = kGoodButUnsupported.count(name) != 0;
        if (good && !unsupported) {
            EXPECT_TRUE(image);
        }
        if ((good && unsupported) || kMustFail.count(name) != 0) {
            EXPECT_FALSE(image);
        }
        if (!image) continue;
        Surface* surface = image->GetCurrentFrame()->GetCurrentSurface();
        ASSERT_NE(surface, nullptr);
        EXPECT_EQ(surface->GetDisplayHeader().biWidth, entry.width);
        EXPECT_EQ(surface->GetDisplayHeader().biHeight, entry.height);
#ifdef VISTREL_BMP_TEST_HAVE_GUI
        if (good) {
            const int difference = ReferenceDifference(dir, entry, *surface);
            if (difference >= 0) {
                ++compared;
                // Channels narrower than 8 bits are widened by repeating their high bits, which
                // may differ by one from a rounded rescale.
                EXPECT_LE(difference, 1);
            }
        }
#endif
    }
#ifdef VISTREL_BMP_TEST_HAVE_GUI
    EXPECT_GT(compared, 20);
#endif
}

} // namespace
