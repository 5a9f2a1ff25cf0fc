// vistrel-decoder: the only code that hands file bytes to FreeImage.
//
// FreeImage is unmaintained and crashes, hangs or exhausts memory on hostile files, so it runs
// here, in a confined process that DecoderClient can kill and restart, instead of in the program
// that shows the pictures. Requests arrive on standard input and replies leave on standard
// output; both are one end of a SOCK_SEQPACKET socket (decoder_protocol.h).

#include "formats/freeimage/decoder_protocol.h"

#include <FreeImage.h>
#include <sched.h>
#include <seccomp.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <new>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace decoder_protocol;

namespace {

constexpr int kRequestFd = 0;
constexpr int kReplyFd = 1;

// CPU seconds the decoder may use over its whole life; past half of it, it retires so that the
// per-request limit below the hard limit always has room.
constexpr rlim_t kCpuBudgetSeconds = 3600;
constexpr u64 kMaxAddressSpace = u64(4) << 30;

void QuietMessage(FREE_IMAGE_FORMAT, const char*) {}

void CloseInheritedDescriptors()
{
    if (close_range(3, ~0u, 0) == 0) return;
    // Kernels before 5.9: walk the descriptor table. Collect first, since closing while reading
    // the folder would close the folder's own descriptor.
    int fds[1024];
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        const int own = dirfd(dir);
        while (dirent* entry = readdir(dir)) {
            const int fd = std::atoi(entry->d_name);
            if (fd > 2 && fd != own && count < 1024) fds[count++] = fd;
        }
        closedir(dir);
    }
    for (int i = 0; i < count; ++i)
        close(fds[i]);
}

u32 LimitResources()
{
    u32 flags = 0;
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);

    u64 limit = kMaxAddressSpace;
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0) limit = std::min(limit, u64(pages) * u64(pageSize) / 2);
    const rlimit addressSpace{rlim_t(limit), rlim_t(limit)};
    if (setrlimit(RLIMIT_AS, &addressSpace) == 0) flags |= kConfinedAddressSpace;

    const rlimit cpu{30, kCpuBudgetSeconds};
    if (setrlimit(RLIMIT_CPU, &cpu) == 0) flags |= kConfinedCpu;
    return flags;
}

u64 CpuSecondsUsed()
{
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0) return 0;
    return u64(usage.ru_utime.tv_sec) + u64(usage.ru_stime.tv_sec) + 1;
}

// Lets the coming request use cpuSeconds more; false when the lifetime budget is nearly spent.
bool ArmCpuLimit(u32 cpuSeconds)
{
    const u64 used = CpuSecondsUsed();
    const u64 soft = std::min<u64>(used + std::max<u32>(cpuSeconds, 1), kCpuBudgetSeconds);
    const rlimit cpu{rlim_t(soft), kCpuBudgetSeconds};
    setrlimit(RLIMIT_CPU, &cpu);
    return used < kCpuBudgetSeconds / 2;
}

