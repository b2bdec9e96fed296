// flashwrendel-cli: the jobs of the window from a shell, for batch work and test rigs.
// Its options, exit status, JSON report and events are described in flashwrendel-cli.1.
#include <pwd.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "cli/console_host.h"
#include "cli/database_search.h"
#include "cli/digest_lines.h"
#include "cli/event_stream.h"
#include "cli/job_list.h"
#include "cli/json_report.h"
#include "database/load_database.h"
#include "run/database_lines.h"
#include "run/line_stream.h"
#include "run/sequencer.h"

namespace {

enum ExitCode {
  kDone = 0,
  kJobFailed = 1,
  kUsage = 2,
  kNotConnected = 3,
  kVerifyFailed = 4,
  kInterrupted = 130
};

struct Options {
  std::string database;
  bool yes = false;
  bool noVerify = false;
  std::string md5, sha1, crc;
  bool json = false;
  bool quiet = false;
  std::string colour = "auto";
  std::string events;  // --events FILE, "-" for stdout
  std::string device;  // --device BUS:DEV or PORT-PATH
  int retries = 3;     // reconnections in a row after lost transfers
  std::vector<std::string> jobs;
};

// The installed example, next to the program's folder as the install laid them out.
std::string InstalledExample() {
  std::error_code error;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error)
    return "";
  return (self.parent_path() / FW_EXAMPLE_FROM_BINDIR / kDatabaseFileName)
      .lexically_normal()
      .string();
}

std::string HelpFooter(const std::vector<DatabasePlace>& places) {
  std::string text = "\nDatabase without --database, the first that exists of:\n";
  for (const DatabasePlace& place : places) text += "  " + place.path + " (" + place.what + ")\n";
  const DatabasePlace found = FindDatabase(places);
  text +=
      found.path.empty() ? "Used now: none of them exists.\n" : "Used now: " + found.path + "\n";
  return text + "\nExit status, JSON report and events: man flashwrendel-cli";
}

// An expected digest as the window's edit box holds it: lower case, hex digits only.
bool ExpectedDigest(std::string& text, size_t digits, const char* option, std::string& error) {
  if (text.empty())
    return true;
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (text.size() != digits || text.find_first_not_of("0123456789abcdef") != std::string::npos) {
    error = std::string(option) + " needs " + std::to_string(digits) + " hexadecimal digits";
    return false;
  }
  return true;
}

// The home folder from the password database, as the window takes it.
std::string DefaultStatusFile() {
  const passwd* entry = getpwuid(getuid());
  return entry == nullptr || entry->pw_dir == nullptr ? "status.txt"
                                                      : std::string(entry->pw_dir) + "/status.txt";
}

int Usage(const std::string& message) {
  std::fprintf(stderr, "flashwrendel-cli: %s\nTry flashwrendel-cli --help.\n", message.c_str());
  return kUsage;
}

int ExitCodeOf(RunVerdict verdict) {
  switch (verdict) {
    case RunVerdict::Interrupted:
      return kInterrupted;
    case RunVerdict::NotConnected:
      return kNotConnected;
    case RunVerdict::JobFailed:
      return kJobFailed;
    case RunVerdict::VerificationFailed:
      return kVerifyFailed;
    case RunVerdict::Done:
      break;
  }
  return kDone;
}

// `list`: the programmers on the bus, one line each (a JSON array with --json). Opens and
// claims nothing, so it may run beside a run on one of them. An empty list means an empty
// bench: without the library there is no list at all.
int List(const Options& options) {
  const UsbApi api = BindUsbLibrary();
  if (!UsbLibraryLoaded(api)) {
    std::fprintf(stderr, "flashwrendel-cli: the USB library libusb-0.1 could not be loaded\n");
    return kNotConnected;
  }
  const std::vector<ProgrammerPlace> found = ListProgrammers(api);
  if (options.json) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const ProgrammerPlace& place : found) list.push_back(ProgrammerJson(place));
    std::cout << list.dump(2) << std::endl;
  } else {
    for (const ProgrammerPlace& place : found)
      std::printf("%s%s%s\n", BusDeviceText(place).c_str(), place.port.empty() ? "" : "  port ",
                  place.port.c_str());
  }
  if (found.empty() && !options.quiet)
    std::fprintf(stderr, "flashwrendel-cli: no programmer found\n");
  return kDone;
}

