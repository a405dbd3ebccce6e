#include "archive/ZipMethods.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <memory>
#include <numeric>
#include <vector>

namespace toponyx::archive {

Expansion CopyStored(EntryInput& in, EntryOutput& out) {
  while (!out.full()) {
    const auto block = in.NextBlock();
    if (block.empty()) break;
    out.Write(block.data(), block.size());
  }
  return Expansion::kDone;
}

Expansion Inflate(EntryInput& in, EntryOutput& out) {
  z_stream zs{};
  if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) return Expansion::kCorrupt;
  struct End {
    z_stream* zs;
    ~End() { inflateEnd(zs); }
  } end{&zs};

  constexpr size_t kChunk = size_t{1} << 18;
  std::unique_ptr<uint8_t[]> chunk(new uint8_t[kChunk]);
  while (!out.full()) {
    if (zs.avail_in == 0) {
      const auto block = in.NextBlock();
      if (block.empty()) return Expansion::kCorrupt;  // the stream has no end
      zs.next_in = const_cast<Bytef*>(block.data());
      zs.avail_in = static_cast<uInt>(block.size());
    }
    zs.next_out = chunk.get();
    zs.avail_out = static_cast<uInt>(kChunk);
    const int ret = inflate(&zs, Z_NO_FLUSH);
    out.Write(chunk.get(), kChunk - zs.avail_out);
    if (ret == Z_STREAM_END) return Expansion::kDone;
    if (ret != Z_OK && ret != Z_BUF_ERROR) return Expansion::kCorrupt;
  }
  return Expansion::kDone;
}

namespace {

// The string table of shrinking: codes 257 to 8191, each a prefix code and
// one byte. It keeps its leaves (entries that are no in-use entry's prefix)
// and its free codes as it changes, so that thinning the table out costs
// only the entries it frees, and the lowest free code is found by a scan of
// 128 words at most.
class ShrinkTable {
 public:
  static constexpr int kCodes = 1 << 13;
  static constexpr int kFirst = 257;

  ShrinkTable()
      : prefix_(kCodes, 0),
        suffix_(kCodes, 0),
        in_use_(kCodes, 0),
        children_(kCodes, 0),
        leaf_at_(kCodes, -1) {
    for (int c = 0; c < kCodes; ++c) SetFree(c, c >= kFirst);
  }

  bool InUse(int code) const { return in_use_[code] != 0; }
  int next_free() const { return next_free_; }
  int prefix(int code) const { return prefix_[code]; }
  uint8_t suffix(int code) const { return suffix_[code]; }

  // Enters (code_prefix, c) under the lowest free code; nothing when full.
  void Add(int code_prefix, uint8_t c) {
    const int f = next_free_;
    if (f >= kCodes) return;
    prefix_[f] = static_cast<uint16_t>(code_prefix);
    suffix_[f] = c;
    in_use_[f] = 1;
    SetFree(f, false);
    // Entries may still name a freed code as their prefix; they are this
    // code's children now.
    if (children_[f] == 0) AddLeaf(f);
    if (code_prefix >= kFirst && children_[code_prefix]++ == 0 && leaf_at_[code_prefix] >= 0) {
      RemoveLeaf(code_prefix);
    }
    next_free_ = FindFree(f + 1);
  }

  // Frees every leaf there is now (those it makes leaves stay).
  void PartialClear() {
    std::vector<uint16_t> freed;
    freed.swap(leaves_);
    for (uint16_t c : freed) leaf_at_[c] = -1;
    for (uint16_t c : freed) {
      in_use_[c] = 0;
      SetFree(c, true);
      next_free_ = std::min<int>(next_free_, c);
      const int p = prefix_[c];
      if (p >= kFirst && --children_[p] == 0 && in_use_[p]) AddLeaf(p);
    }
  }

 private:
  void SetFree(int c, bool free) {
    const uint64_t bit = uint64_t{1} << (c & 63);
    free_[c >> 6] = free ? (free_[c >> 6] | bit) : (free_[c >> 6] & ~bit);
  }
  int FindFree(int from) const {
    if (from >= kCodes) return kCodes;
    int word = from >> 6;
    uint64_t bits = free_[word] & (~uint64_t{0} << (from & 63));
    while (bits == 0) {
      if (++word == kCodes / 64) return kCodes;
      bits = free_[word];
    }
    return word * 64 + __builtin_ctzll(bits);
  }
  void AddLeaf(int c) {
    leaf_at_[c] = static_cast<int16_t>(leaves_.size());
    leaves_.push_back(static_cast<uint16_t>(c));
  }
  void RemoveLeaf(int c) {
    const int at = leaf_at_[c];
    const uint16_t last = leaves_.back();
    leaves_[at] = last;
    leaf_at_[last] = static_cast<int16_t>(at);
    leaves_.pop_back();
    leaf_at_[c] = -1;
  }

