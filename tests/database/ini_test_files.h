// Helpers for the database tests: INI files written into a fresh temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "database/flash_database.h"
#include "database/load_database.h"
#include "tests/support/fake_window.h"
#include "tests/support/temp_dir.h"

// Readable failure output for the recorded message boxes.
inline void PrintTo(const FakeWindow::Message& m, std::ostream* os) {
  *os << "[" << m.caption << "] \"" << m.text << "\"" << (m.question ? " (OK/Cancel)" : "");
}

// The message boxes a load showed.
inline FakeWindow::Message ErrorBox(const std::string& text) {
  return {text, "Error", false};
}
inline FakeWindow::Message WarningBox(const std::string& text) {
  return {text, "Warning", false};
}

// `unit` written `times` times over ("\xC3\xB6" is the two-byte UTF-8 "ö").
inline std::string Repeat(const std::string& unit, size_t times) {
  std::string text;
  for (size_t i = 0; i < times; ++i) text += unit;
  return text;
}
inline const std::string kUmlautO = "\xC3\xB6";

// A file with one section holding `lines` and a Setup that names MD5 as the main hash.
inline std::string FileWithSection(const std::string& section, const std::string& lines) {
  return "[" + section + "]\n" + lines + "\n[Setup]\nMD5_check=m\nSHA1_check=1\nAGI_CRC_check=1\n";
}

// Loads `content` written to a temporary file.
struct LoadResult {
  bool ok = false;
  FlashDatabase db;
  std::vector<FakeWindow::Message> messages;
};

inline LoadResult LoadText(const std::string& content) {
  TempDir folder;
  const std::string path = folder.Write("kz1_v2.6.ini", content);
  FakeWindow window;
  LoadResult result;
  result.ok = LoadDatabase(result.db, window.Boxes(), path);
  result.messages = window.messages;
  return result;
}
