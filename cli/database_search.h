// Where a front end started outside the database's folder looks for it.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct DatabasePlace {
  std::string path;
  const char* what;  // for the operator: "working folder", "user copy", ...
};

// In order: the working folder, the user's copy that the desktop launcher keeps (its
// folder in the documents folder, then the older one in XDG_DATA_HOME), the example
// installed with the tool. `environment` answers getenv's questions; `installedExample`
// is the example's path, empty when unknown.
std::vector<DatabasePlace> DatabasePlaces(
    const std::function<const char*(const char*)>& environment,
    const std::string& installedExample);

// The first of the places that holds a regular file, or nothing (empty path).
DatabasePlace FindDatabase(const std::vector<DatabasePlace>& places);