bool AllowSyscalls()
{
    // Refused calls fail with EPERM rather than killing: a library probing for something it
    // can do without (a file to open, say) then still decodes, and nothing refused happens either
    // way.
    scmp_filter_ctx ctx = seccomp_init(SCMP_ACT_ERRNO(EPERM));
    if (!ctx) return false;
    const int plain[] = {
        SCMP_SYS(read),
        SCMP_SYS(write),
        SCMP_SYS(readv),
        SCMP_SYS(writev),
        SCMP_SYS(pread64),
        SCMP_SYS(pwrite64),
        SCMP_SYS(recvmsg),
        SCMP_SYS(sendmsg),
        SCMP_SYS(close),
        SCMP_SYS(fstat),
        SCMP_SYS(newfstatat),
        SCMP_SYS(lseek),
        SCMP_SYS(munmap),
        SCMP_SYS(mremap),
        SCMP_SYS(brk),
        SCMP_SYS(madvise),
        SCMP_SYS(futex),
        SCMP_SYS(exit),
        SCMP_SYS(exit_group),
        SCMP_SYS(rt_sigreturn),
        SCMP_SYS(rt_sigprocmask),
        SCMP_SYS(memfd_create),
        SCMP_SYS(ftruncate),
        SCMP_SYS(getrusage),
        SCMP_SYS(clock_gettime),
        SCMP_SYS(gettimeofday),
        SCMP_SYS(getpid),
        SCMP_SYS(gettid),
        SCMP_SYS(sched_yield),
        SCMP_SYS(restart_syscall),
        SCMP_SYS(tgkill),
        SCMP_SYS(set_robust_list),
        SCMP_SYS(rseq),
        SCMP_SYS(sched_getaffinity),
    };
    bool ok = true;
    for (int call : plain)
        ok = ok && seccomp_rule_add(ctx, SCMP_ACT_ALLOW, call, 0) == 0;
    // Memory, but never executable memory: a hijacked decoder gets no place to put new code.
    ok = ok && seccomp_rule_add(ctx, SCMP_ACT_ALLOW, SCMP_SYS(mmap), 1,
                                SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0)) == 0;
    ok = ok && seccomp_rule_add(ctx, SCMP_ACT_ALLOW, SCMP_SYS(mprotect), 1,
                                SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0)) == 0;
    // Threads (OpenMP in the raw decoder, OpenEXR's pool), but no new processes. clone3 passes
    // its flags in memory the filter cannot read: it is reported missing, and the C library
    // falls back to clone.
    ok = ok && seccomp_rule_add(ctx, SCMP_ACT_ALLOW, SCMP_SYS(clone), 1,
                                SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, CLONE_THREAD)) == 0;
    ok = ok && seccomp_rule_add(ctx, SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(clone3), 0) == 0;
    // Sealing the reply's memfd and reading its seals.
    ok = ok && seccomp_rule_add(ctx, SCMP_ACT_ALLOW, SCMP_SYS(fcntl), 1,
                                SCMP_A1(SCMP_CMP_EQ, F_ADD_SEALS)) == 0;
    ok = ok && seccomp_rule_add(ctx, SCMP_ACT_ALLOW, SCMP_SYS(fcntl), 1,
                                SCMP_A1(SCMP_CMP_EQ, F_GET_SEALS)) == 0;
    // Only its own CPU limit may change (ArmCpuLimit), and only below the hard limit set before.
    ok = ok && seccomp_rule_add(ctx, SCMP_ACT_ALLOW, SCMP_SYS(prlimit64), 2,
                                SCMP_A0(SCMP_CMP_EQ, 0), SCMP_A1(SCMP_CMP_EQ, RLIMIT_CPU)) == 0;
    ok = ok && seccomp_load(ctx) == 0;
    seccomp_release(ctx);
    return ok;
}

bool SendReply(const Reply& reply, int fd)
{
    iovec io{const_cast<Reply*>(&reply), sizeof reply};
    msghdr msg{};
    msg.msg_iov = &io;
    msg.msg_iovlen = 1;
    DescriptorControl control;
    if (fd >= 0)
        AttachDescriptor(msg, control, fd);
    for (;;) {
        if (sendmsg(kReplyFd, &msg, MSG_NOSIGNAL) == ssize_t(sizeof reply)) return true;
        if (errno != EINTR) return false;
    }
}

// One received request with its file bytes mapped read-only.
struct Received
{
    Request request;
    const u8* bytes = nullptr;
    u64 mappedSize = 0;

    ~Received()
    {
        if (bytes) munmap(const_cast<u8*>(bytes), mappedSize);
    }
};

enum class ReceiveResult
{
    kOk,
    kBad,
    kClosed
};

