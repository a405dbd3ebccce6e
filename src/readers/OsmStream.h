// The objects of an OpenStreetMap file, block by block, as libosmium's
// parsers give them: PBF blocks are decoded on the threads of a pool (every
// core), XML is parsed on a thread of its own. The file's bytes come
// through the program's file layer on a reading thread (bzip2 expanded
// there), and the caller gets control back at every block and, where a
// stretch of the file holds nothing of the types asked for, at least every
// few hundredths of a second: a pass over a large file shows its progress
// and can be stopped at any time. Stopping (the destructor) ends the
// reading at once and waits for every thread the stream started.
#pragma once

#include <atomic>
#include <cstdint>
#include <future>
#include <memory>
#include <osmium/io/detail/input_format.hpp>
#include <osmium/io/detail/read_thread.hpp>
#include <osmium/io/header.hpp>
#include <osmium/memory/buffer.hpp>
#include <osmium/osm/entity_bits.hpp>
#include <osmium/thread/pool.hpp>
#include <string>
#include <thread>

namespace toponyx::readers {

enum class OsmEncoding {
  kPbf,       // .osm.pbf
  kXml,       // .osm
  kXmlBzip2,  // .osm.bz2
};

class OsmStream {
 public:
  // Starts reading the file (toponyx::Error when it cannot be opened).
  OsmStream(const std::string& path, OsmEncoding encoding, osmium::osm_entity_bits::type types,
            osmium::thread::Pool& pool);
  ~OsmStream();
  OsmStream(const OsmStream&) = delete;
  OsmStream& operator=(const OsmStream&) = delete;

  enum class Step {
    kBlock,    // a block of objects (it may hold none of the types asked for)
    kWaiting,  // nothing yet: the file is being read
    kEnd,      // the end of the file
  };
  // The next block. Throws what the parser found wrong with the file (a
  // damaged or cut file: osmium::io_error and others) and toponyx::Error
  // when the file cannot be read.
  Step Next(osmium::memory::Buffer& block);

  // The file's header (waits for it; throws as Next does).
  osmium::io::Header Header();

  // Bytes of the file read so far (ahead of the blocks given out), and the
  // file's size.
  uint64_t BytesRead() const { return bytes_read_.load(std::memory_order_relaxed); }
  uint64_t FileSize() const { return file_size_; }

 private:
  class Input;

  uint64_t file_size_ = 0;
  std::atomic<uint64_t> bytes_read_{0};
  std::atomic<bool> stop_{false};
  std::unique_ptr<Input> input_;
  osmium::io::detail::future_string_queue_type input_queue_;
  osmium::io::detail::future_buffer_queue_type output_queue_;
  std::promise<osmium::io::Header> header_promise_;
  std::future<osmium::io::Header> header_;
  osmium::io::Header header_value_;
  std::atomic<std::size_t> parser_offset_{0};
  std::unique_ptr<osmium::io::detail::ReadThreadManager> reading_;
  std::thread parsing_;
  osmium::memory::Buffer back_;  // the rest of a block given out in parts
  bool ended_ = false;
};

}  // namespace toponyx::readers
