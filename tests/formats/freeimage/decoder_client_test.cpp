#include "formats/freeimage/decoder_client.h"

#include "formats/freeimage/decoder_protocol.h"
#include "formats/freeimage/freeimage_format_table.h"
#include "support/temp_dir.h"

#include <FreeImage.h>
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>

#include <chrono>
#include <csignal>
#include <cstring>
#include <functional>
#include <memory>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kTestDeadlineMs = 2000;
// Shorter for the files that hang the library, which each wait for it.
constexpr int kHangDeadlineMs = 1000;

void QuietMessage(FREE_IMAGE_FORMAT, const char*) {}

struct BitmapDeleter
{
    void operator()(FIBITMAP* dib) const
    {
        if (dib) FreeImage_Unload(dib);
    }
};
using Bitmap = std::unique_ptr<FIBITMAP, BitmapDeleter>;

QByteArray Save(FIBITMAP* dib, FREE_IMAGE_FORMAT fif, int flags = 0)
{
    FIMEMORY* memory = FreeImage_OpenMemory();
    QByteArray out;
    if (FreeImage_SaveToMemory(fif, dib, memory, flags)) {
        BYTE* data = nullptr;
        DWORD size = 0;
        FreeImage_AcquireMemory(memory, &data, &size);
        out = QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
    }
    FreeImage_CloseMemory(memory);
    return out;
}

// A picture whose every byte differs from its neighbours, so that row order, channel order and
// pitch mistakes show.
Bitmap Pattern(int width, int height, int bpp)
{
    Bitmap dib(FreeImage_Allocate(width, height, bpp));
    for (int y = 0; y < height; ++y) {
        BYTE* row = FreeImage_GetScanLine(dib.get(), y);
        for (int x = 0; x < width * bpp / 8; ++x)
            row[x] = BYTE(x * 7 + y * 31 + 3);
    }
    return dib;
}

// An 8-bit palette picture whose entry 3 is fully transparent and entry 5 half transparent.
Bitmap TransparentPalette(int width, int height)
{
    Bitmap dib(FreeImage_Allocate(width, height, 8));
    RGBQUAD* palette = FreeImage_GetPalette(dib.get());
    for (int i = 0; i < 256; ++i)
        palette[i] = RGBQUAD{BYTE(i), BYTE(255 - i), BYTE(i * 3), 0};
    for (int y = 0; y < height; ++y) {
        BYTE* row = FreeImage_GetScanLine(dib.get(), y);
        for (int x = 0; x < width; ++x)
            row[x] = BYTE((x + y) % 8);
    }
    BYTE table[8] = {255, 255, 255, 0, 255, 128, 255, 255};
    FreeImage_SetTransparencyTable(dib.get(), table, 8);
    return dib;
}

QByteArray Png24()
{
    return Save(Pattern(37, 23, 24).get(), FIF_PNG);
}
QByteArray Png32()
{
    return Save(Pattern(19, 11, 32).get(), FIF_PNG);
}
QByteArray PalettePng()
{
    return Save(TransparentPalette(21, 9).get(), FIF_PNG);
}
QByteArray Tga24()
{
    return Save(Pattern(13, 7, 24).get(), FIF_TARGA);
}
QByteArray Tga32Rle()
{
    return Save(Pattern(13, 7, 32).get(), FIF_TARGA, TARGA_SAVE_RLE);
}
QByteArray Jpeg()
{
    return Save(Pattern(40, 24, 24).get(), FIF_JPEG, JPEG_QUALITYGOOD);
}

QByteArray TransparentGif()
{
    // GIF carries one transparent index only.
    Bitmap dib = TransparentPalette(21, 9);
    FreeImage_SetTransparentIndex(dib.get(), 3);
    return Save(dib.get(), FIF_GIF);
}

template <typename Pixel>
Bitmap Typed(FREE_IMAGE_TYPE type, int width, int height,
             const std::function<Pixel(int, int)>& value)
{
    Bitmap dib(FreeImage_AllocateT(type, width, height));
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<Pixel*>(FreeImage_GetScanLine(dib.get(), y));
        for (int x = 0; x < width; ++x)
            row[x] = value(x, y);
    }
    return dib;
}

