// Table benchmark: N generated places are stored into the working name
// index as a Create run reads them (sorted into runs beside the storing),
// the index is finished (its runs merged down to the fan-in) and walked in
// name order into a name database, the way a Create run does it; beside
// it, in the same run, LC_ALL=C sort -s sorts the same keys written as a
// text file, as the yardstick.
//
//   toponyx_dbf_bench [records] [--repeat R] [--seed S] [--no-verify]
//
// With --repeat, sort and the pipeline run R times in turn and the best
// times are compared as well: the machine may be shared.
// Files go to a fresh folder under $TMPDIR (else /tmp), removed at the end.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <string>

#include "NameGenerator.h"
#include "dbf/IndexKey.h"
#include "dbf/RecordFile.h"
#include "frontend/BuildUi.h"
#include "pipeline/BuildContext.h"
#include "pipeline/Output.h"
#include "platform/File.h"
#include "platform/System.h"
#include "text/CodePage.h"

// Heap allocations made while `counting` is set: the calls of the storing
// and copy loops, so that allocations per record can be reported.
namespace {
thread_local bool counting = false;
uint64_t allocations = 0;
}  // namespace

void* operator new(size_t size) {
  if (counting) ++allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, size_t) noexcept {
  std::free(p);
}

namespace {

struct Counted {
  Counted() { counting = true; }
  ~Counted() { counting = false; }
};

using toponyx::bench::NameGenerator;
using toponyx::bench::PlaceText;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

struct Cpu {
  double user;
  double system;
};
Cpu CpuNow() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return Cpu{static_cast<double>(u.ru_utime.tv_sec) + u.ru_utime.tv_usec / 1e6,
             static_cast<double>(u.ru_stime.tv_sec) + u.ru_stime.tv_usec / 1e6};
}
std::string CpuSince(const Cpu& c) {
  const Cpu now = CpuNow();
  char text[64];
  std::snprintf(text, sizeof text, "user %.2f s, system %.2f s", now.user - c.user,
                now.system - c.system);
  return text;
}

// Peak resident memory of this process in MiB since the last reset.
double PeakMiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Starts a new peak measurement (Linux: writing 5 to clear_refs resets VmHWM).
bool ResetPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  clear.flush();
  return static_cast<bool>(clear);
}

double FileMiB(const std::string& path) {
  auto file = toponyx::platform::DefaultFileSystem().Open(path, toponyx::platform::OpenMode::kRead);
  return file ? static_cast<double>(file->Size()) / (1 << 20) : 0;
}

// The key as the table stores it: OEM, cut to 45, blank-filled.
void StoredKey(const std::string& name, char* key) {
  const size_t n = std::min<size_t>(name.size(), 45);
  toponyx::codepage::AnsiToOem(name.data(), key, n);
  std::memset(key + n, ' ', 45 - n);
}

void WriteKeys(const std::string& path, uint64_t records, uint64_t seed) {
  auto file =
      toponyx::platform::DefaultFileSystem().Open(path, toponyx::platform::OpenMode::kCreate);
  if (!file) throw std::runtime_error("cannot create " + path);
  std::string buffer;
  buffer.reserve(1 << 20);
  NameGenerator gen(seed);
  PlaceText place;
  char key[46];
  key[45] = '\n';
  for (uint64_t i = 0; i < records; ++i) {
    gen.Next(place);
    StoredKey(place.name, key);
    buffer.append(key, 46);
    if (buffer.size() >= (1 << 20) - 46) {
      if (!file->Write(buffer.data(), buffer.size())) throw std::runtime_error("cannot write keys");
      buffer.clear();
    }
  }
  if (!file->Write(buffer.data(), buffer.size()) || !file->Close()) {
    throw std::runtime_error("cannot write keys");
  }
}

struct Folder {
  std::string path;
  ~Folder() {
    if (!path.empty()) toponyx::platform::RemoveTree(path);
  }
};

struct SortRound {
  double seconds = 0;
  double peak_mib = 0;  // largest of sort's processes so far
};

// The yardstick: sort the keys as lines of text.
SortRound RunSort(const std::string& keys, const std::string& sorted) {
  const std::string command = "LC_ALL=C sort -s -o '" + sorted + "' '" + keys + "'";
  SortRound round;
  const auto start = Clock::now();
  const int status = std::system(command.c_str());
  round.seconds = Seconds(start);
  if (status != 0) throw std::runtime_error("sort failed (" + std::to_string(status) + ")");
  rusage children{};
  getrusage(RUSAGE_CHILDREN, &children);
  round.peak_mib = static_cast<double>(children.ru_maxrss) / 1024.0;
  std::remove(sorted.c_str());
  return round;
}

