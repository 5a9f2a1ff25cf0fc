// vistrel-samples: draws the small sample pictures the project ships its demonstration with.
// Every picture is computed, so the same files come out on every machine.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTextStream>

#include <cmath>
#include <cstdint>
#include <functional>

namespace {
struct Rgba
{
    uint8_t r, g, b, a;
};
using Painter = std::function<Rgba(int x, int y, int w, int h)>;

void Put16(QByteArray& out, uint16_t v)
{
    out.append(char(v & 0xFF)).append(char(v >> 8));
}
void Put32(QByteArray& out, uint32_t v)
{
    Put16(out, uint16_t(v & 0xFFFF));
    Put16(out, uint16_t(v >> 16));
}

uint8_t Clamp(double v)
{
    return uint8_t(v < 0 ? 0 : v > 255 ? 255 : std::lround(v));
}

// A landscape-like scene: sky gradient, sun, hills and a textured ground.
Rgba Scene(int x, int y, int w, int h)
{
    const double u = double(x) / w, v = double(y) / h;
    const double hill = 0.55 + 0.08 * std::sin(u * 9.0) + 0.05 * std::sin(u * 23.0 + 1.0);
    if (v < hill) {
        const double sun = std::hypot(u - 0.75, v - 0.22);
        if (sun < 0.08)
            return {255, 236, 140, 255};
        return {Clamp(90 + 120 * v), Clamp(150 + 80 * v), Clamp(235 - 30 * v), 255};
    }
    const double grain = 20 * std::sin(x * 0.9) * std::sin(y * 1.3);
    return {Clamp(60 + 50 * (v - hill) + grain), Clamp(130 - 40 * (v - hill) + grain),
            Clamp(50 + grain / 2), 255};
}

// A round sprite with a soft edge and a transparent background.
Rgba Sprite(int x, int y, int w, int h)
{
    const double dx = (x + 0.5) / w - 0.5, dy = (y + 0.5) / h - 0.5;
    const double r = std::hypot(dx, dy) * 2;
    const double alpha = r < 0.8 ? 1.0 : r < 1.0 ? (1.0 - r) / 0.2 : 0.0;
    const double ring = 0.5 + 0.5 * std::cos(r * 14);
    return {Clamp(220 * ring + 30), Clamp(80 + 100 * (1 - r)), Clamp(200 * (1 - ring) + 40),
            Clamp(alpha * 255)};
}

// Horizontal bands of a 16-colour palette, with a diagonal stripe pattern.
int PaletteIndex(int x, int y, int, int h)
{
    return ((y * 16 / h) + ((x + y) / 6 % 2) * 3) % 16;
}
Rgba PaletteColour(int i)
{
    return {uint8_t(i * 17), uint8_t(255 - i * 13), uint8_t((i * 53) % 256), 255};
}

QByteArray BmpHeader(int w, int h, int bits, uint32_t compression, int paletteEntries,
                     uint32_t pixelBytes, int extra)
{
    QByteArray out;
    const uint32_t offset = 14 + 40 + extra + paletteEntries * 4;
    out.append("BM");
    Put32(out, offset + pixelBytes);
    Put32(out, 0);
    Put32(out, offset);
    Put32(out, 40);
    Put32(out, uint32_t(w));
    Put32(out, uint32_t(h));
    Put16(out, 1);
    Put16(out, uint16_t(bits));
    Put32(out, compression);
    Put32(out, pixelBytes);
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, uint32_t(paletteEntries));
    Put32(out, 0);
    return out;
}

QByteArray Bmp24(int w, int h, const Painter& paint)
{
    const int stride = (w * 3 + 3) & ~3;
    QByteArray out = BmpHeader(w, h, 24, 0, 0, uint32_t(stride * h), 0);
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row;
        for (int x = 0; x < w; ++x) {
            const Rgba c = paint(x, y, w, h);
            row.append(char(c.b)).append(char(c.g)).append(char(c.r));
        }
        row.append(QByteArray(stride - row.size(), 0));
        out.append(row);
    }
    return out;
}

QByteArray Bmp565(int w, int h, const Painter& paint)
{
    const int stride = (w * 2 + 3) & ~3;
    QByteArray out = BmpHeader(w, h, 16, 3, 0, uint32_t(stride * h), 12);
    Put32(out, 0xF800);
    Put32(out, 0x07E0);
    Put32(out, 0x001F);
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row;
        for (int x = 0; x < w; ++x) {
            const Rgba c = paint(x, y, w, h);
            Put16(row, uint16_t(((c.r >> 3) << 11) | ((c.g >> 2) << 5) | (c.b >> 3)));
        }
        row.append(QByteArray(stride - row.size(), 0));
        out.append(row);
    }
    return out;
}

QByteArray Bmp8(int w, int h)
{
    const int stride = (w + 3) & ~3;
    QByteArray out = BmpHeader(w, h, 8, 0, 256, uint32_t(stride * h), 0);
    for (int i = 0; i < 256; ++i) {
        const Rgba c = PaletteColour(i % 16);
        out.append(char(c.b)).append(char(c.g)).append(char(c.r)).append(char(0));
    }
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row;
        for (int x = 0; x < w; ++x)
            row.append(char(PaletteIndex(x, y, w, h)));
        row.append(QByteArray(stride - row.size(), 0));
        out.append(row);
    }
    return out;
}

// Uncompressed true-colour Targa, bottom row first; 32 bits carry 8 bits of alpha.
QByteArray Tga(int w, int h, int bits, const Painter& paint)
{
    QByteArray out;
    out.append(char(0)).append(char(0)).append(char(2));
    out.append(QByteArray(5, 0));
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, uint16_t(w));
    Put16(out, uint16_t(h));
    out.append(char(bits)).append(char(bits == 32 ? 8 : 0));
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            const Rgba c = paint(x, y, w, h);
            out.append(char(c.b)).append(char(c.g)).append(char(c.r));
            if (bits == 32)
                out.append(char(c.a));
        }
    }
    return out;
}
} // namespace

int main(int argc, char** argv)
{
    QTextStream err(stderr);
    if (argc != 2) {
        err << "usage: vistrel-samples OUTPUT-FOLDER\n";
        return 2;
    }
    const QString folder = QFile::decodeName(argv[1]);
    if (!QDir().mkpath(folder)) {
        err << "vistrel-samples: cannot create " << folder << "\n";
        return 1;
    }
    const struct
    {
        const char* name;
        QByteArray bytes;
    } samples[] = {
        {"scene.bmp", Bmp24(256, 256, Scene)},
        {"sprite.tga", Tga(128, 128, 32, Sprite)},
        {"palette.bmp", Bmp8(96, 64)},
        {"scene-565.bmp", Bmp565(128, 128, Scene)},
        {"scene-300x200.tga", Tga(300, 200, 24, Scene)},
    };
    for (const auto& sample : samples) {
        QFile file(folder + u'/' + QString::fromLatin1(sample.name));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(sample.bytes) != sample.bytes.size()) {
            err << "vistrel-samples: cannot write " << file.fileName() << "\n";
            return 1;
        }
    }
    return 0;
}
