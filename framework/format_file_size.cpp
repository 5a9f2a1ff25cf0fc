#include "framework/format_file_size.h"

#include <algorithm>

namespace {
constexpr const char16_t* kUnits[] = {u"", u" [Kb]", u" [Mb]", u" [Gb]", u" [Tb]"};
constexpr u64 kThresholds[] = {1, 1024, 1048576, 1073741824, 0};

u64 StepUp(u64 size)
{
    return size / 1024 + (size % 1024 != 0); // rounds up without overflowing
}
} // namespace

QString FormatFileSize(u64 size, u32 flags)
{
    int unit = 0;
    if (flags & kSizeStepsMask) {
        for (u32 n = (flags >> 4) & 0xF; unit < 5 && n > 0 && size >= 1024; --n, ++unit)
            size = StepUp(size);
    }
    if (flags & kSizeThresholdMask) {
        for (u32 i = (flags >> 8) & 0xF; unit < 5 && i < 5 && size >= kThresholds[i]; ++i, ++unit)
            size = StepUp(size);
    }
    const QString digits = QString::number(size);
    QString text;
    if (flags & kSizeGroupDigits) {
        for (qsizetype i = 0; i < digits.size(); ++i) {
            const qsizetype fromRight = digits.size() - i;
            if (i > 0 && fromRight % 3 == 0)
                text.append(u' ');
            text.append(digits[i]);
        }
    } else {
        text = digits;
    }
    text.append(QStringView(kUnits[std::min(unit, 4)]));
    return text;
}

bool FormatFileSize(char16_t* out, u32 outChars, u64 size, u32 flags)
{
    if (!out || outChars == 0)
        return false;
    const QString text = FormatFileSize(size, flags);
    const qsizetype limit = std::min<qsizetype>(128, qsizetype(outChars) - 1);
    const qsizetype n = std::min(text.size(), limit);
    std::copy_n(reinterpret_cast<const char16_t*>(text.utf16()), n, out);
    out[n] = 0;
    return n == text.size();
}
