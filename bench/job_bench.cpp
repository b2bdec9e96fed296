// One benchmark run per process, so that each has a peak memory of its own:
//   job_bench prepare DIR [SIZE...]     the pattern files of the module sizes (16 and 64)
//   job_bench digest [SIZE]             MD5 + SHA-1 + AGI CRC per 32 KiB block (64 MiB)
//   job_bench run JOB SIZE DIR          a whole Start press with JOB (read, check, write)
//   job_bench cancel JOB SIZE DIR       the same, Cancel clicked half-way through
// SIZE is 16 (one bank) or 64 (two banks). The figures go to stdout as key=value lines;
// job_table runs this program and puts them into one table.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/core/form_logic.h"
#include "bench/headless_window.h"
#include "bench/proc_stats.h"
#include "bench/sim_programmer.h"
#include "digest/agi_crc.h"
#include "digest/md5.h"
#include "digest/sha1.h"
#include "sim/flash_memory.h"

namespace {

using bench::Report;

// The tool as the window runs it, on a simulated programmer of one module size.
struct Tool {
  Tool(int sizeMiB, const std::string& dir) : programmer(sizeMiB) {
    window.ShowLog(ctx.log);
    window.onClick = [this](Control c) { DispatchClick(ctx, c); };
    programmer.Attach(ctx);
    ctx.databasePath = bench::WriteDatabase(dir);
    FormShow(ctx);  // loads the database; Auto mode, read mode
  }

  // Ticks the job's box, the file dialog answering with `path`.
  void Select(const std::string& job, const std::string& path) {
    window.dialogAnswer = path;
    if (job == "check")
      DispatchClick(ctx, Control::Button1);  // read mode to check mode
    window.SetChecked(job == "write" ? Control::CheckBox3 : Control::CheckBox1, true);
  }

  int DeviceBlocks(const std::string& job) const {
    return job == "write" ? programmer.WriteBlocks() : programmer.ReadBlocks();
  }

