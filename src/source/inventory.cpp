#include "source/inventory.h"

namespace dp {

SourceInventory source_inventory{};

void ResetInventory(SourceInventory& inventory) { inventory = SourceInventory{}; }

}  // namespace dp
