#pragma once
// The messages exchanged between DecoderClient and vistrel-decoder.
//
// The two ends share one AF_UNIX SOCK_SEQPACKET socket (the decoder's standard input and output
// are that socket): every message is one packet, so a message never arrives in pieces, and
// descriptors travel beside it as SCM_RIGHTS. File bytes go to the decoder, and pixels come back,
// in sealed memfds; the packets themselves stay small. The decoder is untrusted: the client
// checks every field of a reply before it uses it.

#include "framework/types.h"

#include <cstring>
#include <sys/socket.h>

namespace decoder_protocol {

inline constexpr u32 kMagic = 0x56445031; // "VDP1"

enum Kind : u32
{
    kHello = 1,    // decoder -> client once, after its confinement is in place
    kIdentify = 2, // client -> decoder with the file bytes; the reply carries the format id
    kLoad = 3,     // client -> decoder with the format id and the file bytes
};

enum Status : i32
{
    kOk = 0,
    kBadRequest = 1,
    kUnreadable = 2, // the library gave no bitmap
    kTooLarge = 3,   // beyond the picture size limits
    kNoMemory = 4,
    kUnsupported = 5, // a bitmap type that does not convert to 32 bits
};

// Confinement the decoder managed to put in place (kHello's flags).
enum HelloFlags : u32
{
    kConfinedAddressSpace = 0x1,
    kConfinedCpu = 0x2,
    kConfinedSeccomp = 0x4,
};

// Reply flags.
enum ReplyFlags : u32
{
    // The decoder has used most of its CPU budget and exits after this reply; the client starts
    // a new one for the next request.
    kRetiring = 0x1,
};

// Limits every decoder in the program follows.
inline constexpr u64 kMaxSide = 65536;
inline constexpr u64 kMaxPixels = 268435456;
inline constexpr u32 kMaxPalette = 256;

struct Request
{
    u32 magic = kMagic;
    u32 kind = 0;
    i32 formatId = -1;
    // CPU seconds this request may use; the decoder lowers its CPU limit to that.
    u32 cpuSeconds = 0;
    // Bytes of the file in the attached memfd.
    u64 size = 0;
};

struct Reply
{
    u32 magic = kMagic;
    u32 kind = 0;
    i32 status = kBadRequest;
    u32 flags = 0;
    // kIdentify: the library's format id, -1 when unknown.
    i32 formatId = -1;
    // kLoad: the source as the library loaded it.
    u32 bitsPerPixel = 0;
    u32 redMask = 0;
    u32 greenMask = 0;
    u32 blueMask = 0;
    u32 colorType = 0;
    u32 alphaMask = 0;
    u32 transparent = 0;
    u32 hasAlpha = 0;
    u32 width = 0;
    u32 height = 0;
    u32 paletteCount = 0;
    u32 palette[kMaxPalette] = {};
    // The attached memfd holds pixelBytes of 32-bit pixels followed by alphaBytes of alpha.
    u64 pixelBytes = 0;
    u64 alphaBytes = 0;
};

} // namespace decoder_protocol

// Space for the one descriptor a message carries beside its packet.
struct DescriptorControl
{
    alignas(cmsghdr) char bytes[CMSG_SPACE(sizeof(int))] = {};
};

// Makes msg carry fd (SCM_RIGHTS) in control's space.
inline void AttachDescriptor(msghdr& msg, DescriptorControl& control, int fd)
{
    msg.msg_control = control.bytes;
    msg.msg_controllen = sizeof control.bytes;
    cmsghdr* cmsg = CMSG_FIRSTHDR(&msg);
    cmsg->cmsg_level = SOL_SOCKET;
    cmsg->cmsg_type = SCM_RIGHTS;
    cmsg->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(cmsg), &fd, sizeof fd);
}
