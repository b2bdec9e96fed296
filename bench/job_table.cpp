// Runs job_bench and window_bench several times each, every run in a process of its
// own, and prints one table of the medians with the targets below it:
//   job_table [--runs N] [--quick] DIR
// DIR receives the pattern files, the dumps and the database (about 200 MB). --quick
// proves the table works at the least cost: one run of each job, on the 16 MiB module
// only (about 50 MB).
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Figures = std::map<std::string, std::string>;

struct Row {
  std::string job;
  std::string module;
  std::vector<std::string> command;  // program name (next to this one) and arguments
  std::vector<Figures> runs;
};

std::filesystem::path ProgramDir() {
  return std::filesystem::read_symlink("/proc/self/exe").parent_path();
}

// Runs the command with its stdout in a pipe; the key=value lines it printed and, as
// "maxrss_kib", the peak resident size the kernel recorded for it. Nothing on failure.
std::optional<Figures> RunOnce(const std::vector<std::string>& command) {
  int out[2];
  if (pipe(out) != 0)
    return std::nullopt;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::vector<char*> argv;
  for (const std::string& a : command) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;)
    text.append(buffer, static_cast<size_t>(n));
  close(out[0]);
  if (spawned != 0)
    return std::nullopt;
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return std::nullopt;

  Figures figures;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = text.substr(start, end - start);
    const size_t eq = line.find('=');
    if (eq != std::string::npos)
      figures[line.substr(0, eq)] = line.substr(eq + 1);
  }
  figures["maxrss_kib"] = std::to_string(usage.ru_maxrss);
  return figures;
}

std::string Value(const Figures& figures, const std::string& key) {
  const auto it = figures.find(key);
  return it == figures.end() ? "(none)" : it->second;
}

