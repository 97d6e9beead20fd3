#include "engine/core/zmod_memory.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {
enum : uint32_t { LIST_GROWTH = 256, BLOCK_HEADER = 4 };
}

ClassZMemory::~ClassZMemory() {
  CloseDictionary();
  delete[] listblocks_;
  delete[] listsizes_;
  listblocks_ = nullptr;
  listsizes_ = nullptr;
  listcapacity_ = 0;
  listfree_ = 0;
}

void* ClassZMemory::Alloc(uint32_t bytes) {
  if (bytes == 0) return nullptr;
  return new (std::nothrow) uint8_t[bytes];
}

void ClassZMemory::DeAlloc(void* block) { delete[] static_cast<uint8_t*>(block); }

void ClassZMemory::Copy(void* dst, const void* src, int bytes, bool /*overlap*/) {
  // Always a move: a plain copy of overlapping ranges is undefined whatever the flag says.
  if (bytes <= 0 || dst == src || dst == nullptr || src == nullptr) return;
  std::memmove(dst, src, static_cast<size_t>(bytes));
}

void ClassZMemory::Set(void* dst, uint8_t value, int bytes) {
  if (bytes <= 0 || dst == nullptr) return;
  std::memset(dst, value, static_cast<size_t>(bytes));
}

void ZMemory_Set(void* dst, uint32_t pattern, uint32_t bytes) {
  uint8_t* p = static_cast<uint8_t*>(dst);
  uint8_t word[4];
  std::memcpy(word, &pattern, 4);
  for (uint32_t i = 0; i < bytes; i++) p[i] = word[i & 3];
}

namespace {

// Stores the first element, then copies what is already written, doubling each time, so
// the bulk of a fill runs at the speed of the C library's block copy.
void FillByDoubling(uint8_t* p, const uint8_t* element, size_t size, uint32_t count) {
  if (count == 0) return;
  const size_t total = size * count;
  std::memcpy(p, element, size);
  size_t done = size;
  while (done < total) {
    const size_t n = done < total - done ? done : total - done;
    std::memcpy(p + done, p, n);
    done += n;
  }
}

}  // namespace

void ClassZMemory::Set16(void* dst, uint16_t value, uint32_t count) {
  uint8_t element[2];
  std::memcpy(element, &value, 2);
  FillByDoubling(static_cast<uint8_t*>(dst), element, 2, count);
}

void ClassZMemory::Set24(void* dst, uint32_t value, uint32_t count) {
  const uint8_t element[3] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16)};
  FillByDoubling(static_cast<uint8_t*>(dst), element, 3, count);
}

void ClassZMemory::Set32(void* dst, uint32_t value, uint32_t count) {
  uint8_t element[4];
  std::memcpy(element, &value, 4);
  FillByDoubling(static_cast<uint8_t*>(dst), element, 4, count);
}

int ClassZMemory::Compare(const void* a, const void* b, int bytes) {
  if (bytes <= 0) return 0;
  const uint8_t* x = static_cast<const uint8_t*>(a);
  const uint8_t* y = static_cast<const uint8_t*>(b);
  for (int i = 0; i < bytes; i++)
    if (x[i] != y[i]) return static_cast<int>(x[i]) - static_cast<int>(y[i]);
  return 0;
}

void* ClassZMemory::AllocList(uint32_t bytes) {
  if (bytes == 0 || bytes > UINT32_MAX - BLOCK_HEADER) return nullptr;
  // The lowest free slot, searched from the lowest one that may be free: allocating
  // thousands of blocks in a row costs no scan over the ones before.
  uint32_t slot = listcapacity_;
  for (uint32_t i = listfree_; i < listcapacity_; i++) {
    if (listsizes_[i] == 0) {
      slot = i;
      break;
    }
  }
  if (slot == listcapacity_) {
    // Grow into new arrays so a failure leaves the list as it was.
    uint32_t capacity = listcapacity_ + LIST_GROWTH;
    void** blocks = new (std::nothrow) void*[capacity];
    uint32_t* sizes = new (std::nothrow) uint32_t[capacity];
    if (blocks == nullptr || sizes == nullptr) {
      delete[] blocks;
      delete[] sizes;
      return nullptr;
    }
    for (uint32_t i = 0; i < capacity; i++) {
      blocks[i] = i < listcapacity_ ? listblocks_[i] : nullptr;
      sizes[i] = i < listcapacity_ ? listsizes_[i] : 0;
    }
    delete[] listblocks_;
    delete[] listsizes_;
    listblocks_ = blocks;
    listsizes_ = sizes;
    listcapacity_ = capacity;
  }
  uint8_t* block = new (std::nothrow) uint8_t[bytes + BLOCK_HEADER];
  if (block == nullptr) return nullptr;
  listblocks_[slot] = block;
  listsizes_[slot] = bytes + BLOCK_HEADER;
  listfree_ = slot + 1;
  std::memcpy(block, &slot, BLOCK_HEADER);
  return block + BLOCK_HEADER;
}

void ClassZMemory::DeAllocList(void* pointer) {
  if (pointer == nullptr) return;
  uint8_t* block = static_cast<uint8_t*>(pointer) - BLOCK_HEADER;
  // The slot stored with the block is trusted only when the table holds this very block
  // there: a foreign pointer or a damaged header then frees nothing and clears no other
  // block's slot. One look, however long the list.
  uint32_t slot = 0;
  std::memcpy(&slot, block, BLOCK_HEADER);
  if (slot >= listcapacity_ || listblocks_[slot] != block) return;
  listblocks_[slot] = nullptr;
  listsizes_[slot] = 0;
  if (slot < listfree_) listfree_ = slot;
  delete[] block;
}

uint32_t ClassZMemory::InUse() const {
  if (listcapacity_ == 0) return 0;
  uint32_t total = listcapacity_ * 8u;
  for (uint32_t i = 0; i < listcapacity_; i++) total += listsizes_[i];
  return total;
}
