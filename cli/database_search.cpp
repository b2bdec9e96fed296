#include "cli/database_search.h"

#include <sys/stat.h>

#include <fstream>

#include "database/load_database.h"

namespace {

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// XDG_DOCUMENTS_DIR from the environment or from user-dirs.dirs, where it reads
// XDG_DOCUMENTS_DIR="$HOME/Documents". Empty when neither sets it.
std::string DocumentsSetting(const std::function<const char*(const char*)>& env,
                             const std::string& home) {
  if (const char* set = env("XDG_DOCUMENTS_DIR"); set != nullptr && set[0] == '/')
    return set;
  const char* config = env("XDG_CONFIG_HOME");
  const std::string configHome =
      config != nullptr && config[0] == '/' ? std::string(config) : home + "/.config";
  std::ifstream dirs(configHome + "/user-dirs.dirs");
  const std::string key = "XDG_DOCUMENTS_DIR=\"";
  for (std::string line; std::getline(dirs, line);) {
    if (line.rfind(key, 0) != 0 || line.size() < key.size() + 1 || line.back() != '"')
      continue;
    std::string value = line.substr(key.size(), line.size() - key.size() - 1);
    if (value.rfind("$HOME", 0) == 0)
      value = home + value.substr(5);
    return value.empty() || value[0] != '/' ? "" : value;
  }
  return "";
}

// The launcher's folder: FlashWrendel in the documents folder (not HOME itself, which is
// what an unset documents folder names), else in ~/Documents when there is one, else in
// HOME.
std::string LauncherFolder(const std::function<const char*(const char*)>& env,
                           const std::string& home) {
  std::string documents = DocumentsSetting(env, home);
  while (documents.size() > 1 && documents.back() == '/') documents.pop_back();
  if (documents == home)
    documents.clear();
  if (documents.empty() && IsDirectory(home + "/Documents"))
    documents = home + "/Documents";
  return (documents.empty() ? home : documents) + "/FlashWrendel";
}

}  // namespace

std::vector<DatabasePlace> DatabasePlaces(
    const std::function<const char*(const char*)>& environment,
    const std::string& installedExample) {
  std::vector<DatabasePlace> places = {{kDatabaseFileName, "working folder"}};
  const char* homeValue = environment("HOME");
  if (homeValue != nullptr && homeValue[0] == '/') {
    const std::string home = homeValue;
    places.push_back({LauncherFolder(environment, home) + "/" + kDatabaseFileName, "user copy"});
    const char* data = environment("XDG_DATA_HOME");
    const std::string dataHome =
        data != nullptr && data[0] == '/' ? std::string(data) : home + "/.local/share";
    places.push_back({dataHome + "/flashwrendel/" + kDatabaseFileName, "older user copy"});
  }
  if (!installedExample.empty())
    places.push_back({installedExample, "installed example"});
  return places;
}

DatabasePlace FindDatabase(const std::vector<DatabasePlace>& places) {
  for (const DatabasePlace& place : places)
    if (IsRegularFile(place.path))
      return place;
  return {"", ""};
}
