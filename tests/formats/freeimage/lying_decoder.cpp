// A stand-in for vistrel-decoder that answers load requests with replies a compromised decoder
// could send; the request's format id picks the lie. Format id 0 gets an honest 2 x 1 picture.

#include "formats/freeimage/decoder_protocol.h"

#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace decoder_protocol;

namespace {

enum Lie : i32
{
    kHonest = 0,
    kShortMemory = 1,  // the memfd is smaller than the pixels it claims
    kUnsealed = 2,     // the memfd can still shrink under the client's mapping
    kOversized = 3,    // beyond the picture size limits
    kNoDescriptor = 4, // success without pixels
    kWrongKind = 5,    // an answer to another question
    kHugePalette = 6,  // more palette entries than a reply holds
    kSizeMismatch = 7, // pixel byte count that is not width x height x 4
};

int PixelMemory(u64 size, bool seal)
{
    const int fd = memfd_create("lying", MFD_ALLOW_SEALING);
    if (ftruncate(fd, off_t(size)) != 0) return -1;
    if (seal) fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL);
    return fd;
}

void Send(const Reply& reply, int fd)
{
    iovec io{const_cast<Reply*>(&reply), sizeof reply};
    msghdr msg{};
    msg.msg_iov = &io;
    msg.msg_iovlen = 1;
    DescriptorControl control;
    if (fd >= 0)
        AttachDescriptor(msg, control, fd);
    sendmsg(1, &msg, MSG_NOSIGNAL);
}

} // namespace

int main()
{
    Reply hello;
    hello.kind = kHello;
    hello.status = kOk;
    Send(hello, -1);
    for (;;) {
        Request request;
        iovec io{&request, sizeof request};
        msghdr msg{};
        msg.msg_iov = &io;
        msg.msg_iovlen = 1;
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        if (recvmsg(0, &msg, 0) <= 0) return 0;
        Reply reply;
        reply.kind = request.kind;
        reply.status = kOk;
        reply.bitsPerPixel = 32;
        reply.width = 2;
        reply.height = 1;
        reply.pixelBytes = 8;
        u64 memorySize = 8;
        bool seal = true;
        bool attach = true;
        switch (request.formatId) {
        case kShortMemory:
            reply.width = 2048;
            reply.height = 2048;
            reply.pixelBytes = 2048 * 2048 * 4;
            break;
        case kUnsealed:
            seal = false;
            break;
        case kOversized:
            reply.width = 70000;
            reply.pixelBytes = u64(70000) * 4;
            memorySize = reply.pixelBytes;
            break;
        case kNoDescriptor:
            attach = false;
            break;
        case kWrongKind:
            reply.kind = kIdentify;
            break;
        case kHugePalette:
            reply.paletteCount = 1000;
            break;
        case kSizeMismatch:
            reply.pixelBytes = 4;
            break;
        default:
            break;
        }
        const int fd = attach ? PixelMemory(memorySize, seal) : -1;
        Send(reply, fd);
        if (fd >= 0) close(fd);
    }
}
