#include "formats/freeimage/decoder_client.h"

#include "formats/freeimage/decoder_protocol.h"

#include <QByteArray>
#include <QFileInfo>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace decoder_protocol;

namespace {

using Clock = std::chrono::steady_clock;

class UniqueFd
{
public:
    explicit UniqueFd(int fd = -1) : m_fd(fd) {}
    ~UniqueFd()
    {
        if (m_fd >= 0) close(m_fd);
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int Get() const { return m_fd; }
    int Release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

int RemainingMs(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? int(left.count()) : 0;
}

// A sealed memfd holding a copy of the bytes.
int MakeFileMemory(QByteArrayView bytes)
{
    UniqueFd fd(memfd_create("vistrel-file", MFD_CLOEXEC | MFD_ALLOW_SEALING));
    if (fd.Get() < 0) return -1;
    const char* data = bytes.data();
    u64 left = u64(bytes.size());
    while (left > 0) {
        const ssize_t written = write(fd.Get(), data, std::min<u64>(left, u64(1) << 30));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return -1;
        data += written;
        left -= u64(written);
    }
    if (fcntl(fd.Get(), F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0)
        return -1;
    return fd.Release();
}

QString FindBubblewrap()
{
    for (const char* path : {"/usr/bin/bwrap", "/bin/bwrap", "/usr/local/bin/bwrap"}) {
        if (access(path, X_OK) == 0) return QString::fromLatin1(path);
    }
    return {};
}

bool ValidReply(const Reply& r, u32 kind)
{
    if (r.magic != kMagic || r.kind != kind) return false;
    if (kind != kLoad || r.status != kOk) return true;
    const u64 width = r.width;
    const u64 height = r.height;
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide &&
           width * height <= kMaxPixels && r.paletteCount <= kMaxPalette &&
           r.pixelBytes == width * height * 4 &&
           r.alphaBytes == (r.hasAlpha ? width * height : 0) && r.bitsPerPixel != 0;
}

} // namespace

DecodedPicture::DecodedPicture(DecodedPicture&& other) noexcept
{
    *this = std::move(other);
}

DecodedPicture& DecodedPicture::operator=(DecodedPicture&& other) noexcept
{
    if (this != &other) {
        Reset();
        bitsPerPixel = other.bitsPerPixel;
        redMask = other.redMask;
        greenMask = other.greenMask;
        blueMask = other.blueMask;
        colorType = other.colorType;
        alphaMask = other.alphaMask;
        transparent = other.transparent;
        palette = std::move(other.palette);
        width = other.width;
        height = other.height;
        m_map = other.m_map;
        m_mapSize = other.m_mapSize;
        m_hasAlpha = other.m_hasAlpha;
        other.m_map = nullptr;
        other.m_mapSize = 0;
        other.m_hasAlpha = false;
    }
    return *this;
}

DecodedPicture::~DecodedPicture()
{
    Reset();
}

void DecodedPicture::Reset()
{
    if (m_map) munmap(m_map, m_mapSize);
    m_map = nullptr;
    m_mapSize = 0;
    m_hasAlpha = false;
}

struct DecoderClient::Exchange
{
    Reply reply;
    int fd = -1;

    ~Exchange()
    {
        if (fd >= 0) close(fd);
    }
};

DecoderClient::DecoderClient() = default;

DecoderClient::~DecoderClient()
{
    std::lock_guard lock(m_mutex);
    Stop();
}

DecoderClient& DecoderClient::Shared()
{
    static DecoderClient client;
    return client;
}

void DecoderClient::SetDeadline(int milliseconds)
{
    std::lock_guard lock(m_mutex);
    m_deadlineMs = milliseconds > 0 ? milliseconds : kDefaultDeadlineMs;
}

int DecoderClient::Deadline() const
{
    std::lock_guard lock(m_mutex);
    return m_deadlineMs;
}

pid_t DecoderClient::ProcessId() const
{
    std::lock_guard lock(m_mutex);
    return m_pid;
}

int DecoderClient::StartCount() const
{
    std::lock_guard lock(m_mutex);
    return m_startCount;
}

u32 DecoderClient::Confinement() const
{
    std::lock_guard lock(m_mutex);
    return m_confinement;
}

bool DecoderClient::Sandboxed() const
{
    std::lock_guard lock(m_mutex);
    return m_sandboxed;
}

QString DecoderClient::DecoderPath()
{
    const QByteArray fromEnvironment = qgetenv("VISTREL_DECODER");
    if (!fromEnvironment.isEmpty()) return QString::fromLocal8Bit(fromEnvironment);
    const QFileInfo self(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath());
    const QString beside = self.absolutePath() + QStringLiteral("/vistrel-decoder");
    if (QFileInfo(beside).isExecutable()) return beside;
#ifdef VISTREL_DECODER_BUILD_PATH
    return QStringLiteral(VISTREL_DECODER_BUILD_PATH);
#else
    return beside;
#endif
}

i32 DecoderClient::Identify(QByteArrayView bytes)
{
    std::lock_guard lock(m_mutex);
    Exchange exchange;
    if (!Transact(kIdentify, -1, bytes, exchange) || exchange.reply.status != kOk) return -1;
    return exchange.reply.formatId;
}

std::optional<DecodedPicture> DecoderClient::Load(i32 formatId, QByteArrayView bytes)
{
    std::lock_guard lock(m_mutex);
    Exchange exchange;
    if (!Transact(kLoad, formatId, bytes, exchange) || exchange.reply.status != kOk)
        return std::nullopt;
    const Reply& r = exchange.reply;
    // The memfd must be sealed against shrinking (a shrunk file would fault our mapping) and
    // writing (the decoder could change pixels while we read them), and hold what the reply says.
    const u64 total = r.pixelBytes + r.alphaBytes;
    struct stat st
    {
    };
    const int seals = exchange.fd >= 0 ? fcntl(exchange.fd, F_GET_SEALS) : -1;
    if (seals < 0 || (seals & (F_SEAL_SHRINK | F_SEAL_WRITE)) != (F_SEAL_SHRINK | F_SEAL_WRITE) ||
        fstat(exchange.fd, &st) != 0 || u64(st.st_size) < total) {
        Stop();
        return std::nullopt;
    }
    void* map = mmap(nullptr, total, PROT_READ, MAP_SHARED | MAP_POPULATE, exchange.fd, 0);
    if (map == MAP_FAILED) return std::nullopt;

    std::optional<DecodedPicture> picture(std::in_place);
    picture->m_map = static_cast<u8*>(map);
    picture->m_mapSize = total;
    picture->m_hasAlpha = r.hasAlpha != 0;
    picture->bitsPerPixel = r.bitsPerPixel;
    picture->redMask = r.redMask;
    picture->greenMask = r.greenMask;
    picture->blueMask = r.blueMask;
    picture->colorType = r.colorType;
    picture->alphaMask = r.alphaMask;
    picture->transparent = r.transparent != 0;
    picture->width = r.width;
    picture->height = r.height;
    try {
        picture->palette.assign(r.palette, r.palette + r.paletteCount);
    } catch (...) {
        return std::nullopt;
    }
    return picture;
}

bool DecoderClient::Transact(u32 kind, i32 formatId, QByteArrayView bytes, Exchange& exchange)
{
    if (bytes.isEmpty() || u64(bytes.size()) > 0xFFFFFFFFu) return false;
    UniqueFd fileFd(MakeFileMemory(bytes));
    if (fileFd.Get() < 0) return false;
    // A decoder that died since the last request (killed from outside, or retired) is replaced
    // first; one that dies before it has read the request is replaced once more, since the
    // request itself cannot have been the cause.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!Alive()) {
            Stop();
            if (!Start()) return false;
        }
        bool hungUpBeforeReply = false;
        if (TransactOnce(fileFd.Get(), u64(bytes.size()), kind, formatId, exchange,
                         hungUpBeforeReply))
            return true;
        if (!hungUpBeforeReply) return false;
    }
    return false;
}

bool DecoderClient::TransactOnce(int fileFd, u64 size, u32 kind, i32 formatId, Exchange& exchange,
                                 bool& hungUpBeforeReply)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(m_deadlineMs);
    Request request;
    request.kind = kind;
    request.formatId = formatId;
    request.cpuSeconds = u32(m_deadlineMs / 1000 + 2);
    request.size = size;

