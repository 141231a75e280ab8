#include "platform/zeroed_block.h"

#include <cstdlib>
#include <sys/mman.h>

namespace melvox::platform {
namespace {

constexpr size_t kMappedFrom = size_t{1} << 20;

}  // namespace

void* AllocateZeroedBlock(size_t size) {
  if (size < kMappedFrom) return std::calloc(size > 0 ? size : 1, 1);
  // Anonymous pages arrive zeroed. The advice is only a wish: without huge pages the block works the same.
  void* block = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (block == MAP_FAILED) return nullptr;
  madvise(block, size, MADV_HUGEPAGE);
  return block;
}

void FreeZeroedBlock(void* block, size_t size) {
  if (block == nullptr) return;
  if (size < kMappedFrom) {
    std::free(block);
  } else {
    munmap(block, size);
  }
}

}  // namespace melvox::platform
