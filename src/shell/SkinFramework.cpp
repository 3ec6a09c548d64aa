#include "SkinFramework.h"

QVariant RecordingSkinFramework::invoke(CallKind kind, int dispatchId, const QVariantList& arguments)
{
    calls.push_back({kind, dispatchId, arguments});
    if (dispatchId == 1) {
        if (kind == CallKind::PropertyGet)
            return optionFlags;
        if (kind == CallKind::PropertyPut && !arguments.isEmpty())
            optionFlags = arguments.front().toInt();
    }
    return {};
}
