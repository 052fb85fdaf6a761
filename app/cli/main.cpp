// veltra-transfer: the transfers of the window, run from a command line or a script.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "commands.h"
#include "jet/program.h"
#include "options.h"

namespace {

constexpr const char* kUsage =
    "Usage: veltra-transfer COMMAND [OPTIONS]\n"
    "\n"
    "Transfers delimited text files into a VELTRA Payroll database, as the window does.\n"
    "\n"
    "Commands:\n"
    "  transfer   transfer one text file (employee, calc, pm or pd) into the database\n"
    "  undo       undo the last transfer into a database\n"
    "  history    list the transfers kept for undoing\n"
    "  sample     write a sample company: databases and one input file per kind\n"
    "  help CMD   show the options of a command (also: veltra-transfer CMD --help)\n"
    "\n"
    "Exit status: 0 done, 1 a line failed (earlier lines kept), 2 usage or file errors.\n";

}  // namespace

int main(int argc, char** argv) {
    jet::program::setUpConsole();
    std::vector<std::string> args = jet::program::arguments(argc, argv);
    if (args.empty()) {
        std::cerr << kUsage;
        return 2;
    }
    const std::string command = args.front();
    args.erase(args.begin());
    if (command == "--help" || command == "-h") {
        std::cout << kUsage;
        return 0;
    }
    if (command == "help") {
        const std::string topic = args.empty() ? "" : args.front();
        if (topic == "transfer") {
            std::cout << cli::kTransferHelp;
        } else if (topic == "undo") {
            std::cout << cli::kUndoHelp;
        } else if (topic == "history") {
            std::cout << cli::kHistoryHelp;
        } else if (topic == "sample") {
            std::cout << cli::kSampleHelp;
        } else {
            std::cout << kUsage;
        }
        return 0;
    }
    try {
        const auto folder = jet::program::folder(argv[0]);
        if (command == "transfer") return cli::runTransfer(args, folder);
        if (command == "sample") return cli::runSample(args, folder);
        if (command == "undo") return cli::runUndo(args);
        if (command == "history") return cli::runHistory(args);
        throw cli::UsageError("unknown command '" + command + "'");
    } catch (const cli::UsageError& e) {
        std::cerr << "veltra-transfer: " << e.what() << "\n"
                  << "Try 'veltra-transfer "
                  << (command == "transfer" || command == "sample" || command == "undo" ||
                              command == "history"
                          ? command + " --help"
                          : std::string("--help"))
                  << "'.\n";
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "veltra-transfer: " << e.what() << "\n";
        return 2;
    }
}
