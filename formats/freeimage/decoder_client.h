#pragma once
// The program's side of vistrel-decoder: FreeImage identification and loading, run in a confined
// helper process so that a hostile file can crash or hang only that process.

#include "framework/types.h"

#include <QByteArrayView>
#include <QString>

#include <mutex>
#include <optional>
#include <sys/types.h>
#include <vector>

// What the decoder made of a file: the source as the library loaded it, and its 32-bit pixels.
// Owns a read-only mapping of the pixels; move-only.
class DecodedPicture
{
public:
    DecodedPicture() = default;
    DecodedPicture(DecodedPicture&& other) noexcept;
    DecodedPicture& operator=(DecodedPicture&& other) noexcept;
    DecodedPicture(const DecodedPicture&) = delete;
    DecodedPicture& operator=(const DecodedPicture&) = delete;
    ~DecodedPicture();

    // The loaded bitmap's bits per pixel (the source bit depth the file reports, also for
    // high-bit-depth pictures), its masks and colour type (FREE_IMAGE_COLOR_TYPE).
    u32 bitsPerPixel = 0;
    u32 redMask = 0;
    u32 greenMask = 0;
    u32 blueMask = 0;
    u32 colorType = 0;
    // Nonzero only for the colour type "RGB with alpha": every bit of the pixel but the colour
    // masks' (all 32 bits for sources of 32 bits or more).
    u32 alphaMask = 0;
    // The library reports the bitmap transparent (a palette with transparent entries, or alpha).
    bool transparent = false;
    // The library's palette, entries red | green << 8 | blue << 16 | reserved << 24; empty when
    // the bitmap has none.
    std::vector<u32> palette;
    u32 width = 0;
    u32 height = 0;

    // width * height pixels of 4 bytes (blue, green, red, alpha), bottom row first, rows packed
    // (pitch = width * 4).
    const u8* Pixels() const { return m_map; }
    u64 PixelBytes() const { return u64(width) * height * 4; }
    u32 Pitch() const { return width * 4; }
    // width * height alpha bytes in the pixels' order, or null when the picture has no alpha
    // plane: there is one when alphaMask is nonzero or the bitmap is transparent.
    const u8* Alpha() const { return m_hasAlpha ? m_map + PixelBytes() : nullptr; }

private:
    friend class DecoderClient;
    void Reset();

    u8* m_map = nullptr;
    u64 m_mapSize = 0;
    bool m_hasAlpha = false;
};

class DecoderClient
{
public:
    static constexpr int kDefaultDeadlineMs = 10000;

    DecoderClient();
    ~DecoderClient();
    DecoderClient(const DecoderClient&) = delete;
    DecoderClient& operator=(const DecoderClient&) = delete;

    // The process-wide client, shared by identification and loading.
    static DecoderClient& Shared();

    // How long one request may take before the decoder is killed.
    void SetDeadline(int milliseconds);
    int Deadline() const;

    // The library's format id of a file's bytes; -1 when unknown or when the decoder failed.
    i32 Identify(QByteArrayView bytes);
    // Decodes a file's bytes as the library's format formatId; nothing when the library cannot
    // read them, the picture is beyond the size limits, or the decoder crashed, ran out of its
    // limits or missed the deadline.
    std::optional<DecodedPicture> Load(i32 formatId, QByteArrayView bytes);

    // The running decoder's process id (the sandbox's, when it runs under bubblewrap); 0 when
    // none runs.
    pid_t ProcessId() const;
    // How many decoder processes this client has started.
    int StartCount() const;
    // The confinement of the running decoder (decoder_protocol::HelloFlags) and whether it runs
    // under bubblewrap.
    u32 Confinement() const;
    bool Sandboxed() const;

    // The decoder program: $VISTREL_DECODER, else vistrel-decoder beside the running program,
    // else the one in the build folder.
    static QString DecoderPath();

private:
    struct Exchange;
    bool Start();
    bool StartWith(bool sandbox);
    void Stop();
    bool Alive();
    bool Transact(u32 kind, i32 formatId, QByteArrayView bytes, Exchange& exchange);
    bool TransactOnce(int fileFd, u64 size, u32 kind, i32 formatId, Exchange& exchange,
                      bool& hungUpBeforeReply);

    mutable std::mutex m_mutex;
    int m_deadlineMs = kDefaultDeadlineMs;
    pid_t m_pid = 0;
    int m_socket = -1;
    int m_startCount = 0;
    u32 m_confinement = 0;
    bool m_sandboxed = false;
    bool m_sandboxFailed = false;
    bool m_retiring = false;
};