u16 Sample16(int x, int y, int channel)
{
    return u16((x * 2311 + y * 977 + channel * 15013) & 0xFFFF);
}

QByteArray Grey16Png()
{
    return Save(Typed<u16>(FIT_UINT16, 9, 5, [](int x, int y) { return Sample16(x, y, 0); }).get(),
                FIF_PNG);
}

QByteArray Rgb16Png()
{
    return Save(
        Typed<FIRGB16>(FIT_RGB16, 9, 5,
                       [](int x, int y) {
                           return FIRGB16{Sample16(x, y, 0), Sample16(x, y, 1), Sample16(x, y, 2)};
                       })
            .get(),
        FIF_PNG);
}

QByteArray Rgba16Png()
{
    return Save(Typed<FIRGBA16>(FIT_RGBA16, 9, 5,
                                [](int x, int y) {
                                    return FIRGBA16{Sample16(x, y, 0), Sample16(x, y, 1),
                                                    Sample16(x, y, 2), Sample16(x, y, 3)};
                                })
                    .get(),
                FIF_PNG);
}

FIRGBF Radiance(int x, int y)
{
    return FIRGBF{x * 0.25f, y * 0.5f, 2.0f};
}

QByteArray RgbfHdr()
{
    return Save(Typed<FIRGBF>(FIT_RGBF, 8, 6, Radiance).get(), FIF_HDR);
}

QByteArray RgbfPfm()
{
    return Save(Typed<FIRGBF>(FIT_RGBF, 8, 6, Radiance).get(), FIF_PFM);
}

float UnitAlpha(int x, int y)
{
    return float((x + y * 8) % 11) / 10.0f;
}

QByteArray RgbafExr()
{
    return Save(Typed<FIRGBAF>(FIT_RGBAF, 8, 6,
                               [](int x, int y) {
                                   const FIRGBF c = Radiance(x, y);
                                   return FIRGBAF{c.red, c.green, c.blue, UnitAlpha(x, y)};
                               })
                    .get(),
                FIF_EXR, EXR_NONE);
}

// What the library gives in process for a standard bitmap: the 32-bit conversion, rows packed.
QByteArray InProcess32(const QByteArray& file, FREE_IMAGE_FORMAT fif, unsigned& width,
                       unsigned& height)
{
    FIMEMORY* memory = FreeImage_OpenMemory(
        reinterpret_cast<BYTE*>(const_cast<char*>(file.constData())), DWORD(file.size()));
    Bitmap loaded(FreeImage_LoadFromMemory(fif, memory, 0));
    FreeImage_CloseMemory(memory);
    if (!loaded) return {};
    Bitmap rgba(FreeImage_ConvertTo32Bits(loaded.get()));
    width = FreeImage_GetWidth(rgba.get());
    height = FreeImage_GetHeight(rgba.get());
    QByteArray out;
    for (unsigned y = 0; y < height; ++y)
        out.append(reinterpret_cast<const char*>(FreeImage_GetScanLine(rgba.get(), int(y))),
                   qsizetype(width) * 4);
    return out;
}

// The decoder program running for the client: the client's child itself, or under bubblewrap a
// descendant of it.
pid_t DecoderProcess(pid_t root)
{
    const QString exe = QFileInfo(QStringLiteral("/proc/%1/exe").arg(root)).symLinkTarget();
    if (QFileInfo(exe).fileName() == QStringLiteral("vistrel-decoder")) return root;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(root));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile children(tasks.filePath(task + QStringLiteral("/children")));
        if (!children.open(QIODevice::ReadOnly)) continue;
        for (const QByteArray& child : children.readAll().split(' ')) {
            if (child.trimmed().isEmpty()) continue;
            if (const pid_t found = DecoderProcess(pid_t(child.trimmed().toInt()))) return found;
        }
    }
    return 0;
}

QString StatusLine(pid_t pid, const char* key)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return {};
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(QByteArray(key) + ':'))
            return QString::fromLatin1(line.mid(qsizetype(std::strlen(key)) + 1).trimmed());
    }
    return {};
}

class DecoderClientTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        FreeImage_Initialise(FALSE);
        FreeImage_SetOutputMessage(QuietMessage);
    }
    static void TearDownTestSuite() { FreeImage_DeInitialise(); }

    void SetUp() override { m_client.SetDeadline(kTestDeadlineMs); }

    DecoderClient m_client;
};

struct StandardCase
{
    const char* name;
    QByteArray (*make)();
    FREE_IMAGE_FORMAT fif;
    u32 bitsPerPixel;
    bool transparent;
    bool alphaPlane;
    u32 alphaMask;
    u32 paletteCount;
};

const StandardCase kStandardCases[] = {
    {"png24", Png24, FIF_PNG, 24, false, false, 0, 0},
    {"png32", Png32, FIF_PNG, 32, true, true, 0xFF000000u, 0},
    {"palette png with transparency", PalettePng, FIF_PNG, 8, true, true, 0, 256},
    {"gif with a transparent index", TransparentGif, FIF_GIF, 8, true, true, 0, 256},
    {"tga24", Tga24, FIF_TARGA, 24, false, false, 0, 0},
    {"tga32 rle", Tga32Rle, FIF_TARGA, 32, true, true, 0xFF000000u, 0},
    {"jpeg", Jpeg, FIF_JPEG, 24, false, false, 0, 0},
};

TEST_F(DecoderClientTest, StandardBitmapsMatchTheLibrarysInProcessDecode)
{
    for (const StandardCase& c : kStandardCases) {
        SCOPED_TRACE(c.name);
        const QByteArray file = c.make();
        ASSERT_FALSE(file.isEmpty());
        EXPECT_EQ(m_client.Identify(file), c.fif);

        std::optional<DecodedPicture> picture = m_client.Load(c.fif, file);
        ASSERT_TRUE(picture.has_value());
        unsigned width = 0;
        unsigned height = 0;
        const QByteArray expected = InProcess32(file, c.fif, width, height);
        ASSERT_EQ(picture->width, width);
        ASSERT_EQ(picture->height, height);
        EXPECT_EQ(picture->Pitch(), width * 4);
        EXPECT_EQ(picture->bitsPerPixel, c.bitsPerPixel);
        EXPECT_EQ(picture->transparent, c.transparent);
        EXPECT_EQ(picture->alphaMask, c.alphaMask);
        EXPECT_EQ(picture->palette.size(), c.paletteCount);
        ASSERT_EQ(qsizetype(picture->PixelBytes()), expected.size());
        EXPECT_EQ(std::memcmp(picture->Pixels(), expected.constData(), size_t(expected.size())), 0);

        ASSERT_EQ(picture->Alpha() != nullptr, c.alphaPlane);
        if (c.alphaPlane) {
            for (u64 i = 0; i < u64(width) * height; ++i)
                ASSERT_EQ(picture->Alpha()[i], u8(expected[qsizetype(i * 4 + 3)])) << i;
        }
        if (c.bitsPerPixel == 24) {
            EXPECT_EQ(picture->redMask, 0xFF0000u);
            EXPECT_EQ(picture->greenMask, 0xFF00u);
            EXPECT_EQ(picture->blueMask, 0xFFu);
        }
    }
    EXPECT_EQ(m_client.StartCount(), 1) << "one decoder serves every request";
}

