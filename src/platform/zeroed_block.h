// Zero-filled memory blocks for whole decoded sounds.
#pragma once

#include <cstddef>

namespace melvox::platform {

// A block of `size` zero bytes (at least one byte is reserved for size 0), or null when the system
// refuses it; give it back with FreeZeroedBlock and the same size. Blocks of a megabyte or more are
// mapped on their own and asked for in huge pages where the system offers them (transparent huge
// pages on request), so that the first pass over a sound of minutes costs a handful of page faults
// instead of one per 4 KB page; smaller ones come from the heap. Any thread.
void* AllocateZeroedBlock(size_t size);
void FreeZeroedBlock(void* block, size_t size);

}  // namespace melvox::platform
