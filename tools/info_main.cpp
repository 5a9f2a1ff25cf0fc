// vistrel-info: what the status bar shows for files, and which image formats read them.

#include "formats/freeimage/decoder_client.h"
#include "formats/provider_registry.h"
#include "framework/format_file_size.h"
#include "framework/item.h"
#include "framework/locate_item.h"
#include "framework/provider.h"
#include "framework/provider_instance.h"
#include "framework/provider_kind.h"
#include "framework/provider_manager.h"
#include "image/frame.h"
#include "image/image.h"
#include "image/image_desc.h"
#include "image/surface.h"
#include "tools/tool_support.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace {
struct FileInfo
{
    QString path;
    bool found = false;
    QString typeName;
    u64 size = kUnknown64;
    QString sizeText;    // the size pane
    QString sizeTip;     // its tip: exact bytes
    QString dimensions;  // "W x H @ D"
    QString layout;
    QString description;
    QStringList formats; // image-format providers, in binding order
};

FileInfo Describe(ProviderManager& manager, const QString& path)
{
    FileInfo info;
    info.path = path;
    Item* item = LocateItem(manager, path);
    if (!item)
        return info;
    info.found = true;
    item->GetTypeName(info.typeName);
    info.size = item->GetSize();
    if (info.size != kUnknown64) {
        info.sizeText = FormatFileSize(info.size, 0x11);
        info.sizeTip = FormatFileSize(info.size, 0x1) + QStringLiteral(" bytes");
    }
    item->GetProvider(kKindImageFormat); // binds the formats on first use
    for (ProviderInstance* i = item->FirstInstance(); i; i = i->NextInItem()) {
        if (i->GetKind() != kKindImageFormat)
            continue;
        QString name;
        i->GetProvider()->GetInfo(0, name);
        info.formats.append(name);
    }
    Image* image = LoadItemImage(*item);
    if (!image)
        return info;
    Size size;
    const Frame* frame = image->GetCurrentFrame();
    Surface* surface = frame ? frame->GetCurrentSurface() : nullptr;
    const u32 depth = surface ? surface->GetSourceBitDepth() : 0;
    if (image->GetSize(size) && depth != 0)
        info.dimensions = QStringLiteral("%1 x %2 @ %3").arg(size.cx).arg(size.cy).arg(depth);
    if (surface) {
        surface->GetInfo(0, info.description);
        ImageDesc desc;
        if (surface->GetSourceDesc(desc))
            info.layout = PixelLayoutText(desc);
    }
    image->Release();
    return info;
}

void PrintText(QTextStream& out, const FileInfo& info)
{
    out << info.path << "\n";
    if (!info.found) {
        out << "  not found\n";
        return;
    }
    out << "  type:        " << info.typeName << "\n"
        << "  size:        " << info.sizeText << " (" << info.sizeTip << ")\n"
        << "  dimensions:  " << info.dimensions << "\n"
        << "  layout:      " << info.layout << "\n"
        << "  description: " << info.description << "\n"
        << "  formats:     " << info.formats.join(u", ") << "\n";
}

void PrintJson(QTextStream& out, const FileInfo& info)
{
    QJsonObject object{
        {"path", info.path},
        {"found", info.found},
        {"type", info.typeName},
        {"size", info.size == kUnknown64 ? QJsonValue() : QJsonValue(qint64(info.size))},
        {"sizeText", info.sizeText},
        {"sizeTip", info.sizeTip},
        {"dimensions", info.dimensions},
        {"layout", info.layout},
        {"description", info.description},
        {"formats", QJsonArray::fromStringList(info.formats)},
    };
    out << QJsonDocument(object).toJson(QJsonDocument::Compact) << "\n";
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    bool json = false;
    QStringList paths;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg = argv[i];
        if (arg == "--json") {
            json = true;
        } else if (arg == "-h" || arg == "--help") {
            out << "usage: vistrel-info [--json] FILE...\n";
            return 0;
        } else if (arg.startsWith('-') && arg != "-") {
            err << "vistrel-info: unknown option " << arg << "\nusage: vistrel-info [--json] FILE...\n";
            return 2;
        } else {
            paths.append(AbsolutePathFromArgument(argv[i]));
        }
    }
    if (paths.isEmpty()) {
        err << "usage: vistrel-info [--json] FILE...\n";
        return 2;
    }
    ProviderManager* manager = CreateProviderManager();
    if (!manager)
        return 1;
    int missing = 0;
    for (const QString& path : paths) {
        const FileInfo info = Describe(*manager, path);
        missing += !info.found;
        json ? PrintJson(out, info) : PrintText(out, info);
    }
    out.flush();
    manager->Release();
    return missing ? 1 : 0;
}
