// The engine's LZW-style codec. The dictionary holds (offset, length) pairs into data that
// is already in memory: the input while encoding, the output while decoding. Both sides
// change code width and clear after the same code; the decoder's dictionary trails the
// encoder's by one entry, hence its tests use count + 256 where the encoder uses + 255.
#include <cstring>
#include <memory>
#include <new>

#include "engine/core/zmod_memory.h"

namespace {

enum : uint32_t {
  FIRST_WIDTH = 9,
  FIRST_LIMIT = 512,
  CODE_LIMIT = 4000,    // entries are added while count + 256 <= CODE_LIMIT
  LOOKUP_MAX = 191,     // longest phrase the encoder looks up
};

void PutU32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

// The encoder's index from (code of a phrase, next byte) to the entry holding both, which
// finds exactly the entry the dictionary scan would: entries up to the lookup limit are
// only added when not found, so each phrase has one, and a phrase's entry can only be its
// prefix's entry followed by one byte. A slot holds (key << 12 | entry), key = code << 8 |
// byte, plus one so that 0 means empty; codes stay below 4096.
class PhraseIndex {
 public:
  enum : uint32_t { SLOTS = 8192 };  // at most 3745 entries: under half full

  bool Open() {
    slots_.reset(new (std::nothrow) uint32_t[SLOTS]);
    if (slots_) Clear();
    return slots_ != nullptr;
  }
  void Clear() { std::memset(slots_.get(), 0, SLOTS * sizeof(uint32_t)); }

  // The entry for (code, byte), or -1 with `slot` left where it belongs.
  int32_t Find(uint32_t code, uint8_t byte, uint32_t& slot) const {
    const uint32_t key = (code << 8 | byte) + 1;
    uint32_t h = (key * 2654435761u) >> 19;
    for (uint32_t s; (s = slots_[h]) != 0; h = (h + 1) & (SLOTS - 1))
      if (s >> 12 == key) return static_cast<int32_t>(s & 0xFFF);
    slot = h;
    return -1;
  }
  void Put(uint32_t slot, uint32_t code, uint8_t byte, uint32_t entry) {
    slots_[slot] = ((code << 8 | byte) + 1) << 12 | entry;
  }

 private:
  std::unique_ptr<uint32_t[]> slots_;
};

uint32_t GetU32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Packs codes most significant bit first into a bounded buffer.
struct BitWriter {
  uint8_t* out;
  uint32_t room;
  uint32_t pos;
  uint32_t bits = 0;
  uint32_t pending = 0;

  bool Put(uint32_t code, uint32_t width) {
    bits = (bits << width) | code;
    pending += width;
    while (pending >= 8) {
      pending -= 8;
      if (pos >= room) return false;
      out[pos++] = static_cast<uint8_t>(bits >> pending);
    }
    bits &= (1u << pending) - 1;
    return true;
  }

  bool Flush() {
    if (pending == 0) return true;
    if (pos >= room) return false;
    out[pos++] = static_cast<uint8_t>(bits << (8 - pending));
    pending = 0;
    return true;
  }
};

// Reads codes most significant bit first; false when the input ends first.
struct BitReader {
  const uint8_t* in;
  uint32_t size;
  uint32_t pos;
  uint32_t bits = 0;
  uint32_t pending = 0;

  bool Get(uint32_t width, uint32_t& code) {
    while (pending < width) {
      if (pos >= size) return false;
      bits = (bits << 8) | in[pos++];
      pending += 8;
    }
    pending -= width;
    code = (bits >> pending) & ((1u << width) - 1);
    bits &= (1u << pending) - 1;
    return true;
  }
};

}  // namespace

bool ClassZMemory::OpenDictionary() {
  CloseDictionary();
  dictoffsets_ = new (std::nothrow) uint32_t[CODEC_ENTRIES];
  dictlengths_ = new (std::nothrow) uint8_t[CODEC_ENTRIES];
  dictcount_ = 0;
  if (dictoffsets_ == nullptr || dictlengths_ == nullptr) {
    CloseDictionary();
    return false;
  }
  return true;
}

void ClassZMemory::CloseDictionary() {
  delete[] dictoffsets_;
  delete[] dictlengths_;
  dictoffsets_ = nullptr;
  dictlengths_ = nullptr;
  dictcount_ = 0;
}

void ClassZMemory::AddEntry(uint32_t offset, uint32_t length) {
  if (dictoffsets_ == nullptr || dictcount_ + 256 > CODE_LIMIT) return;
  dictoffsets_[dictcount_] = offset;
  dictlengths_[dictcount_] = static_cast<uint8_t>(length);
  dictcount_++;
}

uint32_t ClassZMemory::FindString(const uint8_t* base, const uint8_t* phrase,
                                  uint32_t length) const {
  if (length == 0) return 0;
  if (length == 1) return phrase[0] + 1u;
  if (dictoffsets_ == nullptr || length > LOOKUP_MAX) return 0;
  const uint8_t last = phrase[length - 1];
  for (uint32_t i = 0; i < dictcount_; i++) {
    if (dictlengths_[i] != length) continue;
    const uint8_t* entry = base + dictoffsets_[i];
    if (entry[length - 1] != last) continue;
    if (std::memcmp(entry, phrase, length - 1) == 0) return 257 + i;
  }
  return 0;
}