  std::vector<uint16_t> prefix_;
  std::vector<uint8_t> suffix_;
  std::vector<uint8_t> in_use_;
  std::vector<uint16_t> children_;  // in-use entries with this prefix code
  std::vector<int16_t> leaf_at_;    // position in leaves_, -1 for none
  std::vector<uint16_t> leaves_;
  uint64_t free_[kCodes / 64] = {};
  int next_free_ = kFirst;
};

}  // namespace

// Shrinking is LZW whose code size the compressor raises (code 256, then
// 1) up to 13 bits and whose table it thins out (code 256, then 2): every
// entry that is no other entry's prefix is freed, and freed codes are given
// out again from the lowest. Codes 0 to 255 stand for themselves.
Expansion Unshrink(EntryInput& in, EntryOutput& out) {
  constexpr int kControl = 256;
  ShrinkTable table;
  std::vector<uint8_t> text(ShrinkTable::kCodes);  // one string, last byte first
  BitReader bits(in);
  int code_size = 9;
  int previous = -1;

  // Writes the string of `code` into text (reversed); 0 when the chain is
  // broken (a freed entry or a loop).
  auto spell = [&](int code) -> size_t {
    size_t n = 0;
    while (code >= ShrinkTable::kFirst) {
      if (!table.InUse(code) || n + 1 >= text.size()) return 0;
      text[n++] = table.suffix(code);
      code = table.prefix(code);
    }
    if (code == kControl) return 0;
    text[n++] = static_cast<uint8_t>(code);
    return n;
  };

  while (!out.full()) {
    const int code = static_cast<int>(bits.Read(code_size));
    if (bits.overrun()) return Expansion::kCorrupt;
    if (code == kControl) {
      const uint32_t what = bits.Read(code_size);
      if (bits.overrun()) return Expansion::kCorrupt;
      if (what == 1) {
        if (++code_size > 13) return Expansion::kCorrupt;
      } else if (what == 2) {
        table.PartialClear();
      } else {
        return Expansion::kCorrupt;
      }
      continue;
    }
    if (previous < 0) {
      if (code > 255) return Expansion::kCorrupt;
      out.Put(static_cast<uint8_t>(code));
      previous = code;
      continue;
    }
    size_t n = 0;
    if (code < kControl || table.InUse(code)) {
      n = spell(code);
      if (n == 0) return Expansion::kCorrupt;
      table.Add(previous, text[n - 1]);
    } else if (code == table.next_free()) {
      // The code being defined by this very step: the previous string
      // followed by its own first byte.
      const size_t m = spell(previous);
      if (m == 0) return Expansion::kCorrupt;
      table.Add(previous, text[m - 1]);
      n = spell(code);
      if (n == 0) return Expansion::kCorrupt;
    } else {
      return Expansion::kCorrupt;
    }
    for (size_t i = n; i-- > 0 && !out.full();) out.Put(text[i]);
    previous = code;
  }
  return Expansion::kDone;
}

namespace {

// Bits of the index into a follower set of n bytes: enough for n - 1, and
// at least one (archives written by the compressors code the index of a
// one-byte set in one bit).
int FollowerIndexBits(int n) {
  int b = 1;
  while ((1 << b) < n) ++b;
  return b;
}

}  // namespace

// Reducing: a probabilistic stage (follower sets: for each byte, up to 32
// bytes that often follow it, coded by their index) feeding a run/copy
// stage in which 144 (DLE) introduces a copy of Len + 3 bytes from D bytes
// back; the factor decides how the bits of V split into length and distance.
Expansion Unreduce(EntryInput& in, EntryOutput& out, int factor) {
  if (factor < 1 || factor > 4) return Expansion::kCorrupt;
  BitReader bits(in);
  std::array<std::array<uint8_t, 32>, 256> followers{};
  std::array<uint8_t, 256> count{};
  for (int j = 255; j >= 0; --j) {
    const uint32_t n = bits.Read(6);
    if (n > 32) return Expansion::kCorrupt;
    count[j] = static_cast<uint8_t>(n);
    for (uint32_t i = 0; i < n; ++i) followers[j][i] = static_cast<uint8_t>(bits.Read(8));
  }
  if (bits.overrun()) return Expansion::kCorrupt;

  constexpr uint8_t kDle = 144;
  const uint32_t length_mask = (1u << (8 - factor)) - 1;
  Window window(out);
  uint8_t last = 0;
  int state = 0;
  uint32_t v = 0;
  uint32_t length = 0;
  while (!window.full()) {
    uint8_t c;
    const int n = count[last];
    if (n == 0 || bits.Read(1) != 0) {
      c = static_cast<uint8_t>(bits.Read(8));
    } else {
      const uint32_t i = bits.Read(FollowerIndexBits(n));
      if (i >= static_cast<uint32_t>(n)) return Expansion::kCorrupt;
      c = followers[last][i];
    }
    if (bits.overrun()) return Expansion::kCorrupt;
    last = c;

    switch (state) {
      case 0:
        if (c != kDle) {
          window.Put(c);
        } else {
          state = 1;
        }
        break;
      case 1:
        if (c != 0) {
          v = c;
          length = v & length_mask;
          state = length == length_mask ? 2 : 3;
        } else {
          window.Put(kDle);
          state = 0;
        }
        break;
      case 2:
        length += c;
        state = 3;
        break;
      default: {
        const uint32_t distance = ((v >> (8 - factor)) << 8) + c + 1;
        window.Copy(distance, length + 3);
        state = 0;
        break;
      }
    }
  }
  return Expansion::kDone;
}

