#include "bench/sim_programmer.h"

#include <fstream>

#include "bench/proc_stats.h"
#include "sim/flash_memory.h"
#include "sim/in_process_usb.h"

namespace bench {

namespace {

// The plain function pointers of the table reach the programmer through these; one
// programmer is attached at a time.
SimProgrammer* attached = nullptr;
UsbApi inner{};

// The bus keeps a record of every transfer for the tests; left to grow, it would be
// counted as the job's memory, so it is dropped now and then.
void TrimRecord() {
  if (attached->bus.Transfers().size() >= 64)
    attached->bus.ClearRecord();
}

int TimedBulkWrite(usb_dev_handle* h, int ep, const char* bytes, int size, int timeout) {
  const double start = ThreadCpuSeconds();
  const int result = inner.usb_bulk_write(h, ep, bytes, size, timeout);
  TrimRecord();
  attached->simSeconds += ThreadCpuSeconds() - start;
  ++attached->timedTransfers;
  return result;
}

int TimedBulkRead(usb_dev_handle* h, int ep, char* bytes, int size, int timeout) {
  const double start = ThreadCpuSeconds();
  const int result = inner.usb_bulk_read(h, ep, bytes, size, timeout);
  TrimRecord();
  attached->simSeconds += ThreadCpuSeconds() - start;
  ++attached->timedTransfers;
  return result;
}

}  // namespace

sim::DeviceConfig ModuleConfig(int sizeMiB) {
  sim::DeviceConfig config;
  config.model.sizeMiB = sizeMiB;
  config.model.dualBank = sizeMiB == 64;
  config.model.moduleType = sizeMiB == 64 ? 0x06 : 0x03;
  config.model.contents = sim::InitialContents::Pattern;
  return config;
}

std::string WriteDatabase(const std::string& dir) {
  const std::string path = dir + "/kz1_v2.6.ini";
  std::ofstream(path) << "[Modules]\nA=3,16,0\nB=5,32,1\nC=6,64,1\n\n"
                         "[Chips]\n1=Bench chip W16,16,1,c2,7e,21,01\n\n"
                         "[Vendors]\n1=Bench vendor,c2\n\n"
                         "[Hash]\n1=Bench dump,0123456789abcdef0123456789abcdef,"
                         "0123456789abcdef0123456789abcdef01234567,89abcdef\n\n"
                         "[Setup]\nMD5_check=m\nSHA1_check=1\nAGI_CRC_check=1\n";
  return path;
}

std::string PatternFile(const std::string& dir, int sizeMiB) {
  return dir + "/pattern" + std::to_string(sizeMiB) + ".bin";
}

bool WritePatternFile(const std::string& dir, int sizeMiB) {
  const sim::FlashMemory flash(ModuleBytes(sizeMiB), sizeMiB == 64 ? 2 : 1,
                               sim::InitialContents::Pattern);
  return flash.SaveImageFile(PatternFile(dir, sizeMiB));
}

SimProgrammer::SimProgrammer(int sizeMiB) : device(&bus.AddProgrammer(ModuleConfig(sizeMiB))) {
  bus.SetRecordLimit(0);
}

SimProgrammer::~SimProgrammer() {
  if (attached == this)
    attached = nullptr;
}

double SimProgrammer::ProbeSeconds() const {
  return timedTransfers * ThreadClockCost();
}

double SimProgrammer::FlashKiB() const {
  return static_cast<double>(device->Model().Flash().AllocatedChunks() *
                             sim::FlashMemory::kChunkSize / 1024);
}

void SimProgrammer::Attach(AppContext& ctx) {
  ctx.bindUsb = [this] {
    attached = this;
    inner = sim::InProcessUsbApi(bus);
    UsbApi timed = inner;
    timed.usb_bulk_write = TimedBulkWrite;
    timed.usb_bulk_read = TimedBulkRead;
    return timed;
  };
}

}  // namespace bench
