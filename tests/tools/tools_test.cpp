// End-to-end runs of vistrel-convert and vistrel-info on temporary folders.

#include "formats/provider_registry.h"
#include "framework/item.h"
#include "framework/locate_item.h"
#include "framework/provider_manager.h"
#include "image/bitmap.h"
#include "image/frame.h"
#include "image/image.h"
#include "image/surface.h"
#include "support/temp_dir.h"
#include "tools/tool_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <cmath>

namespace {
struct ToolRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

ToolRun Tool(const QString& name, const QStringList& arguments)
{
    QProcess process;
    process.setProgram(QStringLiteral(VISTREL_BIN_DIR "/") + name);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    ToolRun run;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

struct Tools : testing::Test
{
    TempDir temp;
    void SetUp() override
    {
        ASSERT_EQ(Tool("vistrel-samples", {temp.Path()}).exitCode, 0);
    }
    ToolRun Convert(QStringList arguments) { return Tool("vistrel-convert", arguments); }
};

// RGB PSNR of two pictures of the same size, through the loaders the browser uses.
double Psnr(const QString& a, const QString& b)
{
    ProviderManager* manager = CreateProviderManager();
    Image* first = nullptr;
    Image* second = nullptr;
    if (Item* item = LocateItem(*manager, a))
        first = LoadItemImage(*item);
    if (Item* item = LocateItem(*manager, b))
        second = LoadItemImage(*item);
    double psnr = -1;
    if (first && second) {
        const Bitmap* x = first->GetCurrentFrame()->GetCurrentSurface()->GetDC();
        const Bitmap* y = second->GetCurrentFrame()->GetCurrentSurface()->GetDC();
        if (x->Width() == y->Width() && x->Height() == y->Height()) {
            double sum = 0;
            const u64 pixels = u64(x->Width()) * x->Height();
            for (u64 i = 0; i < pixels; ++i) {
                for (int c = 0; c < 3; ++c) {
                    const double d = double(x->Bits()[i * 4 + c]) - y->Bits()[i * 4 + c];
                    sum += d * d;
                }
            }
            const double mse = sum / (pixels * 3.0);
            psnr = mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
        }
    }
    if (first)
        first->Release();
    if (second)
        second->Release();
    manager->Release();
    return psnr;
}
} // namespace

TEST_F(Tools, UsageErrorsExitWithTwo)
{
    const QString source = temp / "scene.bmp";
    const QList<QStringList> cases = {
        {},
        {"--bogus", source},
        {"--mips", "many", source},
        {"--name", "x.t", source, temp / "sprite.tga"},
        {"--timeout", "-1", source},
        {"-o"},
    };
    for (const QStringList& arguments : cases)
        EXPECT_EQ(Convert(arguments).exitCode, 2) << arguments.join(' ').toStdString();

    const ToolRun bmp = Convert({"--format", "BMP", source});
    EXPECT_EQ(bmp.exitCode, 2);
    EXPECT_TRUE(bmp.err.contains("MRT")) << bmp.err.toStdString(); // names the formats that save
    const ToolRun pixel = Convert({"--pixel-format", "R9G9B9", source});
    EXPECT_EQ(pixel.exitCode, 2);
    EXPECT_TRUE(pixel.err.contains("R8G8B8A8")) << pixel.err.toStdString();
    const ToolRun compression = Convert({"--compression", "dxt9", source});
    EXPECT_EQ(compression.exitCode, 2);
    EXPECT_TRUE(compression.err.contains("DXT5")) << compression.err.toStdString();
}

TEST_F(Tools, ListShowsWhatEachFormatCanDo)
{
    const ToolRun run = Convert({"--list"});
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.contains("MRT\t* Morvalen Texture\tload, save")) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("BMP\tWindows BMP\tload"));
    EXPECT_TRUE(run.out.contains("pixel format 4: R8G8B8A8 [32 bit color]"));
    EXPECT_TRUE(run.out.contains("compression 3: DXT5 4x compressed"));
}

TEST_F(Tools, ConvertsEveryPixelFormatAndCompression)
{
    struct Case
    {
        QStringList options;
        double minimumPsnr;
    };
    const Case cases[] = {
        {{"--pixel-format", "R8G8B8"}, 99},
        {{"--pixel-format", "4"}, 99},
        {{"--pixel-format", "R5G6B5"}, 38},
        {{"--pixel-format", "R4G4B4A4"}, 30},
        {{"--pixel-format", "R5G5B5A1"}, 36},
        {{"--compression", "dxt1"}, 33},
        {{"--compression", "dxt3", "--fast"}, 32},
        {{"--compression", "DXT5 4x compressed [16 bit color, 8 bit indexed alpha]"}, 33},
    };
    const QString source = temp / "scene.bmp";
    for (const Case& c : cases) {
        const ToolRun run = Convert(QStringList{"-y", "-q", "-o", temp.MakeDir("out"), source} + c.options);
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_GE(Psnr(source, temp / "out/scene.t"), c.minimumPsnr)
            << c.options.join(' ').toStdString();
    }
    // Through the library reader too, with a name of our own and the whole mip chain.
    const ToolRun run = Convert({"--name", "sprite-mips.t", "--mips", "full", "--compression", "dxt5",
                             temp / "sprite.tga"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("128 x 128, 8 levels")) << run.err.toStdString();
    EXPECT_GE(Psnr(temp / "sprite.tga", temp / "sprite-mips.t"), 30);

    ASSERT_EQ(Convert({"--pow2", temp / "scene-300x200.tga"}).exitCode, 0);
    const ToolRun info = Tool("vistrel-info", {"--json", temp / "scene-300x200.t"});
    ASSERT_EQ(info.exitCode, 0);
    const QJsonObject object = QJsonDocument::fromJson(info.out.toUtf8()).object();
    EXPECT_EQ(object["dimensions"].toString(), "256 x 128 @ 32");
    EXPECT_EQ(object["formats"].toArray().first().toString(), "MRT");
}

TEST_F(Tools, ExistingOutputsAreKeptUnlessReplaced)
{
    const QString source = temp / "scene.bmp";
    const QString target = temp / "scene.t";
    temp.WriteFile("scene.t", "old contents");
    const ToolRun skipped = Convert({source});
    EXPECT_EQ(skipped.exitCode, 0);
    EXPECT_TRUE(skipped.err.contains("skipped"));
    EXPECT_EQ(ReadWholeFile(target), "old contents");

    // A save that fails (more levels than the size allows) leaves the old file and no partial one.
    const ToolRun failed = Convert({"-y", "--mips", "12", source});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_EQ(ReadWholeFile(target), "old contents");
    EXPECT_EQ(QDir(temp.Path()).entryList(QDir::Hidden | QDir::Files).filter(".tmp").size(), 0);

    EXPECT_EQ(Convert({"-y", source}).exitCode, 0);
    EXPECT_NE(ReadWholeFile(target), "old contents");
    EXPECT_EQ(Convert({temp / "missing.bmp"}).exitCode, 1);
}

TEST_F(Tools, InfoDescribesFilesAndTheirFormats)
{
    const ToolRun run = Tool("vistrel-info", {temp / "scene-565.bmp", temp / "palette.bmp"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("dimensions:  128 x 128 @ 16")) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("description: Uncompressed"));
    EXPECT_TRUE(run.out.contains("formats:     BMP, Microsoft Windows Bitmap"));
    EXPECT_TRUE(run.out.contains("layout:      8 bit (paletted)"));
    EXPECT_EQ(Tool("vistrel-info", {temp / "nothing"}).exitCode, 1);
}
