// The read job through the real main window (TForm1), shown on Qt's offscreen platform so
// that every block repaints the progress bar and the log row as on a desktop:
//   window_bench SIZE DIR
// One run per process; figures as key=value lines, as job_bench prints them.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/Unit1.h"
#include "app/core/form_logic.h"
#include "bench/proc_stats.h"
#include "bench/sim_programmer.h"

namespace {

using bench::Report;

int Run(int sizeMiB, const std::string& dir) {
  TForm1 form;
  AppContext& ctx = form.context();
  bench::SimProgrammer programmer(sizeMiB);
  programmer.Attach(ctx);
  ctx.databasePath = bench::WriteDatabase(dir);
  const std::string path = dir + "/window-dump" + std::to_string(sizeMiB) + ".bin";
  std::vector<std::string> messages;
  form.messageHook = [&](const std::string& text, const std::string&) { messages.push_back(text); };
  form.questionHook = [&](const std::string& text, const std::string&) {
    messages.push_back(text);
    return true;
  };
  form.fileDialogHook = [&](FileDialog, const std::string&) {
    return std::optional<std::string>(path);
  };

  form.show();
  QCoreApplication::processEvents();  // the first show loads the database
  form.SetChecked(Control::CheckBox1, true);
  QCoreApplication::processEvents();
  if (ctx.database.moduleCount != 3 || !form.IsChecked(Control::CheckBox1)) {
    std::fprintf(stderr, "the window did not start up (%zu message boxes)\n", messages.size());
    return 1;
  }

  std::remove(path.c_str());  // an earlier run's dump is not freed inside the job
  const long rssBefore = bench::RssKiB();
  const bool peakReset = bench::ResetPeakRss();
  programmer.simSeconds = 0;
  const double cpu = bench::CpuSeconds();
  const double wall = bench::WallSeconds();
  DispatchClick(ctx, Control::btnStart);
  const double cpuUsed = bench::CpuSeconds() - cpu;
  const double wallUsed = bench::WallSeconds() - wall;
  const long peak = bench::PeakRssKiB();

  const std::string last = ctx.log.Last().text;
  if (last.find("Jobs successful done") == std::string::npos || !messages.empty()) {
    std::fprintf(stderr, "read %d MiB: the Start press ended with \"%s\"\n", sizeMiB, last.c_str());
    return 1;
  }
  Report("bytes", static_cast<double>(bench::ModuleBytes(sizeMiB)));
  Report("cpu_s", cpuUsed);
  Report("wall_s", wallUsed);
  Report("sim_s", programmer.simSeconds);
  Report("sim_kib", 0.0);
  Report("rss_before_kib", static_cast<double>(rssBefore));
  Report("job_growth_kib", peakReset ? static_cast<double>(peak - rssBefore) : -1.0);
  Report("md5", form.Text(Control::MD5_result));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || (std::string(argv[1]) != "16" && std::string(argv[1]) != "64")) {
    std::fprintf(stderr, "usage: window_bench 16|64 DIR\n");
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);  // no display needed, unless one is asked for
  QApplication app(argc, argv);
  return Run(std::stoi(argv[1]), argv[2]);
}