ReceiveResult ReceiveRequest(Received& out)
{
    iovec io{&out.request, sizeof out.request};
    msghdr msg{};
    msg.msg_iov = &io;
    msg.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * 4)];
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    ssize_t got;
    do {
        got = recvmsg(kRequestFd, &msg, MSG_CMSG_CLOEXEC);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) return ReceiveResult::kClosed;

    int fd = -1;
    for (cmsghdr* cmsg = CMSG_FIRSTHDR(&msg); cmsg; cmsg = CMSG_NXTHDR(&msg, cmsg)) {
        if (cmsg->cmsg_level != SOL_SOCKET || cmsg->cmsg_type != SCM_RIGHTS) continue;
        const size_t count = (cmsg->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (size_t i = 0; i < count; ++i) {
            int received;
            std::memcpy(&received, CMSG_DATA(cmsg) + i * sizeof(int), sizeof received);
            if (fd < 0)
                fd = received;
            else
                close(received);
        }
    }
    const Request& r = out.request;
    bool ok = got == ssize_t(sizeof r) && !(msg.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) &&
              r.magic == kMagic && (r.kind == kIdentify || r.kind == kLoad) && fd >= 0 &&
              r.size > 0 && r.size <= 0xFFFFFFFFu;
    struct stat st
    {
    };
    ok = ok && fstat(fd, &st) == 0 && u64(st.st_size) >= r.size;
    if (ok) {
        void* map = mmap(nullptr, r.size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (map != MAP_FAILED) {
            out.bytes = static_cast<const u8*>(map);
            out.mappedSize = r.size;
        } else {
            ok = false;
        }
    }
    if (fd >= 0) close(fd);
    return ok ? ReceiveResult::kOk : ReceiveResult::kBad;
}

struct BitmapDeleter
{
    void operator()(FIBITMAP* dib) const
    {
        if (dib) FreeImage_Unload(dib);
    }
};
using Bitmap = std::unique_ptr<FIBITMAP, BitmapDeleter>;

struct MemoryDeleter
{
    void operator()(FIMEMORY* memory) const
    {
        if (memory) FreeImage_CloseMemory(memory);
    }
};
using Memory = std::unique_ptr<FIMEMORY, MemoryDeleter>;

Memory OpenMemory(const Received& in)
{
    return Memory(FreeImage_OpenMemory(const_cast<BYTE*>(in.bytes), DWORD(in.request.size)));
}

bool WithinLimits(u64 width, u64 height)
{
    return width <= kMaxSide && height <= kMaxSide && width * height <= kMaxPixels;
}

u8 UnitToByte(float value)
{
    if (!(value > 0.0f)) return 0;
    if (value >= 1.0f) return 255;
    return u8(value * 255.0f + 0.5f);
}

// The 32-bit bitmap of a loaded one: high-bit-depth and floating-point pictures, which the 32-bit
// conversion refuses, become 8 bits per channel first, keeping an alpha channel where the source
// has one.
Bitmap Convert32(Bitmap dib)
{
    return dib ? Bitmap(FreeImage_ConvertTo32Bits(dib.get())) : nullptr;
}

Bitmap To32Bits(FIBITMAP* dib)
{
    switch (FreeImage_GetImageType(dib)) {
    case FIT_BITMAP:
        return Bitmap(FreeImage_ConvertTo32Bits(dib));
    case FIT_RGB16:
        return Convert32(Bitmap(FreeImage_ConvertTo24Bits(dib)));
    case FIT_RGBA16:
        return Bitmap(FreeImage_ConvertTo32Bits(dib));
    case FIT_UINT16:
        // The high byte of each sample, as a 16-bit greyscale file shows elsewhere.
        return Convert32(Bitmap(FreeImage_ConvertTo8Bits(dib)));
    case FIT_RGBF:
        return Convert32(Bitmap(FreeImage_ToneMapping(dib, FITMO_DRAGO03)));
    case FIT_RGBAF: {
        Bitmap rgb(FreeImage_ToneMapping(dib, FITMO_DRAGO03));
        if (!rgb) return nullptr;
        Bitmap rgba(FreeImage_ConvertTo32Bits(rgb.get()));
        if (!rgba || FreeImage_GetWidth(rgba.get()) != FreeImage_GetWidth(dib) ||
            FreeImage_GetHeight(rgba.get()) != FreeImage_GetHeight(dib))
            return nullptr;
        const unsigned width = FreeImage_GetWidth(dib);
        for (unsigned y = 0; y < FreeImage_GetHeight(dib); ++y) {
            const auto* src = reinterpret_cast<const FIRGBAF*>(FreeImage_GetScanLine(dib, y));
            BYTE* dst = FreeImage_GetScanLine(rgba.get(), y);
            for (unsigned x = 0; x < width; ++x)
                dst[x * 4 + FI_RGBA_ALPHA] = UnitToByte(src[x].alpha);
        }
        return rgba;
    }
    default:
        // Single-channel integer, floating-point and complex samples: scaled linearly to 8 bits.
        return Convert32(Bitmap(FreeImage_ConvertToStandardType(dib, TRUE)));
    }
}

bool WriteAt(int fd, const u8* data, u64 size, u64 offset)
{
    while (size > 0) {
        const ssize_t written = pwrite(fd, data, std::min<u64>(size, u64(1) << 30), off_t(offset));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        size -= u64(written);
        offset += u64(written);
    }
    return true;
}

// Creates the sealed memfd holding the reply's pixels and alpha from a 32-bit bitmap, or from a
// 24-bit one expanded as the 32-bit conversion does (opaque alpha); -1 on failure. Written
// through pwrite in slices rather than through a mapping: faulting in a fresh shared mapping
// page by page costs as much as decoding a large picture.
int WritePixels(FIBITMAP* dib, bool withAlpha, u64 width, u64 height)
{
    const u64 pixelBytes = width * height * 4;
    const u64 total = pixelBytes + (withAlpha ? width * height : 0);
    const int fd = memfd_create("vistrel-pixels", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0) return -1;
    const bool expand = FreeImage_GetBPP(dib) == 24;
    const u64 rowBytes = width * 4;
    const u64 sliceRows = std::max<u64>(1, (u64(1) << 20) / rowBytes);
    std::vector<u8> slice(size_t(sliceRows * rowBytes));
    std::vector<u8> alpha(withAlpha ? size_t(sliceRows * width) : 0);
    bool ok = ftruncate(fd, off_t(total)) == 0;
    for (u64 first = 0; ok && first < height; first += sliceRows) {
        const u64 rows = std::min(sliceRows, height - first);
        for (u64 r = 0; r < rows; ++r) {
            const BYTE* src = FreeImage_GetScanLine(dib, int(first + r));
            u8* dst = slice.data() + r * rowBytes;
            if (expand) {
                for (u64 x = 0; x < width; ++x) {
                    dst[x * 4 + FI_RGBA_BLUE] = src[x * 3 + FI_RGBA_BLUE];
                    dst[x * 4 + FI_RGBA_GREEN] = src[x * 3 + FI_RGBA_GREEN];
                    dst[x * 4 + FI_RGBA_RED] = src[x * 3 + FI_RGBA_RED];
                    dst[x * 4 + FI_RGBA_ALPHA] = 0xFF;
                }
            } else {
                std::memcpy(dst, src, rowBytes);
            }
            if (withAlpha) {
                for (u64 x = 0; x < width; ++x)
                    alpha[r * width + x] = dst[x * 4 + FI_RGBA_ALPHA];
            }
        }
        ok = WriteAt(fd, slice.data(), rows * rowBytes, first * rowBytes);
        if (ok && withAlpha)
            ok = WriteAt(fd, alpha.data(), rows * width, pixelBytes + first * width);
    }
    const int seals = F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL;
    if (!ok || fcntl(fd, F_ADD_SEALS, seals) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void Identify(const Received& in, Reply& reply)
{
    Memory memory = OpenMemory(in);
    if (!memory) {
        reply.status = kNoMemory;
        return;
    }
    reply.formatId = FreeImage_GetFileTypeFromMemory(
        memory.get(), int(std::min<u64>(in.request.size, 0x7FFFFFFF)));
    reply.status = kOk;
}

// Fills reply and returns the pixels' memfd, or -1 with reply.status saying why.
int Load(const Received& in, Reply& reply)
{
    const auto fif = FREE_IMAGE_FORMAT(in.request.formatId);
    Memory memory = OpenMemory(in);
    if (!memory) {
        reply.status = kNoMemory;
        return -1;
    }
    if (FreeImage_FIFSupportsNoPixels(fif)) {
        Bitmap header(FreeImage_LoadFromMemory(fif, memory.get(), FIF_LOAD_NOPIXELS));
        if (!header) {
            reply.status = kUnreadable;
            return -1;
        }
        if (!WithinLimits(FreeImage_GetWidth(header.get()), FreeImage_GetHeight(header.get()))) {
            reply.status = kTooLarge;
            return -1;
        }
        header.reset();
        memory = OpenMemory(in);
        if (!memory) {
            reply.status = kNoMemory;
            return -1;
        }
    }
    Bitmap source(FreeImage_LoadFromMemory(fif, memory.get(), 0));
    memory.reset();
    if (!source || !FreeImage_HasPixels(source.get())) {
        reply.status = kUnreadable;
        return -1;
    }
    if (!WithinLimits(FreeImage_GetWidth(source.get()), FreeImage_GetHeight(source.get()))) {
        reply.status = kTooLarge;
        return -1;
    }

    const u32 bpp = FreeImage_GetBPP(source.get());
    reply.bitsPerPixel = bpp;
    reply.redMask = FreeImage_GetRedMask(source.get());
    reply.greenMask = FreeImage_GetGreenMask(source.get());
    reply.blueMask = FreeImage_GetBlueMask(source.get());
    reply.colorType = FreeImage_GetColorType(source.get());
    if (reply.colorType == FIC_RGBALPHA) {
        // In 64 bits: a shift by 32 or more is undefined in 32 (high-bit-depth sources).
        const u64 all = bpp >= 32 ? 0xFFFFFFFFu : (u64(1) << bpp);
        reply.alphaMask = u32(all) & ~(reply.redMask | reply.greenMask | reply.blueMask);
    }
    reply.transparent = FreeImage_IsTransparent(source.get()) ? 1 : 0;
    if (const RGBQUAD* palette = FreeImage_GetPalette(source.get())) {
        const u32 count = std::min<u32>(FreeImage_GetColorsUsed(source.get()), kMaxPalette);
        reply.paletteCount = count;
        for (u32 i = 0; i < count; ++i) {
            const RGBQUAD& e = palette[i];
            reply.palette[i] = u32(e.rgbRed) | u32(e.rgbGreen) << 8 | u32(e.rgbBlue) << 16 |
                               u32(e.rgbReserved) << 24;
        }
    }

    // A 32-bit bitmap already has the layout wanted, and a 24-bit one is expanded while it is
    // written out: converting them first would only add a copy.
    const bool direct = FreeImage_GetImageType(source.get()) == FIT_BITMAP &&
                        (bpp == 32 || (bpp == 24 && reply.redMask == FI_RGBA_RED_MASK &&
                                       reply.greenMask == FI_RGBA_GREEN_MASK &&
                                       reply.blueMask == FI_RGBA_BLUE_MASK));
    Bitmap rgba = direct ? std::move(source) : To32Bits(source.get());
    source.reset();
    if (!rgba || (FreeImage_GetBPP(rgba.get()) != 32 && !direct)) {
        reply.status = kUnsupported;
        return -1;
    }
    const u64 width = FreeImage_GetWidth(rgba.get());
    const u64 height = FreeImage_GetHeight(rgba.get());
    if (width == 0 || height == 0 || bpp == 0) {
        reply.status = kUnreadable;
        return -1;
    }
    if (!WithinLimits(width, height)) {
        reply.status = kTooLarge;
        return -1;
    }
    // The library's transparency (a palette's transparent entries included) lives in the 32-bit
    // conversion's alpha bytes.
    const bool withAlpha = reply.alphaMask != 0 || reply.transparent != 0;
    const int fd = WritePixels(rgba.get(), withAlpha, width, height);
    if (fd < 0) {
        reply.status = kNoMemory;
        return -1;
    }
    reply.width = u32(width);
    reply.height = u32(height);
    reply.hasAlpha = withAlpha ? 1 : 0;
    reply.pixelBytes = width * height * 4;
    reply.alphaBytes = withAlpha ? width * height : 0;
    reply.status = kOk;
    return fd;
}

} // namespace

int main()
{
    // A decoder outliving the program would only burn CPU.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    CloseInheritedDescriptors();
    Reply hello;
    hello.kind = kHello;
    hello.status = kOk;
    hello.flags = LimitResources();

    FreeImage_Initialise(FALSE);
    FreeImage_SetOutputMessage(QuietMessage);
    if (AllowSyscalls()) hello.flags |= kConfinedSeccomp;
    if (!SendReply(hello, -1)) return 1;

    for (;;) {
        Received in;
        const ReceiveResult received = ReceiveRequest(in);
        if (received == ReceiveResult::kClosed) return 0;
        Reply reply;
        reply.kind = in.request.kind;
        int fd = -1;
        if (received == ReceiveResult::kOk) {
            if (!ArmCpuLimit(in.request.cpuSeconds)) reply.flags |= kRetiring;
            try {
                if (in.request.kind == kIdentify)
                    Identify(in, reply);
                else
                    fd = Load(in, reply);
            } catch (...) {
                // std::bad_alloc and friends from the library's C++ plug-ins. A plug-in left in
                // the middle of a decode may hold leaked or inconsistent state: a fresh decoder
                // takes the next request.
                fd = -1;
                reply.status = kNoMemory;
                reply.flags |= kRetiring;
            }
        }
        const bool sent = SendReply(reply, fd);
        if (fd >= 0) close(fd);
        if (!sent || (reply.flags & kRetiring)) return 0;
    }
}
