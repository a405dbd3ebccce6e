#include "readers/OsmStream.h"

#include <bzlib.h>

#include <chrono>
#include <osmium/io/bzip2_compression.hpp>
#include <osmium/io/compression.hpp>
#include <osmium/io/file.hpp>
#include <osmium/io/pbf_input.hpp>
#include <osmium/io/xml_input.hpp>

#include "platform/Error.h"
#include "platform/File.h"

namespace toponyx::readers {

// The file's bytes for the parser, read on libosmium's reading thread in
// pieces of a mebibyte: as they stand, or expanded from bzip2 (one stream
// or several one after the other, as parallel compressors write them). An
// empty piece ends the input, also when the stream is stopped.
class OsmStream::Input final : public osmium::io::Decompressor {
 public:
  Input(std::unique_ptr<platform::File> file, std::string path, bool bzip2,
        std::atomic<uint64_t>& bytes_read, const std::atomic<bool>& stop)
      : file_(std::move(file)),
        path_(std::move(path)),
        bzip2_(bzip2),
        bytes_read_(bytes_read),
        stop_(stop) {}
  ~Input() noexcept override { EndStream(); }

  std::string read() override {
    if (stop_.load(std::memory_order_relaxed)) return {};
    return bzip2_ ? Expand() : Raw();
  }
  void close() override {}

 private:
  static constexpr size_t kPiece = 64 * 1024;

  std::string Raw() {
    std::string piece(kPiece, '\0');
    const size_t n = ReadFile(piece.data(), piece.size());
    piece.resize(n);
    return piece;
  }

  size_t ReadFile(char* out, size_t n) {
    const int64_t got = file_->Read(out, n);
    if (got < 0) {
      throw Error("Read error in file " + path_ + ": " + platform::DefaultFileSystem().LastError());
    }
    bytes_read_.fetch_add(static_cast<uint64_t>(got), std::memory_order_relaxed);
    return static_cast<size_t>(got);
  }

  std::string Expand() {
    std::string piece(kPiece, '\0');
    stream_.next_out = piece.data();
    stream_.avail_out = static_cast<unsigned>(piece.size());
    while (stream_.avail_out > 0) {
      if (stream_.avail_in == 0) {
        if (at_end_) break;
        const size_t n = ReadFile(packed_.data(), packed_.size());
        if (n == 0) {
          at_end_ = true;
          if (in_stream_) throw osmium::bzip2_error("bzip2 error: the file is cut short", 0);
          break;
        }
        stream_.next_in = packed_.data();
        stream_.avail_in = static_cast<unsigned>(n);
      }
      if (!in_stream_) {
        const int result = BZ2_bzDecompressInit(&stream_, 0, 0);
        if (result != BZ_OK) throw osmium::bzip2_error("bzip2 error: no memory", result);
        in_stream_ = true;
      }
      const int result = BZ2_bzDecompress(&stream_);
      if (result == BZ_STREAM_END) {
        EndStream();  // another stream may follow
      } else if (result != BZ_OK) {
        throw osmium::bzip2_error("bzip2 error: damaged data", result);
      }
    }
    piece.resize(piece.size() - stream_.avail_out);
    return piece;
  }

  void EndStream() noexcept {
    if (!in_stream_) return;
    // What is left of the input is the next stream's, the room left in the
    // piece its output's.
    bz_stream next{};
    next.next_in = stream_.next_in;
    next.avail_in = stream_.avail_in;
    next.next_out = stream_.next_out;
    next.avail_out = stream_.avail_out;
    BZ2_bzDecompressEnd(&stream_);
    stream_ = next;
    in_stream_ = false;
  }

