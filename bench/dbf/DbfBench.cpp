// Table benchmark: N generated place records are appended to a working
// table, indexed on NAME and copied in name order into a second table, the
// way a Create run does it; beside it, in the same run, LC_ALL=C sort -s
// sorts the same keys written as a text file, as the yardstick.
//
//   toponyx_dbf_bench [records] [--seed S] [--no-verify]
//
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
#include "build/BuildUi.h"
#include "dbf/DbfTable.h"
#include "dbf/NameIndex.h"
#include "platform/File.h"
#include "platform/System.h"
#include "readers/CodePage.h"

// Heap allocations made while `counting` is set: the table calls of the
// append and copy loops, so that allocations per record can be reported.
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
using toponyx::dbf::DbfTable;
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

void DefineFields(DbfTable& t) {
  t.ClearFields();
  t.AddField("NAME", 'C', 45);
  t.AddField("FULL_CODE", 'C', 40);
  t.AddField("MAJOR_CODE", 'C', 40);
  t.AddField("LATITUDE", 'C', 10);
  t.AddField("LONGITUDE", 'C', 10);
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

int Run(uint64_t records, uint64_t seed, bool verify) {
  Folder folder{toponyx::platform::CreateUniqueFolder(toponyx::platform::SystemTempFolder(),
                                                      "toponyx-dbf-bench-")};
  if (folder.path.empty()) {
    std::fprintf(stderr, "cannot create a folder under %s\n",
                 toponyx::platform::SystemTempFolder().c_str());
    return 1;
  }
  std::printf("records: %llu, folder: %s\n", static_cast<unsigned long long>(records),
              folder.path.c_str());

  // The yardstick: sort the same keys as lines of text.
  const std::string keys = folder.path + "/keys.txt";
  const std::string sorted = folder.path + "/sorted.txt";
  WriteKeys(keys, records, seed);
  const double keys_mib = FileMiB(keys);
  const std::string command = "LC_ALL=C sort -s -o '" + sorted + "' '" + keys + "'";
  auto start = Clock::now();
  const int status = std::system(command.c_str());
  const double sort_seconds = Seconds(start);
  if (status != 0) {
    std::fprintf(stderr, "sort failed (%d)\n", status);
    return 1;
  }
  rusage children{};
  getrusage(RUSAGE_CHILDREN, &children);
  std::remove(keys.c_str());
  std::remove(sorted.c_str());

  // What the generator alone costs (it runs inside the append phase).
  start = Clock::now();
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

  // The pipeline: append, index, ordered copy.
  toponyx::NullBuildUi ui;
  const bool peaks = ResetPeak();
  Cpu cpu = CpuNow();
  start = Clock::now();
  DbfTable working(&ui);
  working.SetFilePath(folder.path);
  working.SetTableName("temp.names");
  DefineFields(working);
  working.CreateTable();
  working.Open();
  {
    NameGenerator gen(seed);
    PlaceText place;
    for (uint64_t i = 0; i < records; ++i) {
      gen.Next(place);
      Counted counted;
      working.Append();
      working.SetField(0, place.name);
      working.SetField(1, place.full_code);
      working.SetField(2, place.major_code);
      working.SetField(3, place.latitude);
      working.SetField(4, place.longitude);
      working.Post();
    }
  }
  const uint64_t append_allocations = allocations;
  const double append_seconds = Seconds(start);
  const double append_peak = PeakMiB();
  const std::string append_cpu = CpuSince(cpu);
  cpu = CpuNow();
  const double table_mib = FileMiB(folder.path + "/temp.names");

  if (peaks) ResetPeak();
  auto phase = Clock::now();
  allocations = 0;
  {
    Counted counted;
    working.AddIndex("temp.ndx", "name");
    working.OpenIndexFile("temp.ndx");
    working.SetIndexName("temp.ndx");
  }
  const uint64_t index_allocations = allocations;
  const double index_seconds = Seconds(phase);
  const double index_peak = PeakMiB();
  const std::string index_cpu = CpuSince(cpu);
  cpu = CpuNow();
  const double ndx_mib = FileMiB(folder.path + "/temp.ndx");

  if (peaks) ResetPeak();
  phase = Clock::now();
  DbfTable output(&ui);
  output.SetTableName(folder.path + "/bench.names");
  DefineFields(output);
  output.CreateTable();
  output.Open();
  std::string value;
  value.reserve(64);
  uint64_t copied = 0;
  allocations = 0;
  {
    Counted counted;
    for (working.First(); !working.Eof(); working.Next()) {
      output.Append();
      for (int f = 0; f < 5; ++f) {
        working.GetField(f, value);
        output.SetField(f, value);
      }
      output.Post();
      ++copied;
    }
    working.Close();
    output.Close();
  }
  const uint64_t copy_allocations = allocations;
  const double copy_seconds = Seconds(phase);
  const double copy_peak = PeakMiB();
  const std::string copy_cpu = CpuSince(cpu);
  const double total_seconds = Seconds(start);

  auto rate = [records](double s) { return s > 0 ? static_cast<double>(records) / s : 0.0; };
  std::printf("\n%-34s %9.2f s                     (%.0f MiB of keys, peak %.0f MiB)\n",
              "LC_ALL=C sort -s", sort_seconds, keys_mib,
              static_cast<double>(children.ru_maxrss) / 1024.0);
  std::printf("%-34s %9.2f s %12.0f rec/s   peak %.1f MiB (table %.0f MiB)\n",
              "append (generator included)", append_seconds, rate(append_seconds), append_peak,
              table_mib);
  std::printf("%-34s %9.2f s %12.0f rec/s   peak %.1f MiB (index file %.0f MiB)\n", "create index",
              index_seconds, rate(index_seconds), index_peak, ndx_mib);
  std::printf("%-34s %9.2f s %12.0f rec/s   peak %.1f MiB\n", "ordered copy", copy_seconds,
              rate(copy_seconds), copy_peak);
  std::printf("%-34s %9.2f s %12.0f rec/s   peak %.1f MiB%s\n", "append + index + copy",
              total_seconds, rate(total_seconds), std::max({append_peak, index_peak, copy_peak}),
              peaks ? "" : " (whole process)");
  std::printf("%-34s %9.2f s\n", "generator alone", generator_seconds);
  std::printf("cpu: append %s; index %s; copy %s\n", append_cpu.c_str(), index_cpu.c_str(),
              copy_cpu.c_str());
  std::printf("heap allocations: append loop %llu, index %llu, copy loop %llu\n",
              static_cast<unsigned long long>(append_allocations),
              static_cast<unsigned long long>(index_allocations),
              static_cast<unsigned long long>(copy_allocations));
  std::printf("%-34s %9.2f\n", "ratio to sort", total_seconds / sort_seconds);
  std::printf("%-34s %9.2f\n", "ratio to sort, generator excluded",
              (total_seconds - generator_seconds) / sort_seconds);

  if (copied != records) {
    std::fprintf(stderr, "copied %llu records, expected %llu\n",
                 static_cast<unsigned long long>(copied), static_cast<unsigned long long>(records));
    return 1;
  }
  if (verify) {  // the output really is in name order
    DbfTable check(&ui);
    check.SetTableName(folder.path + "/bench.names");
    check.Open();
    char previous[45];
    char key[45];
    uint64_t seen = 0;
    for (check.First(); !check.Eof(); check.Next()) {
      check.GetField(0, value);
      StoredKey(value, key);
      if (seen > 0 && toponyx::dbf::CompareKeys(previous, key, 45) > 0) {
        std::fprintf(stderr, "record %u is out of order\n", check.RecNo());
        return 1;
      }
      std::memcpy(previous, key, 45);
      ++seen;
    }
    check.Close();
    if (seen != records) {
      std::fprintf(stderr, "output holds %llu records\n", static_cast<unsigned long long>(seen));
      return 1;
    }
    std::printf("verified: %llu records in name order\n", static_cast<unsigned long long>(seen));
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  uint64_t records = 10'000'000;
  uint64_t seed = 1;
  bool verify = true;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--seed" && i + 1 < argc) {
      seed = std::strtoull(argv[++i], nullptr, 10);
    } else if (arg == "--no-verify") {
      verify = false;
    } else if (!arg.empty() && arg[0] >= '0' && arg[0] <= '9') {
      records = std::strtoull(arg.c_str(), nullptr, 10);
    } else {
      std::fprintf(stderr, "usage: %s [records] [--seed S] [--no-verify]\n", argv[0]);
      return 2;
    }
  }
  if (records > 0xFFFFFFFFull) {
    std::fprintf(stderr, "at most 4294967295 records\n");
    return 2;
  }
  try {
    return Run(records, seed, verify);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