TEST_F(DecoderClientTest, PaletteEntriesAndTransparentColoursArriveAsTheLibraryHasThem)
{
    for (FREE_IMAGE_FORMAT fif : {FIF_PNG, FIF_GIF}) {
        const QByteArray file = fif == FIF_PNG ? PalettePng() : TransparentGif();
        std::optional<DecodedPicture> picture = m_client.Load(fif, file);
        ASSERT_TRUE(picture.has_value()) << fif;
        ASSERT_EQ(picture->palette.size(), 256u);
        // Entry i was blue i, green 255 - i, red 3 i.
        for (u32 i = 0; i < 8; ++i)
            EXPECT_EQ(picture->palette[i] & 0xFFFFFFu, u32(u8(i * 3)) | u32(255 - i) << 8 | i << 16)
                << fif << " entry " << i;
        ASSERT_NE(picture->Alpha(), nullptr);
        // Index (x + y) % 8: entry 3 is transparent (and 5 half so, where the format keeps it).
        const u32 width = picture->width;
        for (u32 y = 0; y < picture->height; ++y) {
            for (u32 x = 0; x < width; ++x) {
                const u32 index = (x + y) % 8;
                u8 want = index == 3 ? 0 : 255;
                if (fif == FIF_PNG && index == 5) want = 128;
                ASSERT_EQ(picture->Alpha()[y * width + x], want) << fif << " " << x << "," << y;
                ASSERT_EQ(picture->Pixels()[(y * width + x) * 4 + 3], want);
            }
        }
    }
}