    iovec io{&request, sizeof request};
    msghdr msg{};
    msg.msg_iov = &io;
    msg.msg_iovlen = 1;
    DescriptorControl control;
    AttachDescriptor(msg, control, fileFd);

    for (;;) {
        const ssize_t sent = sendmsg(m_socket, &msg, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent == ssize_t(sizeof request)) break;
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{m_socket, POLLOUT, 0};
            if (poll(&p, 1, RemainingMs(deadline)) > 0 && !(p.revents & (POLLHUP | POLLERR)))
                continue;
            hungUpBeforeReply = (p.revents & (POLLHUP | POLLERR)) != 0;
        } else {
            hungUpBeforeReply = sent < 0 && (errno == EPIPE || errno == ECONNRESET);
        }
        Stop();
        return false;
    }

    for (;;) {
        pollfd p{m_socket, POLLIN, 0};
        const int ready = poll(&p, 1, RemainingMs(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) {
            // Missed the deadline: the decoder is hung on this file.
            Stop();
            return false;
        }
        if (!(p.revents & POLLIN)) {
            // Died while decoding: a crash, or a limit it ran into.
            Stop();
            return false;
        }
        iovec in{&exchange.reply, sizeof exchange.reply};
        msghdr reply{};
        reply.msg_iov = &in;
        reply.msg_iovlen = 1;
        alignas(cmsghdr) char replyControl[CMSG_SPACE(sizeof(int) * 4)];
        reply.msg_control = replyControl;
        reply.msg_controllen = sizeof replyControl;
        const ssize_t got = recvmsg(m_socket, &reply, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        for (cmsghdr* c = CMSG_FIRSTHDR(&reply); c; c = CMSG_NXTHDR(&reply, c)) {
            if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS) continue;
            const size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
            for (size_t i = 0; i < count; ++i) {
                int fd;
                std::memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof fd);
                if (exchange.fd < 0)
                    exchange.fd = fd;
                else
                    close(fd);
            }
        }
        if (got != ssize_t(sizeof exchange.reply) || (reply.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) ||
            !ValidReply(exchange.reply, kind)) {
            // A decoder that says something else than asked is not to be trusted further.
            Stop();
            return false;
        }
        if (exchange.reply.flags & kRetiring) m_retiring = true;
        return true;
    }
}

