// zelctl commands. Each Add... puts one command on the command line: its
// arguments and options with their Greek help, and the body that runs on
// what was given. A body returns the process exit status: 0 success,
// 1 failure (after its message), 2 misuse.
#pragma once

#include <string>
#include <vector>

#include "command_line.h"
#include "core/data_image.h"

namespace zel::cli {

void AddNew(CommandLine& cli);
void AddInfo(CommandLine& cli);
void AddDump(CommandLine& cli);
void AddExportItems(CommandLine& cli);
void AddImportItems(CommandLine& cli);
void AddExportCustomers(CommandLine& cli);
void AddImportCustomers(CommandLine& cli);
void AddLogo(CommandLine& cli);
void AddTransfer(CommandLine& cli);
void AddDiff(CommandLine& cli);
void AddFleet(CommandLine& cli);
void AddCheck(CommandLine& cli);
void AddFp(CommandLine& cli);
void AddPrint(CommandLine& cli);

// The names a KIND argument takes: every kind's, or (writable) those that
// are written, and all; and the help that lists them.
std::vector<std::string> KindNames(bool writable);
inline constexpr const char* kKindsText =
    "KIND: logo fiscal-logo header payments vat categories departments operators items\n"
    "      fiscal-memory tax-code customers params, ή all";

// The database of a command: loaded or written back, or the message (with
// the file and the cause on its second line) on stderr and false.
bool LoadDatabase(const std::string& path, DataImage& image);
bool SaveDatabase(const std::string& path, const DataImage& image);

}  // namespace zel::cli
