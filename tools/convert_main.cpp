// vistrel-convert: converts pictures into another image format (in practice the texture
// format), one output per source, for build scripts and the command line.

#include "formats/freeimage/decoder_client.h"
#include "formats/provider_registry.h"
#include "formats/texture/texture_codec.h"
#include "framework/item.h"
#include "framework/locate_item.h"
#include "framework/path.h"
#include "framework/provider_manager.h"
#include "framework/stream.h"
#include "image/image.h"
#include "tools/tool_support.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace {
enum ExitCode { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

struct Options
{
    QString outputFolder;
    QString targetName;
    QString format = QStringLiteral("MRT");
    QString pixelFormat;
    QString compression;
    u32 mipLevels = 1;
    bool powerOfTwo = false;
    bool fast = false;
    int timeoutMs = DecoderClient::kDefaultDeadlineMs;
    bool overwrite = false;
    bool quiet = false;
    bool list = false;
    QList<QString> sources;
};

QTextStream& Err()
{
    static QTextStream stream(stderr);
    return stream;
}

QTextStream& Out()
{
    static QTextStream stream(stdout);
    return stream;
}

void PrintUsage()
{
    Err() << "usage: vistrel-convert [options] SOURCE...\n"
             "  -o DIR               output folder (default: each source's folder)\n"
             "  --name NAME          output file name (one source only)\n"
             "  --format NAME        output format by short name (default MRT)\n"
             "  --pixel-format NAME  pixel format by name (R5G6B5, R8G8B8A8, ...) or index\n"
             "  --compression NAME   none, dxt1, dxt3, dxt5, the full name, or the index\n"
             "  --mips N             N levels; 0 or full for the whole chain (default 1)\n"
             "  --pow2               reduce each side to a power of two\n"
             "  --fast               the DXT encoder's fast level (default: quality)\n"
             "  --timeout S          seconds a library decode may take (default 10)\n"
             "  -y, --overwrite      replace existing outputs\n"
             "  -q                   no progress lines\n"
             "  --list               list the image formats and what they can do\n"
          << Qt::flush;
}

// Parses the command line; nothing on a usage error (already reported).
std::optional<Options> ParseOptions(int argc, char** argv)
{
    Options options;
    auto needValue = [&](int& i, const char* name) -> const char* {
        if (i + 1 >= argc) {
            Err() << "vistrel-convert: " << name << " needs a value\n";
            return nullptr;
        }
        return argv[++i];
    };
    bool endOfOptions = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg = argv[i];
        if (endOfOptions || !arg.startsWith('-') || arg == "-") {
            options.sources.append(AbsolutePathFromArgument(argv[i]));
            continue;
        }
        const char* value = nullptr;
        if (arg == "--") {
            endOfOptions = true;
        } else if (arg == "-o") {
            if (!(value = needValue(i, "-o")))
                return std::nullopt;
            options.outputFolder = AbsolutePathFromArgument(value);
        } else if (arg == "--name") {
            if (!(value = needValue(i, "--name")))
                return std::nullopt;
            options.targetName = DecodeNativeName(QByteArray(value));
        } else if (arg == "--format") {
            if (!(value = needValue(i, "--format")))
                return std::nullopt;
            options.format = QString::fromLocal8Bit(value);
        } else if (arg == "--pixel-format") {
            if (!(value = needValue(i, "--pixel-format")))
                return std::nullopt;
            options.pixelFormat = QString::fromLocal8Bit(value);
        } else if (arg == "--compression") {
            if (!(value = needValue(i, "--compression")))
                return std::nullopt;
            options.compression = QString::fromLocal8Bit(value);
        } else if (arg == "--mips") {
            if (!(value = needValue(i, "--mips")))
                return std::nullopt;
            bool ok = false;
            const QString text = QString::fromLocal8Bit(value);
            const uint n = text.toUInt(&ok);
            if (text.compare(u"full", Qt::CaseInsensitive) == 0) {
                options.mipLevels = 0;
            } else if (ok && n <= 32) {
                options.mipLevels = n;
            } else {
                Err() << "vistrel-convert: --mips takes a level count from 0 to 32 or \"full\"\n";
                return std::nullopt;
            }
        } else if (arg == "--timeout") {
            if (!(value = needValue(i, "--timeout")))
                return std::nullopt;
            bool ok = false;
            const double seconds = QString::fromLocal8Bit(value).toDouble(&ok);
            if (!ok || seconds <= 0 || seconds > 3600) {
                Err() << "vistrel-convert: --timeout takes seconds from 0 to 3600\n";
                return std::nullopt;
            }
            options.timeoutMs = int(seconds * 1000);
        } else if (arg == "--pow2") {
            options.powerOfTwo = true;
        } else if (arg == "--fast") {
            options.fast = true;
        } else if (arg == "-y" || arg == "--overwrite") {
            options.overwrite = true;
        } else if (arg == "-q" || arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "--list") {
            options.list = true;
        } else if (arg == "-h" || arg == "--help") {
            PrintUsage();
            std::exit(kExitOk);
        } else {
            Err() << "vistrel-convert: unknown option " << arg << "\n";
            return std::nullopt;
        }
    }
    if (!options.list && options.sources.isEmpty()) {
        Err() << "vistrel-convert: no source given\n";
        return std::nullopt;
    }
    if (!options.targetName.isEmpty() && options.sources.size() > 1) {
        Err() << "vistrel-convert: --name needs exactly one source\n";
        return std::nullopt;
    }
    if (options.targetName.contains(u'/')) {
        Err() << "vistrel-convert: --name takes a file name, not a path\n";
        return std::nullopt;
    }
    return options;
}