namespace {

// A Shannon-Fano code read from its packed bit lengths, as a table indexed
// by the next 16 bits of the stream: entry = (length << 8) | value, 0 for
// bit patterns that begin no code.
class ShannonFano {
 public:
  ShannonFano() : table_(1u << 16, 0) {}

  // Reads one packed tree of `values` codes; false when it is malformed
  // (wrong number of lengths, or codes that are not prefix-free).
  bool Read(BitReader& bits, int values) {
    std::array<uint8_t, 256> length{};
    const uint32_t bytes = bits.Read(8) + 1;
    int k = 0;
    for (uint32_t b = 0; b < bytes; ++b) {
      const uint32_t packed = bits.Read(8);
      const int repeat = static_cast<int>(packed >> 4) + 1;
      const uint8_t bit_length = static_cast<uint8_t>((packed & 0x0F) + 1);
      if (k + repeat > values) return false;
      for (int r = 0; r < repeat; ++r) length[k++] = bit_length;
    }
    if (k != values || bits.overrun()) return false;

    // Codes are handed out from the longest length up, in a stable order of
    // ascending lengths taken backwards; each is then read bit-reversed.
    std::array<int, 256> order{};
    std::iota(order.begin(), order.begin() + values, 0);
    std::stable_sort(order.begin(), order.begin() + values,
                     [&](int a, int b) { return length[a] < length[b]; });
    std::fill(table_.begin(), table_.end(), 0);
    uint32_t code = 0;
    uint32_t increment = 0;
    int last_length = 0;
    for (int i = values - 1; i >= 0; --i) {
      const int value = order[i];
      code += increment;
      if (length[value] != last_length) {
        last_length = length[value];
        increment = 1u << (16 - last_length);
      }
      if (code > 0xFFFFu) return false;
      const int n = length[value];
      uint32_t reversed = 0;
      for (int bit = 0; bit < n; ++bit) reversed |= ((code >> (15 - bit)) & 1u) << bit;
      const uint16_t entry = static_cast<uint16_t>((n << 8) | value);
      for (uint32_t fill = reversed; fill < table_.size(); fill += 1u << n) {
        if (table_[fill] != 0) return false;
        table_[fill] = entry;
      }
    }
    return true;
  }

  // The next value, or -1 for a bit pattern that is no code.
  int Decode(BitReader& bits) const {
    const uint16_t entry = table_[bits.Peek(16)];
    if (entry == 0) return -1;
    bits.Skip(entry >> 8);
    return entry & 0xFF;
  }

 private:
  std::vector<uint16_t> table_;
};

}  // namespace

// Imploding: a flag bit per item, then a literal (from the literal tree or
// as 8 plain bits) or a copy: the low 6 or 7 bits of the distance, its upper
// 6 bits from the distance tree, and the length from the length tree (plus
// 8 more bits when it is the largest).
Expansion Explode(EntryInput& in, EntryOutput& out, bool large_window, bool literal_tree) {
  BitReader bits(in);
  auto literals = literal_tree ? std::make_unique<ShannonFano>() : nullptr;
  auto lengths = std::make_unique<ShannonFano>();
  auto distances = std::make_unique<ShannonFano>();
  if (literals && !literals->Read(bits, 256)) return Expansion::kCorrupt;
  if (!lengths->Read(bits, 64) || !distances->Read(bits, 64)) return Expansion::kCorrupt;

  const int low_bits = large_window ? 7 : 6;
  const uint32_t minimum_match = literal_tree ? 3 : 2;
  Window window(out);
  while (!window.full()) {
    if (bits.Read(1) != 0) {
      int c = literals ? literals->Decode(bits) : static_cast<int>(bits.Read(8));
      if (c < 0 || bits.overrun()) return Expansion::kCorrupt;
      window.Put(static_cast<uint8_t>(c));
    } else {
      const uint32_t low = bits.Read(low_bits);
      const int high = distances->Decode(bits);
      if (high < 0) return Expansion::kCorrupt;
      const int code = lengths->Decode(bits);
      if (code < 0) return Expansion::kCorrupt;
      uint32_t length = static_cast<uint32_t>(code) + minimum_match;
      if (code == 63) length += bits.Read(8);
      if (bits.overrun()) return Expansion::kCorrupt;
      const uint32_t distance = ((static_cast<uint32_t>(high) << low_bits) | low) + 1;
      window.Copy(distance, length);
    }
  }
  return Expansion::kDone;
}

}  // namespace toponyx::archive
