// The read job through the real main window (TForm1), shown on Qt's offscreen platform so
// that the progress bar and the log rows are painted as on a desktop:
//   window_bench SIZE DIR [--breakdown]
// One run per process; figures as key=value lines, as job_bench prints them. With
// --breakdown it also tells where the window's time went: the CPU seconds of the paint
// events by widget class, of StepProgress (QProgressBar::setValue, which repaints at once
// when the bar grows by a chunk) and of ProcessEvents (the event loop and the deferred
// paints). Timing them costs time too, so the job's own figure then runs a little high.
#include <sys/stat.h>

#include <QApplication>
#include <QEvent>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/Unit1.h"
#include "app/core/form_logic.h"
#include "bench/proc_stats.h"
#include "bench/sim_programmer.h"

namespace {

using bench::Report;

struct Totals {
  int count = 0;
  double seconds = 0;
};

// Adds the CPU time of a call to `totals` while timing is on.
template <typename F>
void Timed(bool timing, Totals& totals, F&& call) {
  if (!timing) {
    call();
    return;
  }
  const double start = bench::ThreadCpuSeconds();
  call();
  totals.seconds += bench::ThreadCpuSeconds() - start;
  ++totals.count;
}

class BenchApplication : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    if (event->type() != QEvent::Paint)
      return QApplication::notify(receiver, event);
    bool done = false;
    Timed(timing, paints[receiver->metaObject()->className()],
          [&] { done = QApplication::notify(receiver, event); });
    return done;
  }
  bool timing = false;
  std::map<std::string, Totals> paints;
};

class BenchForm : public TForm1 {
 public:
  void StepProgress() override {
    Timed(timing, stepProgress, [this] { TForm1::StepProgress(); });
  }
  void ProcessEvents() override {
    Timed(timing, processEvents, [this] { TForm1::ProcessEvents(); });
  }
  bool timing = false;
  Totals stepProgress;
  Totals processEvents;
};

void ReportBreakdown(const BenchApplication& app, const BenchForm& form) {
  Report("step_progress_s", form.stepProgress.seconds);
  Report("process_events_s", form.processEvents.seconds);
  for (const auto& [widget, totals] : app.paints) {
    Report(("paint_" + widget + "_count").c_str(), totals.count);
    Report(("paint_" + widget + "_s").c_str(), totals.seconds);
  }
}

int Run(BenchApplication& app, int sizeMiB, const std::string& dir, bool breakdown) {
  BenchForm form;
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
  programmer.timedTransfers = 0;
  const double cpu = bench::CpuSeconds();
  const double wall = bench::WallSeconds();
  app.timing = form.timing = breakdown;
  DispatchClick(ctx, Control::btnStart);
  app.timing = form.timing = false;
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
  Report("probe_s", programmer.ProbeSeconds());
  Report("sim_kib", programmer.FlashKiB());
  Report("rss_before_kib", static_cast<double>(rssBefore));
  Report("job_growth_kib", peakReset ? static_cast<double>(peak - rssBefore) : -1.0);
  Report("md5", form.Text(Control::MD5_result));
  if (breakdown)
    ReportBreakdown(app, form);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const bool breakdown = argc == 4 && std::string(argv[3]) == "--breakdown";
  if ((argc != 3 && !breakdown) || (std::string(argv[1]) != "16" && std::string(argv[1]) != "64")) {
    std::fprintf(stderr, "usage: window_bench 16|64 DIR [--breakdown]\n");
    return 2;
  }
  const int sizeMiB = std::stoi(argv[1]);
  const std::string dir = argv[2];
  setenv("QT_QPA_PLATFORM", "offscreen", 0);  // no display needed, unless one is asked for
  // Qt wants a private runtime folder and warns on every start without one.
  if (getenv("XDG_RUNTIME_DIR") == nullptr) {
    const std::string runtime = dir + "/xdg-runtime";
    mkdir(runtime.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  }
  BenchApplication app(argc, argv);
  return Run(app, sizeMiB, dir, breakdown);
}
