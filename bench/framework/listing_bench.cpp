// Listing a large folder through the framework against the bare system calls it stands on.

#include "formats/provider_registry.h"
#include "framework/find_context.h"
#include "framework/item.h"
#include "framework/locate_item.h"
#include "framework/provider_manager.h"

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr int kFileCount = 100000;

// One folder of empty files, made once per process.
QString LargeFolder()
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/vistrel-bench-XXXXXX"));
    static bool made = false;
    if (!made) {
        const QByteArray base = QFile::encodeName(dir.path());
        for (int i = 0; i < kFileCount; ++i) {
            const QByteArray path = base + "/file_" + QByteArray::number(i) + ".bmp";
            const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
            if (fd >= 0)
                ::close(fd);
        }
        made = true;
    }
    return dir.path();
}

void BM_FrameworkListing(benchmark::State& state)
{
    const QString path = LargeFolder();
    ProviderManager* manager = CreateProviderManager();
    Item* folder = LocateItem(*manager, path);
    if (!folder) {
        state.SkipWithError("cannot locate the folder");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        folder->RemoveAllChildren(true); // fresh items every round
        state.ResumeTiming();
        int count = 0;
        FindContext* context = folder->FindFirst({}, 0);
        if (context) {
            do {
                if (folder->FindOrCreateChild(context->GetName()))
                    ++count;
            } while (folder->FindNext(*context));
            folder->FindClose(context);
        }
        benchmark::DoNotOptimize(count);
    }
    state.SetItemsProcessed(state.iterations() * kFileCount);
    manager->Release();
}

void BM_BareListing(benchmark::State& state)
{
    const QByteArray path = QFile::encodeName(LargeFolder());
    for (auto _ : state) {
        DIR* dir = ::opendir(path.constData());
        int count = 0;
        while (const dirent* entry = ::readdir(dir)) {
            struct stat st;
            if (::fstatat(::dirfd(dir), entry->d_name, &st, 0) == 0)
                ++count;
        }
        ::closedir(dir);
        benchmark::DoNotOptimize(count);
    }
    state.SetItemsProcessed(state.iterations() * kFileCount);
}
} // namespace

BENCHMARK(BM_BareListing)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_FrameworkListing)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK_MAIN();
