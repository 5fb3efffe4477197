// zelctl commands. Each takes the arguments after its name and returns the
// process exit status: 0 success, 1 failure (after its message), 2 misuse.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "core/data_image.h"

namespace zel::cli {

using Args = std::span<const std::string>;

struct Command {
  std::string_view name;
  std::string_view usage;  // arguments, for the help text
  std::string_view about;  // UTF-8, one line
  int (*run)(Args args);
};

int CmdNew(Args args);
int CmdInfo(Args args);
int CmdDump(Args args);
int CmdExportItems(Args args);
int CmdImportItems(Args args);
int CmdExportCustomers(Args args);
int CmdImportCustomers(Args args);
int CmdTransfer(Args args);
int CmdCheck(Args args);
int CmdDiff(Args args);
int CmdFleet(Args args);
int CmdFp(Args args);
int CmdPrint(Args args);
int CmdLogo(Args args);

// The database of a command: loaded or written back, or the message (with
// the file and the cause on its second line) on stderr and false.
bool LoadDatabase(const std::string& path, DataImage& image);
bool SaveDatabase(const std::string& path, const DataImage& image);

}  // namespace zel::cli
