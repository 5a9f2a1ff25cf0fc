#pragma once
// Brings the items of an absolute path into the tree, the way the views do when they list a
// folder: each component is looked up on disk below its parent and linked as a child. Used where
// no view has listed the folders (the command-line tools, tests).

#include <QStringView>

class Item;
class ProviderManager;

// The item of an existing absolute path, or null when a component does not exist on disk.
// Borrowed: the tree owns it.
Item* LocateItem(ProviderManager& manager, QStringView absolutePath);
// Links every entry of a folder as a child (as a listing view does); false when it lists nothing.
bool ListChildren(Item& folder);
