// LoadDatabase: reads the sections Modules, Chips, Vendors, Hash and Setup of the INI
// database, stopping at the first entry it refuses.
#include "database/load_database.h"

#include <initializer_list>
#include <optional>
#include <utility>

#include "base/log_text.h"
#include "database/ini_reader.h"
#include "database/scan_number.h"
#include "database/utf8_text.h"

namespace {

constexpr const char* kErrorCaption = "Error";
constexpr const char* kWarningCaption = "Warning";

constexpr const char* kErrorIniFile = "Error INI file (%s=%s)";
constexpr const char* kModuleIdIncorrect = "Flash module ID incorrect (%s=%s)";
constexpr const char* kTooManyParameters = "Too many parameters INI file (%s=%s)";
constexpr const char* kParametersMissing = "Parameter(s) missing INI file (%s=%s)";
constexpr const char* kDescriptionTooLong =
    "Dump description too long, truncated to 100 symbols (%s=%s)";
constexpr const char* kTooManyMainHashes = "INI file error: Main hashes can not be more than one";
constexpr const char* kNoMainHash = "INI file error: No main hash";
constexpr const char* kNotUtf8 =
    "INI file error: the file is saved as UTF-16; it must be UTF-8 or ASCII text";

// The limits of the records the entries are stored in, in characters (UTF-8 text) or
// bytes (any other text).
constexpr size_t kMaxValueLength = 199;
constexpr size_t kMaxChipNameLength = 49;
constexpr size_t kMaxVendorNameLength = 50;
constexpr size_t kMaxDescriptionLength = 100;
// A description of exactly 100 characters is warned about too, though nothing is cut.
constexpr size_t kDescriptionWarningAbove = 99;

constexpr uint8_t kNoModuleId = 0x7F;  // the type byte of an empty programmer slot

// Shows the messages about one entry, filled with its key and its whole value.
class EntryReport {
 public:
  EntryReport(const DatabaseMessage& show, const IniEntry& entry) : show_(show), entry_(entry) {}

  // Shows the error and gives the "refused" answer of the entry parsers.
  std::nullopt_t Refuse(const char* pattern) const {
    show_(Text(pattern), kErrorCaption);
    return std::nullopt;
  }
  void Warn(const char* pattern) const { show_(Text(pattern), kWarningCaption); }

 private:
  std::string Text(const char* pattern) const {
    return LogText(pattern, {QuotedText(entry_.key), QuotedText(entry_.value)});
  }

