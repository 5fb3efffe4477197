// zelctl's command line, parsed by CLI11 and spoken in Greek: each command
// (and each command of a command, such as `fp send`) has its usage line,
// its description and `--help`; a command line that is not understood gets
// one line "zelctl COMMAND: what is wrong" and the command's usage on
// stderr, and the exit status 2.
//
// CLI11 writes its help and its errors in English. Its formatter's labels
// ("Usage", "Positionals", "REQUIRED", "Excludes", ...) are set in Greek,
// its error texts are put into Greek by the failure-message hook, and an
// unknown option or surplus argument is told from what the parser left over
// (not from the wording of CLI11's error).
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <memory>
#include <string>

namespace zel::cli {

class GreekFormatter;

class CommandLine {
 public:
  CommandLine();
  ~CommandLine();
  CommandLine(const CommandLine&) = delete;
  CommandLine& operator=(const CommandLine&) = delete;

  // A command of the program, or of `parent` (a command with commands of
  // its own): its name, its usage after the name (as the help and the
  // errors show it), its one-line description and what its help says after
  // the options.
  CLI::App* Add(const std::string& name, const std::string& usage, const std::string& about,
                const std::string& footer = {});
  CLI::App* Add(CLI::App& parent, const std::string& name, const std::string& usage, const std::string& about,
                const std::string& footer = {});

  // What runs when the command line names `command`; it returns the exit
  // status.
  void Runs(CLI::App* command, std::function<int()> body);

  // Parses the command line and runs the command it names. The exit status
  // is the command's, 0 for --help and --version, 2 for a command line
  // that is not understood.
  int Run(int argc, const char* const* argv);

 private:
  std::shared_ptr<GreekFormatter> formatter_;
  CLI::App program_;
  std::function<int()> chosen_;  // the body of the command named
};

// A positional argument, named in capitals as in the usage line; required
// unless the caller says otherwise.
template <class T>
CLI::Option* Argument(CLI::App* command, const std::string& name, T& value, const std::string& about) {
  return command->add_option(name, value, about)->type_name("")->required();
}

}  // namespace zel::cli
