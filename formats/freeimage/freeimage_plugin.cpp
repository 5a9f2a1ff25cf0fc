#include "formats/freeimage/freeimage_plugin.h"

#include "formats/freeimage/decoder_client.h"
#include "formats/freeimage/freeimage_codec.h"
#include "framework/item.h"
#include "framework/stream.h"

#include <new>

FreeImagePlugin::FreeImagePlugin()
{
    static_assert(sizeof m_codecs / sizeof m_codecs[0] == kFreeImageFormatCount);
    for (int i = 0; i < kFreeImageFormatCount; ++i) {
        m_codecs[i] = new (std::nothrow) FreeImageCodec(kFreeImageFormats[i]);
        AddProvider(m_codecs[i]);
    }
}

FreeImageCodec* FreeImagePlugin::GetCodec(int index) const
{
    return index >= 0 && index < kFreeImageFormatCount ? m_codecs[index] : nullptr;
}

bool FreeImagePlugin::ProbeItem(Item* item, Stream* stream, u32 kindMask)
{
    if (!stream || (kindMask != 0 && kindMask != 2)) return false;
    QByteArray bytes;
    if (!ReadWholeStream(*stream, bytes)) return false;
    const i32 id = DecoderClient::Shared().Identify(bytes);
    if (id < 0) return true;
    for (int i = 0; i < kFreeImageFormatCount; ++i) {
        if (kFreeImageFormats[i].id == id) {
            if (item && m_codecs[i]) item->AddInstance(m_codecs[i]);
            break;
        }
    }
    return true;
}