void ListFormats(ProviderManager& manager)
{
    for (ImageCodec* codec : ImageFormats(manager)) {
        const bool saves = codec->Supports(kFeatureWrite);
        Out() << FormatInfo(*codec, 0) << "\t" << FormatInfo(*codec, 1) << "\t"
              << (saves ? "load, save" : "load") << "\t" << FormatInfo(*codec, 3) << "\n";
        if (!saves)
            continue;
        for (const OfferedPixelFormat& pf : OfferedPixelFormats(*codec)) {
            Out() << "  pixel format " << pf.index << ": " << pf.text << "\n";
            for (const OfferedCompression& c : OfferedCompressions(*codec, pf.index))
                Out() << "    compression " << c.code << ": " << c.name << "\n";
        }
    }
    Out().flush();
}

// The settings Save receives, chosen from what the codec offers.
struct SaveSettings
{
    ImageCodec* codec = nullptr;
    u32 pixelFormatIndex = 0xFFFFFFFFu;
    u32 compression = 0xFFFFFFFFu;
};

bool MatchesCompression(const OfferedCompression& c, const QString& wanted)
{
    if (c.name.compare(wanted, Qt::CaseInsensitive) == 0)
        return true;
    bool isNumber = false;
    const uint code = wanted.toUInt(&isNumber);
    if (isNumber)
        return code == c.code;
    if (wanted.compare(u"none", Qt::CaseInsensitive) == 0)
        return c.name == u"Uncompressed";
    return c.name.section(u' ', 0, 0).compare(wanted, Qt::CaseInsensitive) == 0;
}

std::optional<SaveSettings> ChooseSettings(ProviderManager& manager, const Options& options)
{
    SaveSettings settings;
    settings.codec = FindImageFormat(manager, options.format);
    QStringList savers;
    for (ImageCodec* codec : ImageFormats(manager)) {
        if (codec->Supports(kFeatureWrite))
            savers.append(FormatInfo(*codec, 0));
    }
    if (!settings.codec || !settings.codec->Supports(kFeatureWrite)) {
        Err() << "vistrel-convert: " << (settings.codec ? "format cannot save: " : "no format ")
              << options.format << "; formats that save: " << savers.join(u", ") << "\n";
        return std::nullopt;
    }
    const QList<OfferedPixelFormat> formats = OfferedPixelFormats(*settings.codec);
    const OfferedPixelFormat* chosen = formats.isEmpty() ? nullptr : &formats.first();
    if (!options.pixelFormat.isEmpty()) {
        chosen = nullptr;
        bool isNumber = false;
        const uint index = options.pixelFormat.toUInt(&isNumber);
        for (const OfferedPixelFormat& pf : formats) {
            if ((isNumber && pf.index == index) ||
                pf.name.compare(options.pixelFormat, Qt::CaseInsensitive) == 0 ||
                pf.text.compare(options.pixelFormat, Qt::CaseInsensitive) == 0)
                chosen = &pf;
        }
        if (!chosen) {
            Err() << "vistrel-convert: no pixel format " << options.pixelFormat << "; offered:";
            for (const OfferedPixelFormat& pf : formats)
                Err() << "\n  " << pf.index << ": " << pf.name;
            Err() << "\n";
            return std::nullopt;
        }
    }
    if (chosen)
        settings.pixelFormatIndex = chosen->index;
    const QList<OfferedCompression> compressions =
        OfferedCompressions(*settings.codec, settings.pixelFormatIndex);
    if (!compressions.isEmpty())
        settings.compression = compressions.first().code;
    if (!options.compression.isEmpty()) {
        const OfferedCompression* found = nullptr;
        for (const OfferedCompression& c : compressions) {
            if (!found && MatchesCompression(c, options.compression))
                found = &c;
        }
        if (!found) {
            Err() << "vistrel-convert: no compression " << options.compression << "; offered:";
            for (const OfferedCompression& c : compressions)
                Err() << "\n  " << c.code << ": " << c.name;
            Err() << "\n";
            return std::nullopt;
        }
        settings.compression = found->code;
    }
    return settings;
}

