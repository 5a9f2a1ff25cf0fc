#include "framework/ref_object.h"

#include "framework/debug_output.h"

RefObject::~RefObject()
{
    if (m_refCount >= 2) {
        // The address is printed as a full-width upper-case hex number, as "%08p" prints it.
        const QString address =
            QStringLiteral("%1").arg(quintptr(this), int(sizeof(void*) * 2), 16, QLatin1Char('0'));
        DebugOutput(QStringLiteral(" *** WARNING: object released via 'delete': %1\n")
                        .arg(address.toUpper()));
    }
}

void RefObject::Release()
{
    if (m_refCount >= 2)
        --m_refCount;
    else
        delete this;
}
