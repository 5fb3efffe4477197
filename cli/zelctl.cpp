// zelctl: the Setup ZEL engine from the command line, for scripts and for
// dealers who program many registers.
#include "commands.h"

int main(int argc, char** argv) {
  zel::cli::CommandLine cli;
  // In the order of the program's list of commands.
  zel::cli::AddNew(cli);
  zel::cli::AddInfo(cli);
  zel::cli::AddDump(cli);
  zel::cli::AddExportItems(cli);
  zel::cli::AddImportItems(cli);
  zel::cli::AddExportCustomers(cli);
  zel::cli::AddImportCustomers(cli);
  zel::cli::AddLogo(cli);
  zel::cli::AddTransfer(cli);
  zel::cli::AddDiff(cli);
  zel::cli::AddFleet(cli);
  zel::cli::AddCheck(cli);
  zel::cli::AddFp(cli);
  zel::cli::AddPrint(cli);
  return cli.Run(argc, argv);
}