// The output name: the source's name with its extension replaced by the format's.
QString TargetName(const QString& sourceName, const QString& extension)
{
    const qsizetype dot = sourceName.lastIndexOf(u'.');
    const QString base = dot > 0 ? sourceName.left(dot) : sourceName;
    return base + extension;
}

enum class Answer { Yes, No, All, Cancel };

Answer AskOverwrite(const QString& path)
{
    for (;;) {
        Err() << path << " exists. Replace it? [y]es, [n]o, [a]ll, [c]ancel: " << Qt::flush;
        char line[64];
        if (!std::fgets(line, sizeof line, stdin))
            return Answer::Cancel;
        switch (line[0]) {
        case 'y': case 'Y': return Answer::Yes;
        case 'n': case 'N': return Answer::No;
        case 'a': case 'A': return Answer::All;
        case 'c': case 'C': return Answer::Cancel;
        default: break;
        }
    }
}

enum class Outcome { Converted, Skipped, Failed, Cancelled };

class Converter
{
public:
    Converter(ProviderManager& manager, const Options& options, const SaveSettings& settings)
        : m_manager(manager), m_options(options), m_settings(settings),
          m_interactive(!options.overwrite && ::isatty(STDIN_FILENO) && ::isatty(STDERR_FILENO))
    {
    }

    Outcome Convert(const QString& source);

private:
    Outcome Fail(const QString& source, const QString& why)
    {
        Err() << "vistrel-convert: " << source << ": " << why << "\n" << Qt::flush;
        return Outcome::Failed;
    }
    // Writes the image under a temporary name in the folder and renames it into place.
    bool Write(Image& image, Item& folder, const QString& target, bool replace, QString& why);

    ProviderManager& m_manager;
    const Options& m_options;
    const SaveSettings& m_settings;
    bool m_interactive;
    bool m_replaceAll = false;
};

Outcome Converter::Convert(const QString& source)
{
    QElapsedTimer timer;
    timer.start();
    Item* item = LocateItem(m_manager, source);
    if (!item)
        return Fail(source, QStringLiteral("no such file"));
    const u32 attributes = item->GetAttributes();
    if (attributes == kFailed32 || (attributes & kAttrFolder))
        return Fail(source, QStringLiteral("not a file"));
    Image* image = LoadItemImage(*item);
    if (!image)
        return Fail(source, QStringLiteral("no image format reads this file"));

    const QString folderPath = m_options.outputFolder.isEmpty() ? ParentPath(source)
                                                                : m_options.outputFolder;
    const QString name = m_options.targetName.isEmpty()
                             ? TargetName(LastComponent(source), FormatInfo(*m_settings.codec, 4))
                             : m_options.targetName;
    const QString target = JoinPath(folderPath, name);
    Item* folder = LocateItem(m_manager, folderPath);
    if (!folder || !(folder->GetAttributes() & kAttrFolder)) {
        image->Release();
        return Fail(source, QStringLiteral("no output folder ") + folderPath);
    }

    bool replace = false;
    if (::access(EncodeNativeName(target).constData(), F_OK) == 0) {
        replace = m_options.overwrite || m_replaceAll;
        if (!replace && m_interactive) {
            switch (AskOverwrite(target)) {
            case Answer::Yes: replace = true; break;
            case Answer::All: replace = m_replaceAll = true; break;
            case Answer::No: break;
            case Answer::Cancel: image->Release(); return Outcome::Cancelled;
            }
        }
        if (!replace) {
            if (!m_options.quiet)
                Err() << target << ": exists, skipped (-y replaces it)\n" << Qt::flush;
            image->Release();
            return Outcome::Skipped;
        }
    }

    if (m_options.powerOfTwo)
        image->MakePowerOfTwo(false);
    Size size;
    image->GetSize(size);
    QString why;
    const bool ok = Write(*image, *folder, target, replace, why);
    image->Release();
    if (!ok)
        return Fail(source, why);
    if (!m_options.quiet) {
        u32 levels = m_options.mipLevels;
        if (levels == 0)
            for (u32 side = u32(std::max(size.cx, size.cy)); side; side >>= 1)
                ++levels;
        const QByteArray native = EncodeNativeName(target);
        QFile written(QFile::decodeName(native));
        Err() << name << ": " << size.cx << " x " << size.cy << ", " << levels
              << (levels == 1 ? " level, " : " levels, ") << written.size() << " bytes, "
              << timer.elapsed() << " ms\n"
              << Qt::flush;
    }
    return Outcome::Converted;
}

