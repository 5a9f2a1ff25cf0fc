#include "framework/locate_item.h"

#include "framework/find_context.h"
#include "framework/item.h"
#include "framework/path.h"
#include "framework/provider_manager.h"

namespace {
Item* LocateChild(Item& folder, QStringView name)
{
    if (Item* child = folder.FindChild(name))
        return child;
    // The name as its own pattern would match other names if it held wildcards; list then.
    const bool literal = !name.contains(u'*') && !name.contains(u'?');
    FindContext* context = folder.FindFirst(literal ? name : QStringView(), 0);
    Item* found = nullptr;
    if (context) {
        do {
            if (context->GetName() == name) {
                found = folder.FindOrCreateChild(name);
                break;
            }
        } while (folder.FindNext(*context));
        folder.FindClose(context);
    }
    return found;
}
} // namespace

Item* LocateItem(ProviderManager& manager, QStringView absolutePath)
{
    const SplitPathResult split = SplitPath(absolutePath);
    Item* current = manager.GetRoot();
    if (!split.absolute || !current)
        return nullptr;
    for (QStringView component : split.components) {
        current = LocateChild(*current, component);
        if (!current)
            return nullptr;
    }
    return current;
}

bool ListChildren(Item& folder)
{
    FindContext* context = folder.FindFirst(QStringView(), 0);
    if (!context)
        return false;
    do {
        folder.FindOrCreateChild(context->GetName());
    } while (folder.FindNext(*context));
    folder.FindClose(context);
    return true;
}