struct PipelineRound {
  double append = 0, index = 0, copy = 0, total = 0;
  double append_peak = 0, index_peak = 0, copy_peak = 0;
  bool peaks = false;  // per phase; else for the whole process
  std::string append_cpu, index_cpu, copy_cpu;
  uint64_t append_allocations = 0, index_allocations = 0, copy_allocations = 0;
  double table_mib = 0, ndx_mib = 0;
  uint64_t copied = 0;
};

// The pipeline of a Create run: the places stored into the index, the
// index finished, the ordered copy into the name database.
PipelineRound RunPipeline(const std::string& folder, uint64_t records, uint64_t seed) {
  namespace pipeline = toponyx::pipeline;
  auto& fs = toponyx::platform::DefaultFileSystem();
  PipelineRound r;
  toponyx::NullBuildUi ui;
  r.peaks = ResetPeak();
  Cpu cpu = CpuNow();
  const auto start = Clock::now();
  const auto building = pipeline::StartWorkingIndex(fs, folder, true);
  pipeline::WorkingTableSink sink;
  sink.Attach(building.get());
  allocations = 0;
  {
    NameGenerator gen(seed);
    PlaceText place;
    for (uint64_t i = 0; i < records; ++i) {
      gen.Next(place);
      Counted counted;
      sink.Add(toponyx::readers::Place{.name = place.name,
                                       .full_code = place.full_code,
                                       .major_code = place.major_code,
                                       .latitude_text = place.latitude,
                                       .longitude_text = place.longitude});
    }
  }
  r.append_allocations = allocations;
  r.append = Seconds(start);
  r.append_peak = PeakMiB();
  r.append_cpu = CpuSince(cpu);

  if (r.peaks) ResetPeak();
  cpu = CpuNow();
  auto phase = Clock::now();
  allocations = 0;
  std::unique_ptr<toponyx::dbf::NameIndex> index;
  {
    Counted counted;
    index = building->Finish({});
  }
  r.index_allocations = allocations;
  r.index = Seconds(phase);
  r.index_peak = PeakMiB();
  r.index_cpu = CpuSince(cpu);
  r.ndx_mib = FileMiB(folder + "/temp.ndx");

  if (r.peaks) ResetPeak();
  cpu = CpuNow();
  phase = Clock::now();
  toponyx::dbf::DbfTable output(&ui);
  pipeline::NameDatabaseWriter writer(output, fs, pipeline::DatabaseFilesIn(folder, "final"),
                                      pipeline::DatabaseFilesIn(folder, "bench"), true);
  allocations = 0;
  {
    Counted counted;
    r.copied = pipeline::WalkInNameOrder(*index, writer, ui);
    index->Close();
  }
  r.copy_allocations = allocations;
  r.copy = Seconds(phase);
  r.copy_peak = PeakMiB();
  r.copy_cpu = CpuSince(cpu);
  r.total = Seconds(start);
  r.table_mib = FileMiB(folder + "/bench.names");
  return r;
}

// The output really is in name order and complete.
bool Verify(const std::string& path, uint64_t records) {
  toponyx::dbf::RecordFile check;
  check.Open(path);
  const size_t length = check.RecordLength();
  std::vector<char> block(length * 4096);
  char previous[45];
  uint64_t seen = 0;
  for (uint32_t first = 1; first <= check.RecordCount(); first += 4096) {
    const uint32_t n = check.Read(first, 4096, block.data());
    if (n == 0) break;
    for (uint32_t i = 0; i < n; ++i) {
      const char* key = block.data() + size_t{i} * length + 1;
      if (seen > 0 && toponyx::dbf::CompareKeys(previous, key, 45) > 0) {
        std::fprintf(stderr, "record %llu is out of order\n",
                     static_cast<unsigned long long>(seen + 1));
        return false;
      }
      std::memcpy(previous, key, 45);
      ++seen;
    }
  }
  check.Close();
  if (seen != records) {
    std::fprintf(stderr, "output holds %llu records\n", static_cast<unsigned long long>(seen));
    return false;
  }
  return true;
}