TEST_F(DecoderClientTest, HighBitDepthPicturesLoadAsEightBitsKeepingTheirSourceDepth)
{
    // 16 bits per sample keep their high byte.
    struct Case
    {
        const char* name;
        QByteArray (*make)();
        u32 bitsPerPixel;
        int channels;
    };
    const Case cases[] = {
        {"grey16", Grey16Png, 16, 1}, {"rgb16", Rgb16Png, 48, 3}, {"rgba16", Rgba16Png, 64, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray file = c.make();
        ASSERT_FALSE(file.isEmpty());
        std::optional<DecodedPicture> picture = m_client.Load(FIF_PNG, file);
        ASSERT_TRUE(picture.has_value());
        EXPECT_EQ(picture->bitsPerPixel, c.bitsPerPixel);
        ASSERT_EQ(picture->width, 9u);
        ASSERT_EQ(picture->height, 5u);
        EXPECT_EQ(picture->Alpha() != nullptr, c.channels == 4);
        for (int y = 0; y < 5; ++y) {
            for (int x = 0; x < 9; ++x) {
                const u8* p = picture->Pixels() + (y * 9 + x) * 4;
                const u8 red = u8(Sample16(x, y, 0) >> 8);
                const u8 green = c.channels == 1 ? red : u8(Sample16(x, y, 1) >> 8);
                const u8 blue = c.channels == 1 ? red : u8(Sample16(x, y, 2) >> 8);
                const u8 alpha = c.channels == 4 ? u8(Sample16(x, y, 3) >> 8) : 255;
                ASSERT_EQ(p[FI_RGBA_RED], red) << x << "," << y;
                ASSERT_EQ(p[FI_RGBA_GREEN], green) << x << "," << y;
                ASSERT_EQ(p[FI_RGBA_BLUE], blue) << x << "," << y;
                ASSERT_EQ(p[FI_RGBA_ALPHA], alpha) << x << "," << y;
                if (c.channels == 4) {
                    ASSERT_EQ(picture->Alpha()[y * 9 + x], alpha);
                }
            }
        }
    }
}

TEST_F(DecoderClientTest, FloatingPointPicturesAreToneMappedKeepingAlpha)
{
    struct Case
    {
        const char* name;
        QByteArray (*make)();
        FREE_IMAGE_FORMAT fif;
        u32 bitsPerPixel;
        bool alpha;
    };
    const Case cases[] = {{"hdr", RgbfHdr, FIF_HDR, 96, false},
                          {"pfm", RgbfPfm, FIF_PFM, 96, false},
                          {"exr", RgbafExr, FIF_EXR, 128, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray file = c.make();
        ASSERT_FALSE(file.isEmpty());
        EXPECT_EQ(m_client.Identify(file), c.fif);
        std::optional<DecodedPicture> picture = m_client.Load(c.fif, file);
        ASSERT_TRUE(picture.has_value());
        EXPECT_EQ(picture->bitsPerPixel, c.bitsPerPixel);
        ASSERT_EQ(picture->width, 8u);
        ASSERT_EQ(picture->height, 6u);
        ASSERT_EQ(picture->Alpha() != nullptr, c.alpha);
        // Brighter radiance stays brighter after tone mapping; blue is the same everywhere.
        const u8* first = picture->Pixels();
        const u8* last = picture->Pixels() + (5 * 8 + 7) * 4;
        EXPECT_LT(first[FI_RGBA_RED], last[FI_RGBA_RED]);
        EXPECT_LT(first[FI_RGBA_GREEN], last[FI_RGBA_GREEN]);
        if (c.alpha) {
            for (int y = 0; y < 6; ++y) {
                for (int x = 0; x < 8; ++x)
                    ASSERT_NEAR(picture->Alpha()[y * 8 + x], UnitAlpha(x, y) * 255.0f, 1.0)
                        << x << "," << y;
            }
        } else {
            for (int i = 0; i < 48; ++i)
                ASSERT_EQ(picture->Pixels()[i * 4 + FI_RGBA_ALPHA], 255);
        }
    }
}

TEST_F(DecoderClientTest, UnreadableBytesFailWithoutCostingTheDecoder)
{
    const QByteArray garbage("this is not a picture of any kind, only words", 45);
    EXPECT_EQ(m_client.Identify(garbage), -1);
    EXPECT_FALSE(m_client.Load(FIF_PNG, garbage).has_value());
    // A PNG handed over as a JPEG, and a truncated PNG.
    const QByteArray png = Png24();
    EXPECT_FALSE(m_client.Load(FIF_JPEG, png).has_value());
    EXPECT_FALSE(m_client.Load(FIF_PNG, png.left(40)).has_value());
    EXPECT_FALSE(m_client.Load(FIF_PNG, QByteArray()).has_value());
    EXPECT_EQ(m_client.Identify(QByteArray()), -1);
    // An ICO is identified as the library's ICO id, which no table entry has.
    Bitmap small = Pattern(16, 16, 32);
    EXPECT_EQ(m_client.Identify(Save(small.get(), FIF_ICO)), FIF_ICO);

    EXPECT_TRUE(m_client.Load(FIF_PNG, png).has_value());
    EXPECT_EQ(m_client.StartCount(), 1);
}

// A BMP header announcing width x height at 24 bits, followed by a few bytes of pixels.
QByteArray BmpHeader(i32 width, i32 height)
{
    QByteArray file(54 + 64, '\0');
    auto put32 = [&](int at, u32 v) { std::memcpy(file.data() + at, &v, 4); };
    auto put16 = [&](int at, u16 v) { std::memcpy(file.data() + at, &v, 2); };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, u32(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, u32(width));
    put32(22, u32(height));
    put16(26, 1);
    put16(28, 24);
    return file;
}

TEST_F(DecoderClientTest, PicturesBeyondTheSizeLimitsAreRefusedBeforeTheirPixelsExist)
{
    ASSERT_TRUE(FreeImage_FIFSupportsNoPixels(FIF_BMP));
    struct Case
    {
        i32 width;
        i32 height;
    };
    // Too wide, too high, too many pixels (about 16 GiB as 32-bit pixels).
    const Case cases[] = {{65537, 1}, {1, 65537}, {65536, 65536}, {20000, 20000}};
    for (const Case& c : cases) {
        const auto start = Clock::now();
        EXPECT_FALSE(m_client.Load(FIF_BMP, BmpHeader(c.width, c.height)).has_value())
            << c.width << "x" << c.height;
        EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(kTestDeadlineMs / 2));
    }
    // Refused, not crashed: the same decoder goes on.
    EXPECT_EQ(m_client.StartCount(), 1);
    EXPECT_TRUE(m_client.Load(FIF_BMP, BmpHeader(4, 2)).has_value());
    EXPECT_EQ(m_client.StartCount(), 1);
}

TEST_F(DecoderClientTest, FilesThatCrashOrHangTheLibraryFailCleanlyWithinTheDeadline)
{
    // Named <format>-<what was done to it>-<crash|hang>[-refused...].<extension>: each one
    // crashes or hangs the library in process.
    m_client.SetDeadline(kHangDeadlineMs);
    const QDir fixtures(QStringLiteral(VISTREL_FREEIMAGE_FIXTURES));
    const QStringList names = fixtures.entryList(QDir::Files, QDir::Name);
    ASSERT_FALSE(names.isEmpty());
    const QByteArray png = Png24();
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const QString extension = u'.' + QFileInfo(name).suffix().toLower();
        const FreeImageFormat* format = nullptr;
        for (const FreeImageFormat& f : kFreeImageFormats) {
            if (QStringView(f.extensionList).split(u';').contains(QStringView(extension)))
                format = &f;
        }
        ASSERT_NE(format, nullptr);
        const QByteArray file = ReadWholeFile(fixtures.filePath(name));
        ASSERT_FALSE(file.isEmpty());

        const int startsBefore = m_client.StartCount();
        const auto start = Clock::now();
        EXPECT_FALSE(m_client.Load(format->id, file).has_value());
        EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(kHangDeadlineMs + 1000));

        std::optional<DecodedPicture> next = m_client.Load(FIF_PNG, png);
        ASSERT_TRUE(next.has_value());
        EXPECT_EQ(next->width, 37u);
        // Files the size check stops never reach the part of the library that fails on them;
        // the others take the decoder down with them.
        if (name.contains(QStringLiteral("-refused"))) {
            EXPECT_EQ(m_client.StartCount(), startsBefore);
        } else {
            EXPECT_GT(m_client.StartCount(), startsBefore) << "the decoder was replaced";
        }
    }
}

