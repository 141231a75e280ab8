#include "sound/vorbis_headers.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include <ogg/ogg.h>

#include "core/mv_exception.h"

namespace melvox {
namespace {

constexpr uint32_t kReadChunk = 65536;
constexpr int kHeaderPackets = 3;  // identification, comment, setup
constexpr uint32_t kCodebookSync = 0x564342;
constexpr uint64_t kWholeCodeSpace = uint64_t{1} << 32;  // codeword lengths are 1 to 32 bits

[[noreturn]] void Refuse() { throw CMVException(kErrIncorrectWaveFormat); }

bool IsVorbisHeader(const ogg_packet& packet, unsigned char type) {
  return packet.bytes >= 7 && packet.packet[0] == type && std::memcmp(packet.packet + 1, "vorbis", 6) == 0;
}

// The bits of one header packet, least significant first; a packet that ends early is refused.
class HeaderBits {
 public:
  explicit HeaderBits(ogg_packet& packet) : bytes_(packet.bytes) { oggpack_readinit(&buffer_, packet.packet, bytes_); }

  uint32_t Read(int bits) {
    const long value = oggpack_read(&buffer_, bits);
    if (value < 0) Refuse();
    return static_cast<uint32_t>(value);
  }
  void Skip(uint64_t bits) {
    if (bits > static_cast<uint64_t>(bytes_) * 8 - static_cast<uint64_t>(oggpack_bits(&buffer_))) Refuse();
    while (bits > 0) {
      const int step = bits < 4096 ? static_cast<int>(bits) : 4096;
      oggpack_adv(&buffer_, step);
      bits -= static_cast<uint64_t>(step);
    }
  }

 private:
  oggpack_buffer buffer_;
  long bytes_;
};

// Bits needed to write values 0 .. value.
int BitsFor(uint32_t value) {
  int bits = 0;
  for (; value != 0; value >>= 1) ++bits;
  return bits;
}

// base ^ exponent, or limit + 1 once it passes limit.
uint64_t PowerUpTo(uint64_t base, uint32_t exponent, uint64_t limit) {
  uint64_t result = 1;
  for (uint32_t i = 0; i < exponent && result <= limit; ++i) result *= base;
  return result <= limit ? result : limit + 1;
}

// Lookup type 1 holds the largest count of values v with v ^ dimensions <= entries.
uint64_t LatticeValues(uint32_t entries, uint32_t dimensions) {
  auto values = static_cast<uint64_t>(std::floor(std::pow(double(entries), 1.0 / dimensions)));
  while (values > 0 && PowerUpTo(values, dimensions, entries) > entries) --values;
  while (PowerUpTo(values + 1, dimensions, entries) <= entries) ++values;
  return values;
}

void CheckIdentification(ogg_packet& packet) {
  HeaderBits bits(packet);
  bits.Skip(7 * 8);  // type and "vorbis"
  const uint32_t version = bits.Read(32);
  const uint32_t channels = bits.Read(8);
  const uint32_t rate = bits.Read(32);
  bits.Skip(3 * 32);  // bit rates: hints only
  const uint32_t short_block = bits.Read(4);
  const uint32_t long_block = bits.Read(4);
  if (version != 0 || channels == 0 || rate == 0 || short_block < 6 || long_block > 13 || short_block > long_block ||
      bits.Read(1) != 1) {
    Refuse();
  }
}

void CheckCodebook(HeaderBits& bits) {
  if (bits.Read(24) != kCodebookSync) Refuse();
  const uint32_t dimensions = bits.Read(16);
  const uint32_t entries = bits.Read(24);
  // A residue divides its samples by the dimension of its codebooks.
  if (dimensions == 0 || entries == 0) Refuse();
  // The code space the used codewords take, in units of 2^-32: a prefix code the decoder can build
  // takes all of it, unless it has a single codeword.
  uint64_t space = 0;
  uint32_t used = 0;
  if (bits.Read(1) == 0) {  // a length for each entry in turn
    const bool sparse = bits.Read(1) != 0;
    for (uint32_t entry = 0; entry < entries; ++entry) {
      if (sparse && bits.Read(1) == 0) continue;  // unused entry
      space += kWholeCodeSpace >> (bits.Read(5) + 1);
      ++used;
    }
  } else {  // runs of entries, each run's codewords one bit longer than the last
    uint32_t length = bits.Read(5) + 1;
    for (uint32_t entry = 0; entry < entries; ++length) {
      const uint32_t count = bits.Read(BitsFor(entries - entry));
      if (length > 32 || count > entries - entry) Refuse();
      space += (kWholeCodeSpace >> length) * count;
      used += count;
      entry += count;
    }
  }
  if (used > 1 && space != kWholeCodeSpace) Refuse();
  const uint32_t lookup = bits.Read(4);
  if (lookup > 2) Refuse();
  if (lookup == 0) return;
  bits.Skip(2 * 32);  // minimum and delta
  const uint32_t value_bits = bits.Read(4) + 1;
  bits.Skip(1);  // sequence flag
  const uint64_t values = lookup == 1 ? LatticeValues(entries, dimensions) : uint64_t{entries} * dimensions;
  bits.Skip(values * value_bits);
}

void CheckSetup(ogg_packet& packet) {
  HeaderBits bits(packet);
  bits.Skip(7 * 8);
  const uint32_t codebooks = bits.Read(8) + 1;
  for (uint32_t i = 0; i < codebooks; ++i) CheckCodebook(bits);
  // Floors, residues, mappings and modes: the decoder checks these as it reads them.
}

// The header packets of one logical stream, gathered from its pages.
struct Stream {
  explicit Stream(int serial_number) : serial(serial_number) { ogg_stream_init(&state, serial); }
  ~Stream() { ogg_stream_clear(&state); }
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;