  HeadlessWindow window;
  AppContext ctx{window};
  bench::SimProgrammer programmer;
};

long FileBytes(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

int Prepare(const std::string& dir, const std::vector<int>& sizes) {
  for (int size : sizes)
    if (!bench::WritePatternFile(dir, size)) {
      std::fprintf(stderr, "cannot write %s\n", bench::PatternFile(dir, size).c_str());
      return 1;
    }
  return 0;
}

// The digests alone, over the contents the jobs read, each block fed to the three in
// the order the read job feeds them.
int DigestPass(int sizeMiB) {
  std::vector<uint8_t> image(bench::ModuleBytes(sizeMiB));
  sim::FlashMemory(image.size(), 2, sim::InitialContents::Pattern)
      .ReadImage(0, image.data(), image.size());
  DigestStates d;
  const double cpu = bench::CpuSeconds();
  const double wall = bench::WallSeconds();
  MD5Init(d.md5);
  AgiCrcInit(d.crc);
  SHA1Init(d.sha1);
  for (size_t at = 0; at < image.size(); at += bench::kBenchBlockSize) {
    MD5Update(d.md5, image.data() + at, bench::kBenchBlockSize);
    SHA1Update(d.sha1, image.data() + at, bench::kBenchBlockSize);
    AgiCrcUpdate(d.crc, image.data() + at, bench::kBenchBlockSize);
  }
  const std::string md5 = MD5Hex(MD5Final(d.md5));
  const std::string sha1 = SHA1Hex(SHA1Final(d.sha1));
  const std::string crc = AgiCrcText(d.crc);
  Report("cpu_s", bench::CpuSeconds() - cpu);
  Report("wall_s", bench::WallSeconds() - wall);
  Report("bytes", static_cast<double>(image.size()));
  Report("md5", md5);
  return 0;
}

int RunJob(const std::string& job, int sizeMiB, const std::string& dir, bool cancel) {
  Tool tool(sizeMiB, dir);
  const std::string path = job == "read" ? dir + "/dump" + std::to_string(sizeMiB) + ".bin"
                                         : bench::PatternFile(dir, sizeMiB);
  if (job == "write" && !tool.programmer.device->Model().Flash().LoadImageFile(path)) {
    std::fprintf(stderr, "cannot load %s\n", path.c_str());
    return 1;
  }
  // The dump of an earlier run would be truncated inside the job: its freeing is not
  // the job's work.
  if (job == "read")
    std::remove(path.c_str());
  tool.Select(job, path);

  // Cancel: clicked from inside the window's event processing once half the blocks are
  // done; the job's stop is its "Operation cancelled" line.
  const int half = sizeMiB * 32 / 2;
  int blocksAtClick = -1;
  double clickWall = 0;
  double stopWall = 0;
  int blocksAtStop = -1;
  if (cancel) {
    tool.window.onProcessEvents = [&] {
      if (blocksAtClick < 0 && tool.window.ProgressPosition() == half) {
        blocksAtClick = tool.DeviceBlocks(job);
        clickWall = bench::WallSeconds();
        DispatchClick(tool.ctx, Control::btnCancel);
      }
    };
    tool.window.onRowShown = [&](const EventLog::Entry& row) {
      if (blocksAtClick >= 0 && stopWall == 0 &&
          row.text.find("Operation cancelled") != std::string::npos) {
        stopWall = bench::WallSeconds();
        blocksAtStop = tool.DeviceBlocks(job);
      }
    };
  }

  const long rssBefore = bench::RssKiB();
  const bool peakReset = bench::ResetPeakRss();
  tool.programmer.simSeconds = 0;
  tool.programmer.timedTransfers = 0;
  const double cpu = bench::CpuSeconds();
  const double wall = bench::WallSeconds();
  DispatchClick(tool.ctx, Control::btnStart);
  const double cpuUsed = bench::CpuSeconds() - cpu;
  const double wallUsed = bench::WallSeconds() - wall;
  const long peak = bench::PeakRssKiB();

  const std::string last = tool.ctx.log.Last().text;
  const char* expected = cancel ? "Operation cancelled" : "Jobs successful done";
  if (last.find(expected) == std::string::npos || !tool.window.messages.empty()) {
    std::fprintf(stderr, "%s %d MiB: the Start press ended with \"%s\"%s\n", job.c_str(), sizeMiB,
                 last.c_str(), tool.window.messages.empty() ? "" : " after a message box");
    return 1;
  }
  if (job == "read" && !cancel &&
      FileBytes(path) != static_cast<long>(bench::ModuleBytes(sizeMiB))) {
    std::fprintf(stderr, "the dump holds %ld bytes\n", FileBytes(path));
    return 1;
  }

  // What the device moved: the whole module, or up to the cancelled block.
  const int blocks = tool.DeviceBlocks(job);
  if (!cancel &&
      static_cast<uint64_t>(blocks) * bench::kBenchBlockSize != bench::ModuleBytes(sizeMiB)) {
    std::fprintf(stderr, "the device moved %d blocks\n", blocks);
    return 1;
  }
  Report("bytes", static_cast<double>(blocks) * bench::kBenchBlockSize);
  Report("cpu_s", cpuUsed);
  Report("wall_s", wallUsed);
  Report("sim_s", tool.programmer.simSeconds);
  Report("probe_s", tool.programmer.ProbeSeconds());
  Report("sim_kib", tool.programmer.FlashKiB());
  Report("rss_before_kib", static_cast<double>(rssBefore));
  // Without a reset the peak may be one from before the job: then nothing is claimed.
  Report("job_growth_kib", peakReset ? static_cast<double>(peak - rssBefore) : -1.0);
  Report("row_updates", tool.window.rowUpdates);
  if (job != "write" && !cancel)
    Report("md5", tool.window.Text(Control::MD5_result));
  if (cancel) {
    Report("cancel_blocks_at_click", blocksAtClick);
    Report("cancel_bytes",
           static_cast<double>(blocksAtStop - blocksAtClick) * bench::kBenchBlockSize);
    Report("cancel_ms", (stopWall - clickWall) * 1e3);
    if (job == "read")
      Report("cancel_file_bytes", static_cast<double>(FileBytes(path)));
  }
  return 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: job_bench prepare DIR [SIZE...] | digest [SIZE] | run JOB SIZE DIR |"
               " cancel JOB SIZE DIR\n"
               "  JOB: read, check or write; SIZE: 16 or 64\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  auto isSize = [](const std::string& a) { return a == "16" || a == "64"; };
  if (args.size() >= 2 && args[0] == "prepare" &&
      std::all_of(args.begin() + 2, args.end(), isSize)) {
    std::vector<int> sizes;
    for (size_t i = 2; i < args.size(); ++i) sizes.push_back(std::stoi(args[i]));
    return Prepare(args[1], sizes.empty() ? std::vector<int>{16, 64} : sizes);
  }
  if (!args.empty() && args.size() <= 2 && args[0] == "digest" &&
      (args.size() == 1 || isSize(args[1])))
    return DigestPass(args.size() == 2 ? std::stoi(args[1]) : 64);
  if (args.size() == 4 && (args[0] == "run" || args[0] == "cancel") &&
      (args[1] == "read" || args[1] == "check" || args[1] == "write") && isSize(args[2]))
    return RunJob(args[1], std::stoi(args[2]), args[3], args[0] == "cancel");
  return Usage();
}
