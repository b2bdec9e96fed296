// LoadDatabase on generated files: whether its time grows linearly with the file (many
// sections, many Hash entries), and what a line far over the reader's limit costs.
//   database_bench [--quick] DIR
// DIR receives the generated files (about 80 MB; --quick: about 30 MB, one run each).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/headless_window.h"
#include "bench/proc_stats.h"
#include "database/load_database.h"

namespace {

constexpr double kMB = 1e6;

// The entries of a database that loads, ahead of whatever a test adds.
const char kValidStart[] =
    "[Modules]\nA=3,16,0\nB=6,64,1\n"
    "[Chips]\n1=Sample chip,16,1,c2,22\n"
    "[Vendors]\n1=Macronix,c2\n"
    "[Setup]\nMD5_check=m\nSHA1_check=1\nAGI_CRC_check=1\n";

// Writes the file line by line, so that writing it takes no memory either.
class FileWriter {
 public:
  explicit FileWriter(const std::string& path) : file_(std::fopen(path.c_str(), "wb")) {}
  ~FileWriter() {
    if (file_ != nullptr)
      std::fclose(file_);
  }
  bool ok() const { return file_ != nullptr; }
  void Put(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), file_);
    bytes_ += text.size();
  }
  size_t bytes() const { return bytes_; }

 private:
  std::FILE* file_;
  size_t bytes_ = 0;
};

// `count` sections of about 100 bytes each, none of them one the loader reads.
size_t WriteSections(const std::string& path, int count) {
  FileWriter out(path);
  out.Put(kValidStart);
  char line[160];
  for (int i = 0; i < count; ++i) {
    std::snprintf(line, sizeof line,
                  "[Notes %06d]\nmodule=a module type of the workshop, %06d\nchip=%06d, 16-bit\n"
                  "vendor=%06d, no code\n",
                  i, i, i, i);
    out.Put(line);
  }
  return out.bytes();
}

// One Hash section of `count` entries of about 110 bytes each.
size_t WriteHashEntries(const std::string& path, int count) {
  FileWriter out(path);
  out.Put(kValidStart);
  out.Put("[Hash]\n");
  char line[200];
  for (int i = 0; i < count; ++i) {
    std::snprintf(line, sizeof line, "%d=Dump %06d,%032x,%040x,%08x\n", i, i, i, i, i);
    out.Put(line);
  }
  return out.bytes();
}

// A Modules entry whose value is one line of `bytes` bytes.
size_t WriteLongLine(const std::string& path, size_t bytes) {
  FileWriter out(path);
  out.Put(kValidStart);
  out.Put("[Modules]\nX=");
  const std::string piece(1 << 20, 'v');
  for (size_t done = 0; done < bytes; done += piece.size()) out.Put(piece);
  out.Put("\n");
  return out.bytes();
}

struct Load {
  bool ok = false;
  double cpuMs = 0;  // the best of the runs
  std::vector<std::string> messages;
};

Load TimeLoad(const std::string& path, int runs) {
  Load best;
  for (int r = 0; r < runs; ++r) {
    HeadlessWindow window;
    FlashDatabase db;
    const double cpu = bench::CpuSeconds();
    const bool ok = LoadDatabase(
        db,
        [&window](const std::string& text, const std::string& caption) {
          window.ShowMessage(text, caption);
        },
        path);
    const double ms = (bench::CpuSeconds() - cpu) * 1e3;
    if (r == 0 || ms < best.cpuMs)
      best = Load{ok, ms, window.messages};
  }
  return best;
}

struct Pair {
  const char* what;
  size_t (*write)(const std::string&, int);
  int smallCount;  // about 1 MB; the large file has ten times as many
};

}  // namespace

int main(int argc, char** argv) {
  bool quick = false;
  std::string dir;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--quick") == 0)
      quick = true;
    else
      dir = argv[i];
  }
  if (dir.empty()) {
    std::fprintf(stderr, "usage: database_bench [--quick] DIR\n");
    return 2;
  }
  const int runs = quick ? 1 : 3;
  std::printf("CPU ms of one LoadDatabase, the best of %d runs.\n\n", runs);
  std::printf("%-22s %9s %9s %9s %8s\n", "file", "MB", "entries", "ms", "MB/s");

  bool failed = false;
  double largeSectionsMs = 0;
  std::vector<std::string> ratios;
  const Pair pairs[] = {{"sections", WriteSections, 10000},
                        {"Hash entries", WriteHashEntries, 9000}};
  for (const Pair& p : pairs) {
    double ms[2] = {};
    for (int scale : {1, 10}) {
      const int count = p.smallCount * scale;
      const std::string path = dir + "/database-" + std::to_string(count) + ".ini";
      const size_t bytes = p.write(path, count);
      const Load load = TimeLoad(path, runs);
      std::remove(path.c_str());
      if (!load.ok) {
        std::fprintf(stderr, "%d %s: the load failed\n", count, p.what);
        failed = true;
      }
      ms[scale == 10] = load.cpuMs;
      std::printf("%-22s %9.1f %9d %9.1f %8.0f\n", (std::to_string(count) + " " + p.what).c_str(),
                  bytes / kMB, count, load.cpuMs, bytes / kMB / (load.cpuMs / 1e3));
    }
    if (p.write == WriteSections)
      largeSectionsMs = ms[1];
    char ratio[96];
    std::snprintf(ratio, sizeof ratio, "%s %.1f", p.what, ms[1] / ms[0]);
    ratios.push_back(ratio);
  }

  // A line far over the 1 MiB the reader keeps: refused, quoted short, never held whole.
  const size_t lineMiB = quick ? 16 : 50;
  const size_t lineBytes = lineMiB << 20;
  const std::string linePath = dir + "/database-long-line.ini";
  WriteLongLine(linePath, lineBytes);
  const long rssBefore = bench::RssKiB();
  const bool peakReset = bench::ResetPeakRss();
  const Load line = TimeLoad(linePath, 1);
  const long growthKiB = bench::PeakRssKiB() - rssBefore;
  std::remove(linePath.c_str());
  const size_t messageBytes = line.messages.empty() ? 0 : line.messages.front().size();

  auto verdict = [](bool met) { return met ? "met" : "MISSED"; };
  std::printf("\ntime 10 MB / 1 MB: %s, %s (linear: about 10)\n", ratios[0].c_str(),
              ratios[1].c_str());
  std::printf("100000 sections: %.1f ms (target < 200 ms): %s\n", largeSectionsMs,
              verdict(largeSectionsMs < 200));
  std::printf("a %zu MiB line: refused in %.1f ms with a %zu-byte message, peak memory %s\n",
              lineBytes >> 20, line.cpuMs, messageBytes,
              peakReset ? ("+" + std::to_string(growthKiB / 1024) + " MiB").c_str() : "not known");
  if (line.ok || line.messages.size() != 1 || messageBytes > 300) {
    std::fprintf(stderr, "the long line was not refused with one short message\n");
    failed = true;
  }
  return failed ? 1 : 0;
}
