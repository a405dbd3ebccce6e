#include "support/ZipWriter.h"

#include <zlib.h>

#include <stdexcept>

namespace toponyx::testing {
namespace {

void Put16(std::string& s, uint32_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& s, uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}
void Put64(std::string& s, uint64_t v) {
  Put32(s, static_cast<uint32_t>(v));
  Put32(s, static_cast<uint32_t>(v >> 32));
}

uint32_t Crc(const std::string& s) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size())));
}

// The traditional encryption, written here on its own from the published
// key schedule so that the extractor is checked against it.
struct Keys {
  uint32_t k[3] = {305419896u, 591751049u, 878082192u};
  static uint32_t Step(uint32_t crc, uint8_t b) {
    return get_crc_table()[(crc ^ b) & 0xFF] ^ (crc >> 8);
  }
  void Update(uint8_t b) {
    k[0] = Step(k[0], b);
    k[1] = (k[1] + (k[0] & 0xFF)) * 134775813u + 1;
    k[2] = Step(k[2], static_cast<uint8_t>(k[1] >> 24));
  }
  char Encrypt(char plain) {
    const uint32_t t = (k[2] | 2) & 0xFFFF;
    const auto c = static_cast<char>(plain ^ static_cast<char>((t * (t ^ 1)) >> 8));
    Update(static_cast<uint8_t>(plain));
    return c;
  }
};

}  // namespace

std::string Deflate(const std::string& data) {
  z_stream zs{};
  if (deflateInit2(&zs, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2");
  }
  std::string out(deflateBound(&zs, static_cast<uLong>(data.size())), '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  if (deflate(&zs, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

std::string GzipMember(const std::string& data, const std::string* name,
                       const std::string* comment) {
  std::string out = "\x1f\x8b\x08";
  out.push_back(static_cast<char>((name ? 8 : 0) | (comment ? 16 : 0)));
  out.append("\0\0\0\0\0\x03", 6);
  if (name) out.append(*name).push_back('\0');
  if (comment) out.append(*comment).push_back('\0');
  out += Deflate(data);
  Put32(out, Crc(data));
  Put32(out, static_cast<uint32_t>(data.size()));
  return out;
}

std::string BuildZip(const std::vector<ZipItem>& items, const ZipLayout& layout) {
  std::string out = layout.front;
  std::string central;
  std::vector<uint64_t> offsets;
  for (const ZipItem& item : items) {
    const uint64_t offset =
        item.local_of ? offsets.at(*item.local_of) : out.size() - layout.front.size();
    offsets.push_back(offset);
    std::string packed = item.packed        ? *item.packed
                         : item.method == 8 ? Deflate(item.data)
                                            : item.data;
    const uint32_t crc = item.crc ? *item.crc : Crc(item.data);
    uint16_t flags = item.flags;
    if (item.password) {
      flags |= 1;
      Keys keys;
      for (char c : *item.password) keys.Update(static_cast<uint8_t>(c));
      std::string header = "0123456789a";
      header.push_back(static_cast<char>(crc >> 24));
      std::string sealed;
      for (char c : header + packed) sealed.push_back(keys.Encrypt(c));
      packed = sealed;
    }
    std::string extra;
    if (item.zip64) {
      Put16(extra, 1);
      Put16(extra, 24);
      Put64(extra, item.data.size());
      Put64(extra, packed.size());
      Put64(extra, offset);
    }
    const uint32_t small_size = item.zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(packed.size());
    const uint32_t small_data = item.zip64           ? 0xFFFFFFFF
                                : item.declared_size ? *item.declared_size
                                                     : static_cast<uint32_t>(item.data.size());
    auto common = [&](std::string& s) {
      Put16(s, flags);
      Put16(s, item.method);
      Put16(s, item.dos_time);
      Put16(s, item.dos_date);
      Put32(s, crc);
      Put32(s, small_size);
      Put32(s, small_data);
      Put16(s, static_cast<uint32_t>(item.name.size()));
    };
    if (!item.local_of) {
      out += "PK\x03\x04";
      Put16(out, 20);
      common(out);
      Put16(out, static_cast<uint32_t>(item.local_extra.size()));
      out += item.name + item.local_extra + packed;
    }

    central += "PK\x01\x02";
    Put16(central, item.made_by);
    Put16(central, 20);
    common(central);
    Put16(central, static_cast<uint32_t>(extra.size() + item.extra.size()));
    Put16(central, 0);  // comment
    Put16(central, 0);  // disk
    Put16(central, 0);  // internal attributes
    Put32(central, item.attributes);
    Put32(central, item.zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(offset));
    central += item.name + extra + item.extra;
  }
  const uint64_t directory = out.size() - layout.front.size();
  out += central;
  const uint64_t count = layout.count ? *layout.count : items.size();
  if (layout.zip64_end) {
    const uint64_t end64 = out.size() - layout.front.size();
    out += "PK\x06\x06";
    Put64(out, 44);
    Put16(out, 45);
    Put16(out, 45);
    Put32(out, 0);
    Put32(out, 0);
    Put64(out, count);
    Put64(out, count);
    Put64(out, central.size());
    Put64(out, directory);
    out += "PK\x06\x07";
    Put32(out, 0);
    Put64(out, end64);
    Put32(out, 1);
  }
  out += "PK\x05\x06";
  Put16(out, layout.disk);
  Put16(out, layout.disk);
  Put16(out, layout.zip64_end ? 0xFFFF : count & 0xFFFF);
  Put16(out, layout.zip64_end ? 0xFFFF : count & 0xFFFF);
  Put32(out, layout.zip64_end ? 0xFFFFFFFF : static_cast<uint32_t>(central.size()));
  Put32(out, layout.zip64_end ? 0xFFFFFFFF : static_cast<uint32_t>(directory));
  Put16(out, static_cast<uint32_t>(layout.comment.size()));
  out += layout.comment;
  return out;
}

}  // namespace toponyx::testing