int Run(uint64_t records, uint64_t seed, bool verify, int repeat) {
  Folder folder{toponyx::platform::CreateUniqueFolder(toponyx::platform::SystemTempFolder(),
                                                      "toponyx-dbf-bench-")};
  if (folder.path.empty()) {
    std::fprintf(stderr, "cannot create a folder under %s\n",
                 toponyx::platform::SystemTempFolder().c_str());
    return 1;
  }
  std::printf("records: %llu, rounds: %d, folder: %s\n", static_cast<unsigned long long>(records),
              repeat, folder.path.c_str());
  const std::string keys = folder.path + "/keys.txt";
  WriteKeys(keys, records, seed);
  const double keys_mib = FileMiB(keys);

  // What the generator alone costs (it runs inside the append phase).
  auto start = Clock::now();
  {
    NameGenerator gen(seed);
    PlaceText place;
    size_t checksum = 0;
    for (uint64_t i = 0; i < records; ++i) {
      gen.Next(place);
      checksum += place.name.size() + place.latitude.size();
    }
    if (checksum == 1) std::printf(" ");
  }
  const double generator_seconds = Seconds(start);

  auto rate = [records](double s) { return s > 0 ? static_cast<double>(records) / s : 0.0; };
  double best_sort = 1e300, best_total = 1e300, best_sans_generator = 1e300;
  double worst_peak = 0;
  SortRound sort;
  for (int round = 1; round <= repeat; ++round) {
    sort = RunSort(keys, folder.path + "/sorted.txt");
    const PipelineRound r = RunPipeline(folder.path, records, seed);
    if (r.copied != records) {
      std::fprintf(stderr, "copied %llu records, expected %llu\n",
                   static_cast<unsigned long long>(r.copied),
                   static_cast<unsigned long long>(records));
      return 1;
    }
    const double peak = std::max({r.append_peak, r.index_peak, r.copy_peak});
    std::printf("\nround %d\n", round);
    std::printf("  %-32s %8.2f s                     (%.0f MiB of keys, peak %.0f MiB)\n",
                "LC_ALL=C sort -s", sort.seconds, keys_mib, sort.peak_mib);
    std::printf("  %-32s %8.2f s %11.0f rec/s   peak %.1f MiB\n",
                "store and sort (generator incl.)", r.append, rate(r.append), r.append_peak);
    std::printf("  %-32s %8.2f s %11.0f rec/s   peak %.1f MiB (index file %.0f MiB)\n",
                "finish index", r.index, rate(r.index), r.index_peak, r.ndx_mib);
    std::printf("  %-32s %8.2f s %11.0f rec/s   peak %.1f MiB (table %.0f MiB)\n", "ordered copy",
                r.copy, rate(r.copy), r.copy_peak, r.table_mib);
    std::printf("  %-32s %8.2f s %11.0f rec/s   peak %.1f MiB%s\n", "store + index + copy", r.total,
                rate(r.total), peak, r.peaks ? "" : " (whole process)");
    std::printf("  %-32s %8.2f (%.2f without the generator)\n", "ratio to sort",
                r.total / sort.seconds, (r.total - generator_seconds) / sort.seconds);
    std::printf("  cpu: store %s; index %s; copy %s\n", r.append_cpu.c_str(), r.index_cpu.c_str(),
                r.copy_cpu.c_str());
    std::printf("  heap allocations: store loop %llu, index %llu, copy loop %llu\n",
                static_cast<unsigned long long>(r.append_allocations),
                static_cast<unsigned long long>(r.index_allocations),
                static_cast<unsigned long long>(r.copy_allocations));
    best_sort = std::min(best_sort, sort.seconds);
    best_total = std::min(best_total, r.total);
    best_sans_generator = std::min(best_sans_generator, r.total - generator_seconds);
    worst_peak = std::max(worst_peak, peak);

    const std::string output = folder.path + "/bench.names";
    if (verify && round == repeat) {
      if (!Verify(output, records)) return 1;
      std::printf("  verified: %llu records in name order\n",
                  static_cast<unsigned long long>(records));
    }
    std::remove(output.c_str());
    std::remove((folder.path + "/temp.ndx").c_str());
  }
  std::printf(
      "\nbest of %d: sort %.2f s, store + index + copy %.2f s (%.2f s without the "
      "generator, which alone takes %.2f s)\n",
      repeat, best_sort, best_total, best_sans_generator, generator_seconds);
  std::printf("ratio of the best times: %.2f (%.2f without the generator); peak memory %.1f MiB\n",
              best_total / best_sort, best_sans_generator / best_sort, worst_peak);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  uint64_t records = 10'000'000;
  uint64_t seed = 1;
  bool verify = true;
  int repeat = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--seed" && i + 1 < argc) {
      seed = std::strtoull(argv[++i], nullptr, 10);
    } else if (arg == "--repeat" && i + 1 < argc) {
      repeat = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--no-verify") {
      verify = false;
    } else if (!arg.empty() && arg[0] >= '0' && arg[0] <= '9') {
      records = std::strtoull(arg.c_str(), nullptr, 10);
    } else {
      std::fprintf(stderr, "usage: %s [records] [--repeat R] [--seed S] [--no-verify]\n", argv[0]);
      return 2;
    }
  }
  if (records > 0xFFFFFFFFull) {
    std::fprintf(stderr, "at most 4294967295 records\n");
    return 2;
  }
  try {
    return Run(records, seed, verify, repeat);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