bool DecoderClient::Alive()
{
    if (m_pid <= 0 || m_socket < 0 || m_retiring) return false;
    pollfd p{m_socket, POLLIN, 0};
    // Any event between requests (a hang-up, or data nobody asked for) means it is gone.
    if (poll(&p, 1, 0) != 0) return false;
    int status;
    const pid_t waited = waitpid(m_pid, &status, WNOHANG);
    // ECHILD: the program lets its children be reaped for it (SIGCHLD ignored); the socket
    // then tells alone.
    if (waited == 0 || (waited < 0 && errno == ECHILD)) return true;
    m_pid = 0; // reaped already: never signal a number that may have been reused
    return false;
}

bool DecoderClient::Start()
{
    if (m_sandboxFailed || FindBubblewrap().isEmpty()) return StartWith(false);
    if (StartWith(true)) return true;
    // bubblewrap is installed but cannot set up its sandbox here (no namespaces in a container,
    // for one): decode without it rather than not at all. A decoder that does not start
    // without it either says nothing about bubblewrap.
    if (!StartWith(false)) return false;
    m_sandboxFailed = true;
    return true;
}

bool DecoderClient::StartWith(bool sandbox)
{
    const QByteArray decoder = DecoderPath().toLocal8Bit();
    const QByteArray bwrap = FindBubblewrap().toLocal8Bit();
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) return false;
    UniqueFd ours(pair[0]);
    UniqueFd theirs(pair[1]);

    std::vector<const char*> argv;
    if (sandbox) {
        argv = {bwrap.constData(),
                "--ro-bind",
                "/",
                "/",
                "--dev",
                "/dev",
                "--unshare-all",
                "--die-with-parent",
                "--new-session",
                "--cap-drop",
                "ALL",
                "--",
                decoder.constData()};
    } else {
        argv = {decoder.constData()};
    }
    argv.push_back(nullptr);
    char* const environment[] = {nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_adddup2(&actions, theirs.Get(), 0);
    posix_spawn_file_actions_adddup2(&actions, theirs.Get(), 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, &attributes,
                                    const_cast<char* const*>(argv.data()), environment);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) return false;
    ++m_startCount;
    m_pid = pid;
    m_socket = ours.Release();
    m_retiring = false;
    m_sandboxed = sandbox;
    m_confinement = 0;
    close(theirs.Release());

    // The decoder greets once its confinement is in place; a decoder that cannot start (or a
    // sandbox that cannot be set up) hangs up instead.
    const auto deadline = Clock::now() + std::chrono::milliseconds(m_deadlineMs);
    Reply hello;
    for (;;) {
        pollfd p{m_socket, POLLIN, 0};
        const int ready = poll(&p, 1, RemainingMs(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0 || !(p.revents & POLLIN)) break;
        const ssize_t got = recv(m_socket, &hello, sizeof hello, MSG_DONTWAIT);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (got == ssize_t(sizeof hello) && hello.magic == kMagic && hello.kind == kHello) {
            m_confinement = hello.flags;
            return true;
        }
        break;
    }
    Stop();
    return false;
}

void DecoderClient::Stop()
{
    if (m_socket >= 0) close(m_socket);
    m_socket = -1;
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        int status;
        while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    m_pid = 0;
    m_retiring = false;
}
