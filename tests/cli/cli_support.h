// What the command-line tests share: the commands zelctl lists, read from
// its own help, so that a command added later is checked without a test
// being told of it.
#pragma once

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/files.h"

namespace zel::test {

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The names a help lists under its commands: the program's list ("  NAME
// USAGE", the description below it) or a command's "Εντολές:" section.
inline std::vector<std::string> ListedCommands(const std::string& help) {
  static const std::regex row("  ([a-z][a-z-]*)( .*)?");
  std::vector<std::string> names;
  const bool program = help.starts_with("Χρήση: zelctl ΕΝΤΟΛΗ");
  bool section = program;
  for (const std::string& line : Lines(help)) {
    std::smatch m;
    if (line == "Εντολές:")
      section = true;
    else if (line.empty() && !program)
      section = false;
    else if (section && std::regex_match(line, m, row))
      names.push_back(m[1]);
  }
  return names;
}

// Every command zelctl has, as typed after "zelctl" ("new", "transfer",
// "transfer read", ...), each command before its own commands.
inline std::vector<std::string> CommandPaths(const std::filesystem::path& folder) {
  std::vector<std::string> paths;
  for (const std::string& name : ListedCommands(RunZelctl(folder, "--help").out)) {
    paths.push_back(name);
    for (const std::string& sub : ListedCommands(RunZelctl(folder, name + " --help").out))
      paths.push_back(name + ' ' + sub);
  }
  return paths;
}

// The options a command's help lists ("  --lan ADDR[:PORT] ..."), and those
// its usage line names.
inline std::vector<std::string> ListedOptions(const std::string& help) {
  static const std::regex row("  (?:-h,)?(--[a-z0-9-]+).*");
  std::vector<std::string> options;
  for (const std::string& line : Lines(help)) {
    std::smatch m;
    if (std::regex_match(line, m, row)) options.push_back(m[1]);
  }
  return options;
}

}  // namespace zel::test