// The median of one figure over the runs; nothing when a run lacks it.
std::optional<double> Median(const Row& row, const std::string& key) {
  std::vector<double> values;
  for (const Figures& f : row.runs) {
    const auto it = f.find(key);
    if (it == f.end())
      return std::nullopt;
    values.push_back(std::strtod(it->second.c_str(), nullptr));
  }
  if (values.empty())
    return std::nullopt;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double MBps(double bytes, double seconds) {
  return seconds > 0 ? bytes / seconds / 1e6 : 0;
}

std::string Format(const char* pattern, double value) {
  char text[64];
  std::snprintf(text, sizeof text, pattern, value);
  return text;
}

// Figures of one row as the table shows them.
struct Line {
  double mbps = 0;      // with the simulator's time
  double toolMbps = 0;  // without it
  double wallMbps = 0;
  double toolCpu = 0;
  std::optional<double> growthKiB;
  double simKiB = 0;
  double maxrssKiB = 0;
};

Line Summarise(const Row& row) {
  Line l;
  const double bytes = Median(row, "bytes").value_or(0);
  const double cpu = Median(row, "cpu_s").value_or(0);
  l.mbps = MBps(bytes, cpu);
  l.toolCpu = cpu - Median(row, "sim_s").value_or(0) - Median(row, "probe_s").value_or(0);
  l.toolMbps = MBps(bytes, l.toolCpu);
  l.wallMbps = MBps(bytes, Median(row, "wall_s").value_or(0));
  l.growthKiB = Median(row, "job_growth_kib");
  if (l.growthKiB && *l.growthKiB < 0)
    l.growthKiB.reset();
  l.simKiB = Median(row, "sim_kib").value_or(0);
  l.maxrssKiB = Median(row, "maxrss_kib").value_or(0);
  return l;
}

std::string Md5Of(const Row& row) {
  std::string md5;
  for (const Figures& f : row.runs) {
    const auto it = f.find("md5");
    if (it == f.end() || (!md5.empty() && md5 != it->second))
      return "";
    md5 = it->second;
  }
  return md5;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  bool quick = false;
  std::string dir;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--runs" && i + 1 < argc)
      runs = std::max(1, std::atoi(argv[++i]));
    else if (a == "--quick")
      quick = true;
    else
      dir = a;
  }
  if (dir.empty()) {
    std::fprintf(stderr, "usage: job_table [--runs N] [--quick] DIR\n");
    return 2;
  }
  if (quick)
    runs = 1;
  // Module sizes in MiB; the largest one is the module of the digest pass and of Cancel.
  const std::vector<std::string> sizes =
      quick ? std::vector<std::string>{"16"} : std::vector<std::string>{"16", "64"};
  const std::string largest = sizes.back();
  auto moduleName = [](const std::string& size) {
    return size == "16" ? "16M 1 bank" : "64M 2 banks";
  };
  const std::string jobBench = ProgramDir() / "job_bench";
  const std::string windowBench = ProgramDir() / "window_bench";
  std::vector<std::string> prepare = {jobBench, "prepare", dir};
  prepare.insert(prepare.end(), sizes.begin(), sizes.end());
  if (!RunOnce(prepare)) {
    std::fprintf(stderr, "job_bench prepare %s failed\n", dir.c_str());
    return 1;
  }

  std::vector<Row> rows;
  rows.push_back({"digests only", moduleName(largest), {jobBench, "digest", largest}, {}});
  for (const char* job : {"read", "check", "write"})
    for (const std::string& size : sizes)
      rows.push_back({job, moduleName(size), {jobBench, "run", job, size, dir}, {}});
  const bool withWindow = access(windowBench.c_str(), X_OK) == 0;
  if (withWindow)
    for (const std::string& size : sizes)
      rows.push_back({"read, Qt window", moduleName(size), {windowBench, size, dir}, {}});
  std::map<std::string, Row> cancels;
  for (const char* job : {"read", "check", "write"})
    cancels[job] = {job, moduleName(largest), {jobBench, "cancel", job, largest, dir}, {}};

  // Round by round, so that a busy moment of the machine spreads over all rows.
  for (int r = 0; r < runs; ++r) {
    std::vector<Row*> all;
    for (Row& row : rows) all.push_back(&row);
    for (auto& [job, row] : cancels) all.push_back(&row);
    for (Row* row : all) {
      const auto figures = RunOnce(row->command);
      if (!figures) {
        std::fprintf(stderr, "run failed:");
        for (const std::string& a : row->command) std::fprintf(stderr, " %s", a.c_str());
        std::fprintf(stderr, "\n");
        return 1;
      }
      row->runs.push_back(*figures);
    }
  }

  const Line digest = Summarise(rows.front());
  std::printf(
      "Medians of %d runs, each run a process of its own; simulated programmer at zero latency.\n"
      "MB/s: 10^6 bytes per CPU second, with the simulator; tool: without it. x digests: tool\n"
      "against the digests alone. peak RSS: the process; sim: the simulator's flash copy;\n"
      "tool: peak RSS - sim; job +RSS: growth during the Start press. After Cancel: bytes the\n"
      "device moved after the click and time to the job's stop (%sM, click half-way).\n\n",
      runs, largest.c_str());
  const char* header = "%-15s %-11s %5s %5s %9s %5s %9s %9s %9s %8s  %s\n";
  std::printf(header, "job", "module", "MB/s", "tool", "x digests", "wall", "peak RSS", "sim",
              "tool", "job +RSS", "after Cancel");
  std::printf(header, "", "", "", "MB/s", "", "MB/s", "MiB", "MiB", "MiB", "KiB", "");
  std::map<std::string, Line> lines;
  for (const Row& row : rows) {
    const Line l = Summarise(row);
    lines[row.job + " " + row.module.substr(0, 3)] = l;
    std::string cancel = "-";
    const auto c = cancels.find(row.job);
    if (c != cancels.end() && row.module == c->second.module)
      cancel = Format("%.0f B, ", Median(c->second, "cancel_bytes").value_or(-1)) +
               Format("%.3f ms", Median(c->second, "cancel_ms").value_or(-1));
    std::printf("%-15s %-11s %5.0f %5.0f %9.2f %5.0f %9.1f %9.1f %9.1f %8s  %s\n", row.job.c_str(),
                row.module.c_str(), l.mbps, l.toolMbps, l.toolMbps / digest.toolMbps, l.wallMbps,
                l.maxrssKiB / 1024, l.simKiB / 1024, (l.maxrssKiB - l.simKiB) / 1024,
                l.growthKiB ? Format("%.0f", *l.growthKiB).c_str() : "-", cancel.c_str());
  }

  // The targets, as figures next to their limits (a benchmark reports, it does not fail).
  std::printf("\n");
  auto verdict = [](bool met) { return met ? "met" : "MISSED"; };
  std::vector<std::string> modules;  // "16M", "64M"
  for (const std::string& size : sizes) modules.push_back(size + "M");
  for (const char* job : {"read", "check"})
    for (const std::string& m : modules) {
      const double ratio = lines[std::string(job) + " " + m].toolMbps / digest.toolMbps;
      std::printf("%s %s: %.2f x the digests (target >= 0.85): %s\n", job, m.c_str(), ratio,
                  verdict(ratio >= 0.85));
    }
  for (const std::string& m : modules) {
    const double w = lines["write " + m].toolMbps;
    std::printf("write %s: %.0f MB/s, %.1f x 53 MB/s (target >= 5): %s\n", m.c_str(), w, w / 53,
                verdict(w >= 5 * 53));
  }
  for (const char* job : {"read", "check", "write"}) {
    const auto g16 = lines[std::string(job) + " 16M"].growthKiB;
    const auto g64 = lines[std::string(job) + " 64M"].growthKiB;
    if (g16 && g64)
      std::printf("%s: 64M job grows %.0f KiB, 16M job %.0f KiB (target: within 2048): %s\n", job,
                  *g64, *g16, verdict(*g64 - *g16 <= 2048));
  }
  for (const auto& [job, row] : cancels) {
    const double bytes = Median(row, "cancel_bytes").value_or(-1);
    std::printf(
        "cancel %s: %.0f bytes moved after the click, %.3f ms to the stop "
        "(target: within one block): %s\n",
        job.c_str(), bytes, Median(row, "cancel_ms").value_or(-1),
        verdict(bytes >= 0 && bytes <= 32768));
  }
  if (withWindow)
    for (const std::string& m : modules) {
      const double plain = lines["read " + m].toolCpu;
      const double qt = lines["read, Qt window " + m].toolCpu;
      std::printf(
          "Qt window, read %s: +%.1f %% CPU over the headless window (target <= 10 %%): "
          "%s\n",
          m.c_str(), (qt / plain - 1) * 100, verdict(qt <= plain * 1.10));
    }

  // A cancelled read leaves no part of its dump behind.
  for (const Figures& f : cancels["read"].runs)
    if (std::stod(Value(f, "cancel_file_bytes")) >= 0) {
      std::fprintf(stderr, "cancelled read: a dump of %s bytes was left behind\n",
                   Value(f, "cancel_file_bytes").c_str());
      return 1;
    }
  // The read and check jobs must have seen what the digest pass saw.
  const std::string expected = Md5Of(rows.front());
  for (const Row& row : rows)
    if (row.module == moduleName(largest) && row.job != "write" && Md5Of(row) != expected) {
      std::fprintf(stderr, "%s %sM: MD5 differs from the digest pass\n", row.job.c_str(),
                   largest.c_str());
      return 1;
    }
  return 0;
}