int Run(const Options& options, const JobList& jobs, const std::string& database,
        std::FILE* eventsOut) {
  ConsoleSettings settings;
  settings.quiet = options.quiet;
  settings.answerYes = options.yes;
  settings.canAsk = isatty(STDIN_FILENO) != 0;
  settings.statusLine = isatty(STDERR_FILENO) != 0;
  settings.colour = options.colour == "always" || (options.colour == "auto" && settings.statusLine);
  ConsoleHost host(settings);
  JobContext ctx(host);
  RunReport report;
  EventStream events(eventsOut);
  host.onLine = [&](const LoggedLine& line) {
    report.log.push_back(line);
    events.Line(line);
  };
  host.onMessage = [&](const ShownMessage& message) {
    report.messages.push_back(message);
    events.Message(message);
  };
  host.runningJob = [&] { return report.jobs.empty() ? "" : report.jobs.back().name; };
  if (eventsOut != nullptr)
    host.onProgress = [&](int position, int maximum, double seconds) {
      events.Progress(report.jobs.empty() ? "" : report.jobs.back().name, position, maximum,
                      seconds);
    };
  RunOptions run{.verifyAfterWrite = !options.noVerify, .secondRead = !options.noVerify};
  ctx.retry.limit = options.retries;
  ctx.retry.told = [&](const RetryRecord& retry) {
    host.log.Flush();
    events.Retry(retry);
  };
  run.jobStarted = [&](const JobRecord& job) {
    host.log.Flush();
    events.JobStarted(job);
  };
  run.jobEnded = [&](const JobRecord& job) {
    host.log.Flush();
    // The system's own words for a file that failed, under the job's line.
    const std::optional<JobFailure> failure = job.Failure();
    if (failure && failure->error != 0 && failure->reason != FailureReason::Transfer)
      host.PrintLine(
          LoggedLine{"", LogColour::Red, "  " + std::string(std::strerror(failure->error))});
    events.JobEnded(job);
  };

  const DatabaseMessage showMessage = [&](const std::string& text, const std::string& caption) {
    host.ShowMessage(text, caption);
  };
  if (!LoadDatabase(ctx.database, showMessage, database)) {
    events.End(kUsage);
    return kUsage;
  }
  LogDatabaseLoaded(ctx);
  if (!options.device.empty())
    ctx.device = ParseDeviceChoice(options.device);
  // The log names the programmer the run talks to, as it is opened.
  ctx.programmerOpened = [&](const ProgrammerPlace& place) {
    host.AppendLine("Programmer " + PlaceText(place), LogColour::Purple);
  };

  RunVerdict verdict = RunVerdict::Done;
  switch (jobs.kind) {
    case JobList::Kind::List:
      break;
    case JobList::Kind::Identify:
      verdict = RunIdentify(ctx, report);
      break;
    case JobList::Kind::Diagnose:
      ctx.statusPath = jobs.statusFile.empty() ? DefaultStatusFile() : jobs.statusFile;
      verdict = RunDiagnose(ctx, report, run);
      break;
    case JobList::Kind::Start: {
      JobSelection selection = jobs.selection;
      selection.ManualMD5 = options.md5;
      selection.ManualSHA1 = options.sha1;
      selection.ManualCRC = options.crc;
      const bool manual = !options.md5.empty() || !options.sha1.empty() || !options.crc.empty();
      selection.hashCheckMode = manual ? HashCheckMode::Manual : HashCheckMode::Auto;
      // A check goes on past a difference to say where and how the flash differs.
      ctx.compareWholeFlash = true;
      verdict = RunStart(ctx, report, selection, run);
      break;
    }
  }
  host.log.Flush();
  host.ClearStatus();
  // On stdout as md5sum prints them, unless the JSON goes there.
  if (!options.quiet)
    PrintDigests(options.json || options.events == "-" ? stderr : stdout, report);
  if (!options.quiet)
    PrintRetrySummary(stderr, report);
  if (report.connection && report.connection->reason == ConnectReason::Several)
    std::fprintf(stderr,
                 "flashwrendel-cli: choose one with --device BUS:DEV or --device PORT "
                 "(flashwrendel-cli list shows them)\n");

  // A signal that stopped nothing (one after the last job) leaves the run's own code.
  const int code = ExitCodeOf(verdict);
  events.End(code);
  if (options.json)
    std::cout << ReportJson(report, database, code)
                     .dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
              << std::endl;
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<DatabasePlace> places =
      DatabasePlaces([](const char* name) { return std::getenv(name); }, InstalledExample());

  Options options;
  CLI::App app{
      "Reads, checks, erases and writes flash modules on the USB flash programmer.\n"
      "Several jobs run on one connection in the order read or check, erase, write.",
      "flashwrendel-cli"};
  app.set_version_flag("--version", std::string("flashwrendel-cli ") + FW_VERSION);
  app.add_option("--database", options.database, "the database INI file")->check(CLI::ExistingFile);
  app.add_option("--device", options.device,
                 "the programmer to use, as BUS:DEV (001:007) or port path (1-2.3); "
                 "needed when several are connected (see the job list)");
  app.add_flag("--yes", options.yes, "answer OK to the identification questions");
  app.add_option("--retries", options.retries,
                 "reconnections a job may spend in a row after transfers lost on the link "
                 "(default 3; 0: none)")
      ->check(CLI::Range(0, 100));
  app.add_flag("--no-verify", options.noVerify,
               "no second read before an erase or a write, no read-back check after a write");
  app.add_option("--md5", options.md5, "expected MD5 (selects Manual verification)");
  app.add_option("--sha1", options.sha1, "expected SHA-1 (selects Manual verification)");
  app.add_option("--crc", options.crc, "expected AGI CRC (selects Manual verification)");
  app.add_flag("--json", options.json, "print the run's report as JSON on stdout");
  app.add_option("--events", options.events,
                 "write the run as JSON Lines to FILE while it goes (- for stdout)");
  app.add_flag("--quiet", options.quiet, "print only errors");
  app.add_option("--color", options.colour, "colour the log lines")
      ->check(CLI::IsMember({"auto", "always", "never"}));
  app.add_option("JOB", options.jobs,
                 "list | identify | read FILE | check FILE | erase | write FILE | diagnose [FILE]")
      ->required();
  app.footer(HelpFooter(places));
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : kUsage;
  }

  std::string error;
  const std::optional<JobList> jobs = ParseJobs(options.jobs, error);
  if (jobs && !options.device.empty() && !ParseDeviceChoice(options.device))
    return Usage("--device needs BUS:DEV (such as 001:007) or a port path (such as 1-2.3), not \"" +
                 options.device + "\"");
  if (jobs && jobs->kind == JobList::Kind::List) {
    if (!options.device.empty())
      return Usage("list shows every programmer; it takes no --device");
    return List(options);
  }
  if (!jobs || !ExpectedDigest(options.md5, 32, "--md5", error) ||
      !ExpectedDigest(options.sha1, 40, "--sha1", error) ||
      !ExpectedDigest(options.crc, 8, "--crc", error))
    return Usage(error);

  std::string database = options.database;
  if (database.empty()) {
    database = FindDatabase(places).path;
    if (database.empty()) {
      std::string where;
      for (const DatabasePlace& place : places) where += "\n  " + place.path;
      std::fprintf(stderr,
                   "flashwrendel-cli: no database found (give --database FILE); looked at:%s\n",
                   where.c_str());
      return kUsage;
    }
  }
  std::FILE* eventsOut = nullptr;
  if (!options.events.empty()) {
    if (options.events == "-" && options.json)
      return Usage("--events - and --json cannot both write to stdout");
    eventsOut = options.events == "-" ? stdout : std::fopen(options.events.c_str(), "w");
    if (eventsOut == nullptr)
      return Usage("cannot write the events to " + options.events + ": " + std::strerror(errno));
  }
  InstallCancelSignals();
  const int code = Run(options, *jobs, database, eventsOut);
  if (eventsOut != nullptr && eventsOut != stdout && std::fclose(eventsOut) != 0)
    std::fprintf(stderr, "flashwrendel-cli: the events to %s were not all written\n",
                 options.events.c_str());
  return code;
}