void ClassZMemory::GetString(const uint8_t* base, uint8_t* dst, uint32_t& length,
                             uint32_t code) const {
  uint32_t room = length;
  length = 0;
  if (code < 256) {
    if (room >= 1) {
      dst[0] = static_cast<uint8_t>(code);
      length = 1;
    }
    return;
  }
  if (dictoffsets_ == nullptr || code >= dictcount_ + 256) return;
  uint32_t n = dictlengths_[code - 256];
  if (n > room) return;
  std::memmove(dst, base + dictoffsets_[code - 256], n);
  length = n;
}

void ClassZMemory::AddCmpString(const uint8_t* /*base*/, uint32_t position, uint32_t length) {
  AddEntry(position - length + 1, length);
}

void ClassZMemory::AddUCmpString(const uint8_t* /*base*/, uint32_t position, uint32_t length) {
  AddEntry(position - length + 1, length);
}

int ClassZMemory::Compress(void* dst, uint32_t& length, const void* src, uint32_t n) {
  uint32_t room = length;
  if (n == 0 || src == nullptr || dst == nullptr || room < CODEC_HEADER) return 0;
  if (!OpenDictionary()) return 0;
  const uint8_t* in = static_cast<const uint8_t*>(src);
  uint8_t* out = static_cast<uint8_t*>(dst);
  BitWriter writer{out, room, CODEC_HEADER};
  uint32_t width = FIRST_WIDTH, limit = FIRST_LIMIT;
  uint32_t plen = 1;  // the current phrase P: its length, and its code below
  uint32_t code = in[0];
  PhraseIndex index;
  bool ok = index.Open();
  for (uint32_t u = 1; u < n && ok; u++) {
    uint32_t qlen = plen + 1;  // Q = P followed by in[u]
    uint32_t slot = 0;
    if (qlen <= LOOKUP_MAX) {
      const int32_t found = index.Find(code, in[u], slot);
      if (found >= 0) {
        plen = qlen;
        code = 256 + static_cast<uint32_t>(found);
        continue;
      }
    }
    const uint32_t entry = dictcount_;
    AddCmpString(in, u, qlen);
    if (qlen <= LOOKUP_MAX && dictcount_ != entry) index.Put(slot, code, in[u], entry);
    ok = writer.Put(code, width);
    if (dictcount_ + 255 >= CODE_LIMIT) {
      dictcount_ = 0;
      index.Clear();
      width = FIRST_WIDTH;
      limit = FIRST_LIMIT;
    }
    if (dictcount_ + 255 >= limit) {
      limit *= 2;
      width++;
    }
    // Give up once the stream could no longer be shorter than the data.
    if (writer.pos + 6 >= n) ok = false;
    plen = 1;
    code = in[u];
  }
  ok = ok && writer.Put(code, width) && writer.Flush();
  CloseDictionary();
  if (!ok) return 0;
  std::memset(out, 0, 8);
  PutU32(out + 8, writer.pos);
  PutU32(out + 12, n);
  length = writer.pos;
  return 1;
}

int ClassZMemory::UnCompress(void* dst, uint32_t& length, const void* src, uint32_t n) {
  uint32_t room = length;
  const uint8_t* in = static_cast<const uint8_t*>(src);
  if (in == nullptr || n < CODEC_HEADER) return 0;
  uint32_t total = GetU32(in + 8);
  uint32_t expected = GetU32(in + 12);
  length = expected;
  if (expected > room || (expected > 0 && dst == nullptr)) return 0;
  // Bytes after the stream's own end are not codes.
  if (total >= CODEC_HEADER && total < n) n = total;
  if (!OpenDictionary()) return 0;
  uint8_t* out = static_cast<uint8_t*>(dst);
  BitReader reader{in, n, CODEC_HEADER};
  uint32_t width = FIRST_WIDTH, limit = FIRST_LIMIT;
  uint32_t j = 0;  // length of the previous phrase, which ends at k
  uint32_t k = 0;
  uint32_t code = 0;
  bool ok = true;
  while (ok && reader.Get(width, code)) {
    if (j == 0) {
      if (k >= expected) {
        ok = false;
        break;
      }
      out[k++] = static_cast<uint8_t>(code);
      j = 1;
      continue;
    }
    // No valid stream makes a phrase longer than 191 bytes; longer means garbage.
    if (j + 1 > CODEC_MAXPHRASE) {
      ok = false;
      break;
    }
    uint32_t phrase;
    if (code >= dictcount_ + 256) {
      // The entry being defined: the previous phrase followed by its own first byte.
      phrase = j + 1;
      if (phrase > expected - k) {
        ok = false;
        break;
      }
      std::memmove(out + k, out + k - j, j);
      out[k + j] = out[k - j];
      AddUCmpString(out, k + j, phrase);
    } else {
      AddUCmpString(out, k, j + 1);
      phrase = expected - k;
      GetString(out, out + k, phrase, code);
      if (phrase == 0) {
        ok = false;
        break;
      }
    }
    k += phrase;
    j = phrase;
    if (dictcount_ + 256 >= CODE_LIMIT) {
      dictcount_ = 0;
      width = FIRST_WIDTH;
      limit = FIRST_LIMIT;
      j = 0;
    }
    if (dictcount_ + 256 >= limit) {
      limit *= 2;
      width++;
    }
  }
  CloseDictionary();
  // Only a stream that produced exactly its announced length is a success.
  return ok && k == expected ? 1 : 0;
}