  int serial;
  ogg_stream_state state;
  int packets = 0;    // header packets taken
  bool done = false;  // all headers checked, not Vorbis, or broken: the rest is the decoder's
};

class HeaderScan {
 public:
  HeaderScan() { ogg_sync_init(&sync_); }
  ~HeaderScan() { ogg_sync_clear(&sync_); }
  HeaderScan(const HeaderScan&) = delete;
  HeaderScan& operator=(const HeaderScan&) = delete;

  // Adds the next bytes of the file and checks the header packets they complete.
  void Feed(CFileReader& reader, uint32_t& got) {
    char* buffer = ogg_sync_buffer(&sync_, kReadChunk);
    if (buffer == nullptr) throw std::bad_alloc();
    reader.Read(buffer, kReadChunk, got);
    ogg_sync_wrote(&sync_, got);
    ogg_page page;
    for (int result; (result = ogg_sync_pageout(&sync_, &page)) != 0;) {
      if (result == 1) Take(page);  // -1: bytes skipped to the next page
    }
  }

 private:
  void Take(ogg_page& page) {
    const int serial = ogg_page_serialno(&page);
    Stream* stream = nullptr;
    for (const auto& known : streams_) {
      if (known->serial == serial) stream = known.get();
    }
    if (ogg_page_bos(&page) != 0) {  // a new stream, or a new link of a chain reusing a serial number
      if (stream == nullptr) stream = streams_.emplace_back(std::make_unique<Stream>(serial)).get();
      ogg_stream_reset(&stream->state);
      stream->packets = 0;
      stream->done = false;
    }
    if (stream == nullptr || stream->done) return;
    ogg_stream_pagein(&stream->state, &page);
    ogg_packet packet;
    while (!stream->done) {
      const int result = ogg_stream_packetout(&stream->state, &packet);
      if (result == 0) break;
      if (result < 0) {  // a gap among the headers: the decoder refuses such a stream itself
        stream->done = true;
        break;
      }
      const int index = stream->packets++;
      if (index == 0 && !IsVorbisHeader(packet, 1)) stream->done = true;
      if (index == 0 && !stream->done) CheckIdentification(packet);
      if (index == 2 && IsVorbisHeader(packet, 5)) CheckSetup(packet);
      if (stream->packets == kHeaderPackets) stream->done = true;
    }
  }

  ogg_sync_state sync_;
  std::vector<std::unique_ptr<Stream>> streams_;
};

}  // namespace

void CheckVorbisHeaders(CFileReader& reader) {
  reader.Seek(0, 0);
  HeaderScan scan;
  for (uint32_t got = kReadChunk; got > 0;) scan.Feed(reader, got);
}

}  // namespace melvox
