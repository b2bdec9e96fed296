#include "tests/support/rig.h"

#include <cstdio>

#include "flash/identify.h"
#include "tests/support/test_chips.h"
#include "tests/support/test_data.h"

FlashDatabase TestDatabase() {
  FlashDatabase db;
  db.modules = {
      {kModule16M, 16, 0}, {kModule16Dual, 16, 1}, {kModule32M, 32, 1}, {kModule64M, 64, 1}};
  db.chips = TestChips();
  db.vendors = TestVendors();
  db.settings = {HashMode::Main, HashMode::Checked, HashMode::NotChecked};
  db.moduleCount = 4;
  db.chipCount = 2;
  db.vendorCount = 1;
  return db;
}

Rig::Rig(const sim::DeviceConfig& config) : device(&bus.AddProgrammer(config)) {
  ctx.bindUsb = sim::InProcessBinder(bus);
  ctx.now = [this] { return Now(); };
  ctx.database = TestDatabase();
  ctx.statusPath = dir.File("status.txt");
  ctx.usbDevices = dir.File("usb-devices");  // no port paths unless a test makes them
  window.onClick = [this](Control c) { DispatchClick(ctx, c); };
  window.onHung = [this] {
    ADD_FAILURE() << "the job processed events " << window.processEventsLimit
                  << " times without ending: Cancel clicked";
    btnCancelClick(ctx);
  };
  // As after the first show: Auto mode, read mode.
  window.SetChecked(Control::RadioButton1, true);
  ctx.readMode = true;
}

double Rig::Now() const {
  const double seconds = window.processEventsCalls * secondsPerPass +
                         static_cast<double>(window.dialogsRun.size()) * secondsPerDialog;
  return kTestTime + seconds / 86400.0;
}

std::vector<EventLog::Entry> Rig::Entries() const {
  std::vector<EventLog::Entry> entries;
  for (int i = 0; i < ctx.log.LineCount(); ++i) entries.push_back(ctx.log.Row(i));
  return entries;
}

std::vector<std::string> Rig::Lines() const {
  std::vector<std::string> lines;
  for (const auto& e : Entries()) lines.push_back(e.text);
  return lines;
}

void Rig::SelectRead(const std::string& path) {
  if (!ctx.readMode)
    Button1Click(ctx);
  window.dialogAnswers[FileDialog::SaveDialog1].push_back(path);
  window.SetChecked(Control::CheckBox1, true);
}

void Rig::SelectCheck(const std::string& path) {
  if (ctx.readMode)
    Button1Click(ctx);
  window.dialogAnswers[FileDialog::OpenDialog2].push_back(path);
  window.SetChecked(Control::CheckBox1, true);
}

void Rig::SelectWrite(const std::string& path) {
  window.dialogAnswers[FileDialog::OpenDialog1].push_back(path);
  window.SetChecked(Control::CheckBox3, true);
}

void Rig::UseReadFile(const std::string& path) {
  ctx.selection.ReadCheckSelected = true;
  ctx.selection.ReadMode = true;
  ctx.selection.ReadFileName = path;
}

void Rig::UseWriteFile(const std::string& path) {
  ctx.selection.WriteSelected = true;
  ctx.selection.WriteFileName = path;
}

void Rig::SelectErase() {
  window.SetChecked(Control::CheckBox2, true);
}

std::string HexBytes(const std::vector<uint8_t>& bytes) {
  std::string text;
  char b[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(b, sizeof b, "%02X", bytes[i]);
    if (i)
      text += ' ';
    text += b;
  }
  return text;
}

std::vector<std::string> Rig::Requests() const {
  std::vector<std::string> out;
  for (const auto& r : bus.OutRequests()) out.push_back(HexBytes(r));
  return out;
}

void Rig::Connect() {
  EXPECT_TRUE(ConnectAndIdentify(ctx).Ok());
  Mark();
}

void Rig::Mark() {
  transfersAtMark += static_cast<int>(bus.Transfers().size());
  bus.ClearRecord();
  linesAtMark = static_cast<size_t>(ctx.log.LineCount());
}

std::vector<std::string> Rig::LinesFrom(size_t from) const {
  std::vector<std::string> out;
  const auto entries = Entries();
  for (size_t i = from; i < entries.size(); ++i)
    out.push_back(testdata::ColourName(entries[i].colour) + ": " + entries[i].text);
  return out;
}

std::vector<std::string> Rig::Commands() const {
  std::vector<std::string> out;
  for (const auto& t : bus.Transfers())
    if (t.out && t.requested != int(kBlock))
      out.push_back(HexBytes(t.bytes));
  return out;
}

void Rig::FailTransfer(int n, sim::FaultKind kind) {
  device->Faults().atTransfer = transfersAtMark + n;
  device->Faults().kind = kind;
}
