// The cost of decoding in the confined decoder process instead of in process: a small picture
// shows the fixed cost per request, the large ones the cost of moving their pixels.

#include "formats/freeimage/decoder_client.h"

#include <benchmark/benchmark.h>
#include <FreeImage.h>
#include <QByteArray>
#include <QFileInfo>

#include <cstring>
#include <memory>
#include <vector>

namespace {

void QuietMessage(FREE_IMAGE_FORMAT, const char*) {}

struct BitmapDeleter
{
    void operator()(FIBITMAP* dib) const
    {
        if (dib) FreeImage_Unload(dib);
    }
};
using Bitmap = std::unique_ptr<FIBITMAP, BitmapDeleter>;

QByteArray Save(FIBITMAP* dib, FREE_IMAGE_FORMAT fif, int flags)
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

struct Fixture
{
    const char* name;
    FREE_IMAGE_FORMAT fif;
    QByteArray file;
};

// Made once per run from the same Kodak picture: a 64 x 64 crop as PNG, and the picture scaled
// to 4096 x 4096 as PNG and to 6000 x 4000 as JPEG.
const std::vector<Fixture>& Fixtures()
{
    static const std::vector<Fixture> fixtures = [] {
        std::vector<Fixture> out;
        FreeImage_Initialise(FALSE);
        FreeImage_SetOutputMessage(QuietMessage);
        const QByteArray path = QByteArray(VISTREL_SHARED_DIR) + "/bench-images/kodak/kodim23.png";
        if (!QFileInfo::exists(QString::fromLocal8Bit(path))) return out;
        Bitmap kodak(FreeImage_Load(FIF_PNG, path.constData(), 0));
        if (!kodak) return out;
        Bitmap rgb(FreeImage_ConvertTo24Bits(kodak.get()));
        Bitmap crop(FreeImage_Copy(rgb.get(), 300, 200, 364, 264));
        Bitmap square(FreeImage_Rescale(rgb.get(), 4096, 4096, FILTER_BILINEAR));
        Bitmap wide(FreeImage_Rescale(rgb.get(), 6000, 4000, FILTER_BILINEAR));
        out.push_back({"png_64x64", FIF_PNG, Save(crop.get(), FIF_PNG, 0)});
        out.push_back({"png_4096x4096", FIF_PNG, Save(square.get(), FIF_PNG, 0)});
        out.push_back({"jpeg_6000x4000", FIF_JPEG, Save(wide.get(), FIF_JPEG, JPEG_QUALITYGOOD)});
        return out;
    }();
    return fixtures;
}

// What the in-process adapter does: load, convert to 32 bits, copy the pixels out.
void InProcess(benchmark::State& state, int which)
{
    if (Fixtures().empty()) {
        state.SkipWithError("benchmark pictures absent");
        return;
    }
    const Fixture& f = Fixtures()[size_t(which)];
    std::vector<u8> target;
    for (auto _ : state) {
        FIMEMORY* memory = FreeImage_OpenMemory(
            reinterpret_cast<BYTE*>(const_cast<char*>(f.file.constData())), DWORD(f.file.size()));
        Bitmap loaded(FreeImage_LoadFromMemory(f.fif, memory, 0));
        FreeImage_CloseMemory(memory);
        Bitmap rgba(FreeImage_ConvertTo32Bits(loaded.get()));
        loaded.reset();
        const size_t bytes =
            size_t(FreeImage_GetPitch(rgba.get())) * FreeImage_GetHeight(rgba.get());
        target.resize(bytes);
        std::memcpy(target.data(), FreeImage_GetBits(rgba.get()), bytes);
        benchmark::DoNotOptimize(target.data());
    }
}

// The same through the decoder process, copying its pixels out likewise.
void ThroughDecoder(benchmark::State& state, int which)
{
    if (Fixtures().empty()) {
        state.SkipWithError("benchmark pictures absent");
        return;
    }
    const Fixture& f = Fixtures()[size_t(which)];
    DecoderClient& client = DecoderClient::Shared();
    if (!client.Load(f.fif, f.file)) {
        state.SkipWithError("the decoder failed");
        return;
    }
    std::vector<u8> target;
    for (auto _ : state) {
        std::optional<DecodedPicture> picture = client.Load(f.fif, f.file);
        if (!picture) {
            state.SkipWithError("the decoder failed");
            return;
        }
        target.resize(picture->PixelBytes());
        std::memcpy(target.data(), picture->Pixels(), target.size());
        benchmark::DoNotOptimize(target.data());
    }
    state.counters["restarts"] = double(client.StartCount() - 1);
}

void Register()
{
    const char* names[] = {"png_64x64", "png_4096x4096", "jpeg_6000x4000"};
    for (int i = 0; i < 3; ++i) {
        benchmark::RegisterBenchmark((std::string("InProcess/") + names[i]).c_str(), InProcess, i)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("Decoder/") + names[i]).c_str(), ThroughDecoder,
                                     i)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
    }
}

} // namespace

int main(int argc, char** argv)
{
    Register();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