 private:
  const DatabaseMessage& show_;
  const IniEntry& entry_;
};

struct Parameters {
  std::vector<std::string> list;
  bool endsWithComma = false;
};

Parameters Split(const std::string& value) {
  Parameters p;
  p.list = SplitParameters(value, p.endsWithComma);
  return p;
}

bool TooFew(const Parameters& p, size_t needed) {
  return p.list.size() < needed || p.endsWithComma;
}

// The byte to store when the parameter reads as one of the accepted decimal numbers.
std::optional<uint8_t> DecimalOneOf(const std::string& parameter,
                                    std::initializer_list<int64_t> accepted) {
  const std::optional<ScannedNumber> n = ScanNumber(parameter, NumberBase::Decimal);
  if (!n)
    return std::nullopt;
  for (int64_t value : accepted) {
    if (n->Is(value))
      return n->lowByte;
  }
  return std::nullopt;
}

// Modules: ID,SIZE,BANKS
std::optional<ModuleRecord> ParseModule(const IniEntry& entry, const EntryReport& report) {
  const Parameters p = Split(entry.value);
  ModuleRecord module;
  for (size_t i = 0; i < p.list.size(); ++i) {
    const std::string& parameter = p.list[i];
    if (i == 0) {
      const std::optional<ScannedNumber> id = ScanNumber(parameter, NumberBase::Hexadecimal);
      if (!id)
        return report.Refuse(kErrorIniFile);
      if (id->Is(kNoModuleId))
        return report.Refuse(kModuleIdIncorrect);
      module.moduleId = id->lowByte;
    } else if (i == 1) {
      const std::optional<uint8_t> value = DecimalOneOf(parameter, {16, 32, 64});
      if (!value)
        return report.Refuse(kErrorIniFile);
      module.sizeMB = *value;
    } else if (i == 2) {
      const std::optional<uint8_t> value = DecimalOneOf(parameter, {0, 1});
      if (!value)
        return report.Refuse(kErrorIniFile);
      module.dualBank = *value;
    } else {
      return report.Refuse(kTooManyParameters);
    }
  }
  if (TooFew(p, 3))
    return report.Refuse(kParametersMissing);
  return module;
}

// Chips: NAME,WIDTH,MODE,ID0,ID1[,ID2[,ID3]]
std::optional<ChipRecord> ParseChip(const IniEntry& entry, const EntryReport& report) {
  const Parameters p = Split(entry.value);
  ChipRecord chip;
  for (size_t i = 0; i < p.list.size(); ++i) {
    const std::string& parameter = p.list[i];
    if (i == 0) {
      if (CharacterCount(parameter) > kMaxChipNameLength)
        return report.Refuse(kErrorIniFile);
      chip.chipName = parameter;
    } else if (i == 1) {
      const std::optional<uint8_t> value = DecimalOneOf(parameter, {8, 16});
      if (!value)
        return report.Refuse(kErrorIniFile);
      chip.busWidth = *value;
    } else if (i == 2) {
      const std::optional<uint8_t> value = DecimalOneOf(parameter, {0, 1, 2});
      if (!value)
        return report.Refuse(kErrorIniFile);
      chip.writeMode = *value;
    } else if (i < 3 + chip.chipId.size()) {
      const std::optional<ScannedNumber> id = ScanNumber(parameter, NumberBase::Hexadecimal);
      if (!id)
        return report.Refuse(kErrorIniFile);
      chip.chipId[i - 3] = id->lowByte;
    } else {
      return report.Refuse(kTooManyParameters);
    }
  }
  if (TooFew(p, 5))
    return report.Refuse(kParametersMissing);
  chip.idLength = static_cast<uint8_t>(p.list.size() - 3);
  return chip;
}

// Vendors: NAME,ID
std::optional<VendorRecord> ParseVendor(const IniEntry& entry, const EntryReport& report) {
  const Parameters p = Split(entry.value);
  VendorRecord vendor;
  for (size_t i = 0; i < p.list.size(); ++i) {
    const std::string& parameter = p.list[i];
    if (i == 0) {
      if (CharacterCount(parameter) > kMaxVendorNameLength)
        return report.Refuse(kErrorIniFile);
      vendor.vendorName = parameter;
    } else if (i == 1) {
      const std::optional<ScannedNumber> id = ScanNumber(parameter, NumberBase::Hexadecimal);
      if (!id)
        return report.Refuse(kErrorIniFile);
      vendor.vendorId = id->lowByte;
    } else {
      return report.Refuse(kTooManyParameters);
    }
  }
  if (TooFew(p, 2))
    return report.Refuse(kParametersMissing);
  return vendor;
}

bool IsDigestText(std::string& text, size_t length) {
  return text.size() == length && NormaliseHexText(text);
}

// Hash: DESCRIPTION,MD5,SHA1,CRC
std::optional<DumpHashRecord> ParseDumpHash(const IniEntry& entry, const EntryReport& report) {
  Parameters p = Split(entry.value);
  DumpHashRecord dump;
  for (size_t i = 0; i < p.list.size(); ++i) {
    std::string& parameter = p.list[i];
    if (i == 0) {
      if (CharacterCount(parameter) > kDescriptionWarningAbove) {
        report.Warn(kDescriptionTooLong);
        parameter.resize(FirstCharacters(parameter, kMaxDescriptionLength).size());
      }
      dump.description = std::move(parameter);
    } else if (i == 1) {
      if (!IsDigestText(parameter, 32))
        return report.Refuse(kErrorIniFile);
      dump.md5Text = std::move(parameter);
    } else if (i == 2) {
      if (!IsDigestText(parameter, 40))
        return report.Refuse(kErrorIniFile);
      dump.sha1Text = std::move(parameter);
    } else if (i == 3) {
      if (!IsDigestText(parameter, 8))
        return report.Refuse(kErrorIniFile);
      dump.crcText = std::move(parameter);
    } else {
      return report.Refuse(kTooManyParameters);
    }
  }
  if (TooFew(p, 4))
    return report.Refuse(kParametersMissing);
  return dump;
}

// Reads one section into its records; false once an entry has been refused, leaving the
// records accepted before it in place.
template <typename Record, typename Parser>
bool LoadSection(const IniFile& ini, const char* section, std::vector<Record>& records,
                 int32_t& count, const DatabaseMessage& show, Parser parse) {
  records.clear();
  count = 0;
  const std::span<const IniEntry> entries = ini.Entries(section);
  records.reserve(entries.size());  // grown once, not copied at every doubling
  for (const IniEntry& entry : entries) {
    const EntryReport report(show, entry);
    // Refused before its parameters are looked at: nothing longer is ever stored. A cut
    // line is longer still.
    if (entry.cut || CharacterCount(entry.value) > kMaxValueLength) {
      report.Refuse(kErrorIniFile);
      return false;
    }
    std::optional<Record> record = parse(entry, report);
    if (!record)
      return false;
    records.push_back(std::move(*record));
    ++count;
  }
  return true;
}

std::optional<HashMode> HashModeOf(const std::string& value) {
  if (value == "0")
    return HashMode::NotChecked;
  if (value == "1")
    return HashMode::Checked;
  if (value == "m" || value == "M")
    return HashMode::Main;
  return std::nullopt;
}

bool ReadHashMode(const IniFile& ini, const char* key, HashMode& mode,
                  const DatabaseMessage& show) {
  const IniEntry* entry = ini.Find("Setup", key);
  const std::string value = entry != nullptr ? entry->value : "0";
  // The start of a cut line is no value, whatever it looks like.
  const bool cut = entry != nullptr && entry->cut;
  const std::optional<HashMode> read = cut ? std::nullopt : HashModeOf(value);
  if (!read) {
    show(LogText(kErrorIniFile, {key, QuotedText(value)}), kErrorCaption);
    return false;
  }
  mode = *read;
  return true;
}

bool LoadSetup(const IniFile& ini, HashSettings& settings, const DatabaseMessage& show) {
  if (!ReadHashMode(ini, "MD5_check", settings.md5Mode, show))
    return false;
  if (!ReadHashMode(ini, "SHA1_check", settings.sha1Mode, show))
    return false;
  if (!ReadHashMode(ini, "AGI_CRC_check", settings.crcMode, show))
    return false;

  int mains = 0;
  for (HashMode mode : {settings.md5Mode, settings.sha1Mode, settings.crcMode})
    if (mode == HashMode::Main)
      ++mains;
  if (mains > 1) {
    show(kTooManyMainHashes, kErrorCaption);
    return false;
  }
  if (mains == 0) {
    show(kNoMainHash, kErrorCaption);
    return false;
  }
  return true;
}

}  // namespace

bool LoadDatabase(FlashDatabase& db, const DatabaseMessage& show, const std::string& path) {
  db = FlashDatabase{};
  // Only the five sections are kept, however many others the file has.
  const IniFile ini =
      IniFile::Read(path, {.sections = {"Modules", "Chips", "Vendors", "Hash", "Setup"}});
  if (ini.IsUtf16()) {
    show(kNotUtf8, kErrorCaption);
    return false;
  }
  return LoadSection(ini, "Modules", db.modules, db.moduleCount, show, ParseModule) &&
         LoadSection(ini, "Chips", db.chips, db.chipCount, show, ParseChip) &&
         LoadSection(ini, "Vendors", db.vendors, db.vendorCount, show, ParseVendor) &&
         LoadSection(ini, "Hash", db.dumpHashes, db.dumpHashCount, show, ParseDumpHash) &&
         LoadSetup(ini, db.settings, show);
}
