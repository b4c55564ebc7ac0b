// The test seam of the resource lookups (ui/common/resources.h): window tests
// show pictures of their own in place of the compiled-in ones.
#pragma once

struct EmbeddedResource;

// Makes the lookups search `table` (ended by an entry whose data is null)
// instead of the compiled-in resources; null restores those.
void SetResourceTableForTesting(const EmbeddedResource* table);
