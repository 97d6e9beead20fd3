// zlib behind the engine's memory service: the allocation callbacks, the one-shot
// wrappers and the stream object.
#include <cstring>
#include <new>

#include "engine/core/zmod_memory.h"
#include "engine/core/zmod_zlib.h"

voidpf zcalloc(voidpf /*opaque*/, uInt items, uInt size) {
  uint64_t bytes = static_cast<uint64_t>(items) * size;
  if (bytes == 0 || bytes > UINT32_MAX) return nullptr;
  uint8_t* block = new (std::nothrow) uint8_t[bytes];
  if (block != nullptr) std::memset(block, 0, bytes);
  return block;
}

void zcfree(voidpf /*opaque*/, voidpf block) { delete[] static_cast<uint8_t*>(block); }

namespace {

void Prepare(z_stream& stream, void* dst, uint32_t room, const void* src, uint32_t n) {
  std::memset(&stream, 0, sizeof(stream));
  stream.next_in = static_cast<Bytef*>(const_cast<void*>(src));
  stream.avail_in = n;
  stream.next_out = static_cast<Bytef*>(dst);
  stream.avail_out = room;
  stream.zalloc = zcalloc;
  stream.zfree = zcfree;
}

}  // namespace

int ClassZMemory::CompressZLib(void* dst, uint32_t& length, const void* src, uint32_t n) {
  if (dst == nullptr || (src == nullptr && n > 0)) return 0;
  z_stream stream;
  Prepare(stream, dst, length, src, n);
  if (deflateInit(&stream, Z_DEFAULT_COMPRESSION) != Z_OK) return 0;
  int result = deflate(&stream, Z_FINISH);
  uint32_t produced = static_cast<uint32_t>(stream.total_out);
  if (deflateEnd(&stream) != Z_OK || result != Z_STREAM_END) return 0;
  length = produced;
  return 1;
}

int ClassZMemory::UnCompressZLib(void* dst, uint32_t& length, const void* src, uint32_t n) {
  if (src == nullptr || n == 0) return 0;
  z_stream stream;
  Prepare(stream, dst, length, src, n);
  if (inflateInit(&stream) != Z_OK) return 0;
  int result = inflate(&stream, Z_FINISH);
  uint32_t produced = static_cast<uint32_t>(stream.total_out);
  if (inflateEnd(&stream) != Z_OK || result != Z_STREAM_END) return 0;
  length = produced;
  return 1;
}

CZLib::CZLib() : stream_(new z_stream()) {
  stream_->zalloc = zcalloc;
  stream_->zfree = zcfree;
}

CZLib::~CZLib() { delete stream_; }

void CZLib::SetupInput(const void* buffer, uInt length) {
  SetupInputBuffer(buffer);
  SetupInputLength(length);
}
void CZLib::SetupInputBuffer(const void* buffer) {
  stream_->next_in = static_cast<Bytef*>(const_cast<void*>(buffer));
}
void CZLib::SetupInputLength(uInt length) { stream_->avail_in = length; }
const Bytef* CZLib::NextInput() const { return stream_->next_in; }
uInt CZLib::AvailableInput() const { return stream_->avail_in; }
uLong CZLib::TotalInput() const { return stream_->total_in; }

void CZLib::SetupOutput(void* buffer, uInt length) {
  SetupOutputBuffer(buffer);
  SetupOutputLength(length);
}
void CZLib::SetupOutputBuffer(void* buffer) { stream_->next_out = static_cast<Bytef*>(buffer); }
void CZLib::SetupOutputLength(uInt length) { stream_->avail_out = length; }
Bytef* CZLib::NextOutput() const { return stream_->next_out; }
uInt CZLib::AvailableOutput() const { return stream_->avail_out; }
uLong CZLib::TotalOutput() const { return stream_->total_out; }
int CZLib::DataType() const { return stream_->data_type; }
uLong CZLib::Adler() const { return stream_->adler; }

int CZLib::InflateInit(int windowbits) { return inflateInit2(stream_, windowbits); }
int CZLib::Inflate(int flush) { return inflate(stream_, flush); }
int CZLib::InflateEnd() { return inflateEnd(stream_); }
int CZLib::InflateSetDictionary(const void* data, uInt length) {
  return inflateSetDictionary(stream_, static_cast<const Bytef*>(data), length);
}
int CZLib::InflateSync() { return inflateSync(stream_); }
int CZLib::InflateReset() { return inflateReset(stream_); }

int CZLib::DeflateInit(int level, int method, int windowbits, int memlevel, int strategy) {
  return deflateInit2(stream_, level, method, windowbits, memlevel, strategy);
}
int CZLib::Deflate(int flush) { return deflate(stream_, flush); }
int CZLib::DeflateEnd() { return deflateEnd(stream_); }
int CZLib::DeflateSetDictionary(const void* data, uInt length) {
  return deflateSetDictionary(stream_, static_cast<const Bytef*>(data), length);
}
int CZLib::DeflateCopy(CZLib* source) {
  if (source == nullptr) return Z_STREAM_ERROR;
  return deflateCopy(stream_, source->stream_);
}
int CZLib::DeflateReset() { return deflateReset(stream_); }
int CZLib::DeflateParams(int level, int strategy) { return deflateParams(stream_, level, strategy); }

int CZLib::Compress(void* dst, uLong& length, const void* src, uLong srclength, int level) {
  z_stream stream;
  Prepare(stream, dst, static_cast<uint32_t>(length), src, static_cast<uint32_t>(srclength));
  int result = deflateInit(&stream, level);
  if (result != Z_OK) return result;
  result = deflate(&stream, Z_FINISH);
  length = stream.total_out;
  deflateEnd(&stream);
  return result == Z_STREAM_END ? Z_OK : (result == Z_OK ? Z_BUF_ERROR : result);
}

int CZLib::Uncompress(void* dst, uLong& length, const void* src, uLong srclength) {
  z_stream stream;
  Prepare(stream, dst, static_cast<uint32_t>(length), src, static_cast<uint32_t>(srclength));
  int result = inflateInit(&stream);
  if (result != Z_OK) return result;
  result = inflate(&stream, Z_FINISH);
  length = stream.total_out;
  inflateEnd(&stream);
  return result == Z_STREAM_END ? Z_OK : (result == Z_OK ? Z_BUF_ERROR : result);
}

uLong CZLib::Adler32(uLong start, const void* data, uInt length) {
  return adler32(start, static_cast<const Bytef*>(data), length);
}

uLong CZLib::Crc32(uLong start, const void* data, uInt length) {
  return crc32(start, static_cast<const Bytef*>(data), length);
}