// Waits until the process has exited (a zombie, or reaped); false after two seconds.
bool WaitForExit(pid_t pid)
{
    for (int i = 0; i < 200; ++i) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly)) return true;
        const QByteArray text = stat.readAll();
        const qsizetype close = text.lastIndexOf(')');
        if (close < 0 || text.mid(close + 2, 1) == "Z") return true;
        usleep(10000);
    }
    return false;
}

TEST_F(DecoderClientTest, ADecoderKilledBetweenRequestsIsReplacedOnTheNextOne)
{
    const QByteArray png = Png24();
    // The decoder program itself, and the process the client started (the sandbox, when there
    // is one).
    for (const bool killRoot : {false, true}) {
        SCOPED_TRACE(killRoot ? "started process" : "decoder program");
        ASSERT_TRUE(m_client.Load(FIF_PNG, png).has_value());
        const int starts = m_client.StartCount();
        const pid_t root = m_client.ProcessId();
        ASSERT_GT(root, 0);
        const pid_t victim = killRoot ? root : DecoderProcess(root);
        ASSERT_GT(victim, 0);
        ASSERT_EQ(kill(victim, SIGKILL), 0);
        ASSERT_TRUE(WaitForExit(victim));
        ASSERT_TRUE(WaitForExit(root));

        std::optional<DecodedPicture> picture = m_client.Load(FIF_PNG, png);
        ASSERT_TRUE(picture.has_value());
        EXPECT_EQ(picture->width, 37u);
        EXPECT_EQ(m_client.StartCount(), starts + 1);
        EXPECT_NE(m_client.ProcessId(), root);
        EXPECT_EQ(m_client.Identify(png), FIF_PNG);
    }
}

TEST_F(DecoderClientTest, ProgramsThatLetChildrenBeReapedForThemKeepOneDecoder)
{
    struct sigaction ignore
    {
    };
    struct sigaction before
    {
    };
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGCHLD, &ignore, &before);
    const QByteArray png = Png24();
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(m_client.Load(FIF_PNG, png).has_value());
    EXPECT_EQ(m_client.StartCount(), 1);
    const pid_t root = m_client.ProcessId();
    const pid_t decoder = DecoderProcess(root);
    ASSERT_GT(decoder, 0);
    ASSERT_EQ(kill(decoder, SIGKILL), 0);
    ASSERT_TRUE(WaitForExit(decoder));
    ASSERT_TRUE(WaitForExit(root));
    EXPECT_TRUE(m_client.Load(FIF_PNG, png).has_value());
    EXPECT_EQ(m_client.StartCount(), 2);
    sigaction(SIGCHLD, &before, nullptr);
}