  std::unique_ptr<platform::File> file_;
  std::string path_;
  bool bzip2_;
  std::atomic<uint64_t>& bytes_read_;
  const std::atomic<bool>& stop_;
  bz_stream stream_{};
  std::string packed_ = std::string(kPiece, '\0');
  bool in_stream_ = false;
  bool at_end_ = false;
};

namespace {

// As libosmium's own reader sizes its queues: pieces of input read ahead,
// blocks decoded ahead.
constexpr size_t kInputQueue = 20;
constexpr size_t kBlockQueue = 20;

}  // namespace

OsmStream::OsmStream(const std::string& path, OsmEncoding encoding,
                     osmium::osm_entity_bits::type types, osmium::thread::Pool& pool)
    : input_queue_(kInputQueue, "osm input"), output_queue_(kBlockQueue, "osm blocks") {
  platform::FileSystem& fs = platform::DefaultFileSystem();
  std::unique_ptr<platform::File> file = fs.Open(path, platform::OpenMode::kRead);
  if (!file) throw Error("Cannot open file " + path + ": " + fs.LastError());
  const int64_t size = file->Size();
  file_size_ = size > 0 ? static_cast<uint64_t>(size) : 0;
  input_ = std::make_unique<Input>(std::move(file), path, encoding == OsmEncoding::kXmlBzip2,
                                   bytes_read_, stop_);
  header_ = header_promise_.get_future();

  const osmium::io::File format("", encoding == OsmEncoding::kPbf ? "pbf" : "osm");
  const auto create = osmium::io::detail::ParserFactory::instance().get_creator_function(format);
  reading_ = std::make_unique<osmium::io::detail::ReadThreadManager>(*input_, input_queue_);
  try {
    parsing_ = std::thread([this, create, types, &pool] {
      osmium::io::detail::parser_arguments arguments{pool,
                                                     -1,  // the input comes through the queue
                                                     input_queue_,
                                                     output_queue_,
                                                     header_promise_,
                                                     &parser_offset_,
                                                     types,
                                                     osmium::io::read_meta::no,
                                                     osmium::io::buffers_type::any,
                                                     false};
      try {
        create(arguments)->parse();
      } catch (...) {
        osmium::io::detail::add_to_queue(output_queue_, std::current_exception());
        osmium::io::detail::add_end_of_data_to_queue(output_queue_);
      }
      // A file that ended before its header has an empty one.
      try {
        header_promise_.set_value(osmium::io::Header{});
      } catch (const std::future_error&) {
      }
    });
  } catch (...) {
    // No parser: the reading thread must not wait for room in its queue.
    input_queue_.shutdown();
    throw;
  }
}

OsmStream::~OsmStream() {
  // The reading thread ends at its next piece; the parser takes what was
  // read ahead, puts out nothing more, and ends at the input's end.
  stop_.store(true, std::memory_order_relaxed);
  reading_->stop();
  output_queue_.shutdown();
  reading_->close();
  if (parsing_.joinable()) parsing_.join();
}

OsmStream::Step OsmStream::Next(osmium::memory::Buffer& block) {
  // A block that outgrew its first buffer holds the earlier parts in nested
  // ones: the innermost (earliest) first, the block itself last.
  if (back_) {
    if (back_.has_nested_buffers()) {
      block = std::move(*back_.get_last_nested());
    } else {
      block = std::move(back_);
      back_ = osmium::memory::Buffer();
    }
    return Step::kBlock;
  }
  if (ended_) return Step::kEnd;
  // The next block is mostly there or nearly: a short spin, then naps, for
  // at most 50 ms before the caller gets control back.
  std::future<osmium::memory::Buffer> next;
  const auto start = std::chrono::steady_clock::now();
  while (!output_queue_.try_pop(next)) {
    const auto waited = std::chrono::steady_clock::now() - start;
    if (waited >= std::chrono::milliseconds(50)) return Step::kWaiting;
    if (waited < std::chrono::microseconds(200)) {
      std::this_thread::yield();
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  block = next.get();
  if (!block) {
    ended_ = true;
    return Step::kEnd;
  }
  if (block.has_nested_buffers()) {
    back_ = std::move(block);
    block = std::move(*back_.get_last_nested());
  }
  return Step::kBlock;
}

osmium::io::Header OsmStream::Header() {
  if (header_.valid()) header_value_ = header_.get();
  return header_value_;
}

}  // namespace toponyx::readers