bool Converter::Write(Image& image, Item& folder, const QString& target, bool replace,
                      QString& why)
{
    QString folderPath;
    folder.GetPath(folderPath);
    const QString tempName = QStringLiteral(".%1.%2.tmp").arg(LastComponent(target)).arg(::getpid());
    const QString tempPath = JoinPath(folderPath, tempName);
    Stream* stream = m_manager.OpenStream(tempPath, 0x10012);
    if (!stream) {
        why = QStringLiteral("cannot create ") + tempPath;
        return false;
    }
    const bool saved = m_settings.codec->Save(&image, stream, 0xFFFFFFFFu,
                                              m_settings.pixelFormatIndex,
                                              m_settings.compression, m_options.mipLevels);
    stream->Release();
    Item* tempItem = folder.FindChild(tempName);
    if (!saved) {
        m_manager.DeletePath(tempPath);
        why = QStringLiteral("conversion failed");
        return false;
    }
    // Only a replacement the user agreed to may overwrite; otherwise a file that appeared
    // meanwhile is kept.
    const QByteArray from = EncodeNativeName(tempPath);
    const QByteArray to = EncodeNativeName(target);
    const int result = replace ? ::rename(from.constData(), to.constData())
                               : ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD,
                                             to.constData(), RENAME_NOREPLACE);
    if (result != 0) {
        why = QStringLiteral("cannot write ") + target + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        m_manager.DeletePath(tempPath);
        return false;
    }
    if (tempItem)
        folder.RemoveChild(tempItem, true);
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const std::optional<Options> options = ParseOptions(argc, argv);
    if (!options) {
        PrintUsage();
        return kExitUsage;
    }
    ProviderManager* manager = CreateProviderManager();
    if (!manager) {
        Err() << "vistrel-convert: out of memory\n";
        return kExitFailed;
    }
    if (options->list) {
        ListFormats(*manager);
        manager->Release();
        return kExitOk;
    }
    const std::optional<SaveSettings> settings = ChooseSettings(*manager, *options);
    if (!settings) {
        manager->Release();
        return kExitUsage;
    }
    DecoderClient::Shared().SetDeadline(options->timeoutMs);
    if (auto* texture = dynamic_cast<TextureCodec*>(settings->codec))
        texture->SetEncoderLevel(options->fast ? DxtLevel::Fast : DxtLevel::Quality);

    int converted = 0, skipped = 0, failed = 0;
    Converter converter(*manager, *options, *settings);
    for (const QString& source : options->sources) {
        const Outcome outcome = converter.Convert(source);
        if (outcome == Outcome::Cancelled) {
            Err() << "vistrel-convert: cancelled\n";
            ++failed;
            break;
        }
        converted += outcome == Outcome::Converted;
        skipped += outcome == Outcome::Skipped;
        failed += outcome == Outcome::Failed;
    }
    if (!options->quiet)
        Err() << converted << " converted, " << skipped << " skipped, " << failed << " failed\n";
    Err().flush();
    manager->Release();
    return failed ? kExitFailed : kExitOk;
}