TEST_F(DecoderClientTest, TheDecoderRunsConfined)
{
    ASSERT_EQ(m_client.Identify(Png24()), FIF_PNG);
    using namespace decoder_protocol;
    EXPECT_EQ(m_client.Confinement() & (kConfinedAddressSpace | kConfinedCpu | kConfinedSeccomp),
              kConfinedAddressSpace | kConfinedCpu | kConfinedSeccomp);
    const pid_t decoder = DecoderProcess(m_client.ProcessId());
    ASSERT_GT(decoder, 0);
    if (access("/usr/bin/bwrap", X_OK) == 0) {
        EXPECT_TRUE(m_client.Sandboxed());
        // Its own network (none) and its own, read-only, view of the file system.
        for (const char* ns : {"net", "mnt", "pid"}) {
            const QString mine = QFileInfo(QStringLiteral("/proc/self/ns/") + ns).symLinkTarget();
            const QString its =
                QFileInfo(QStringLiteral("/proc/%1/ns/").arg(decoder) + ns).symLinkTarget();
            EXPECT_FALSE(its.isEmpty()) << ns;
            EXPECT_NE(its, mine) << ns;
        }
        QFile mounts(QStringLiteral("/proc/%1/mountinfo").arg(decoder));
        ASSERT_TRUE(mounts.open(QIODevice::ReadOnly));
        bool rootReadOnly = false;
        for (const QByteArray& line : mounts.readAll().split('\n')) {
            const QList<QByteArray> fields = line.split(' ');
            if (fields.size() > 5 && fields[4] == "/")
                rootReadOnly = fields[5].split(',').contains("ro");
        }
        EXPECT_TRUE(rootReadOnly);
    }
    EXPECT_EQ(StatusLine(decoder, "Seccomp"), QStringLiteral("2"));
    EXPECT_EQ(StatusLine(decoder, "NoNewPrivs"), QStringLiteral("1"));
    const QStringList fds = QDir(QStringLiteral("/proc/%1/fd").arg(decoder))
                                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
    EXPECT_EQ(fds, (QStringList{QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2")}));
    QFile limits(QStringLiteral("/proc/%1/limits").arg(decoder));
    ASSERT_TRUE(limits.open(QIODevice::ReadOnly));
    const QByteArray text = limits.readAll();
    EXPECT_FALSE(text.contains("Max address space         unlimited")) << text.constData();
    EXPECT_FALSE(text.contains("Max cpu time              unlimited")) << text.constData();
}

TEST_F(DecoderClientTest, AMissingDecoderProgramFailsCleanly)
{
    qputenv("VISTREL_DECODER", "/nonexistent/vistrel-decoder");
    const QByteArray png = Png24();
    EXPECT_EQ(m_client.Identify(png), -1);
    EXPECT_FALSE(m_client.Load(FIF_PNG, png).has_value());
    qunsetenv("VISTREL_DECODER");
    EXPECT_TRUE(m_client.Load(FIF_PNG, png).has_value());
}

TEST_F(DecoderClientTest, RepliesThatDoNotAddUpAreRefused)
{
    // The lying decoder's honest answer gets through, so each refusal below is the check's.
    qputenv("VISTREL_DECODER", VISTREL_LYING_DECODER);
    const QByteArray bytes("any bytes", 9);
    std::optional<DecodedPicture> honest = m_client.Load(0, bytes);
    ASSERT_TRUE(honest.has_value());
    EXPECT_EQ(honest->width, 2u);
    const struct
    {
        i32 lie;
        const char* what;
    } lies[] = {{1, "memfd smaller than the pixels"},
                {2, "memfd not sealed"},
                {3, "beyond the size limits"},
                {4, "no memfd"},
                {5, "answer of another kind"},
                {6, "palette too long"},
                {7, "pixel bytes not width x height x 4"}};
    for (const auto& l : lies) {
        EXPECT_FALSE(m_client.Load(l.lie, bytes).has_value()) << l.what;
        EXPECT_TRUE(m_client.Load(0, bytes).has_value()) << "after " << l.what;
    }
    qunsetenv("VISTREL_DECODER");
}

} // namespace
