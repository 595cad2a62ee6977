// tesmora: repairs clicks in audio files through the Tesmora module, loaded
// and driven the way the editor drives it.
#include <CLI/CLI.hpp>

#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "demo_command.h"
#include "detect_command.h"
#include "failure.h"
#include "module_info.h"
#include "module_loader.h"
#include "printable.h"
#include "repair_command.h"
#include "stop_request.h"
#include "tesmora_version.h"

namespace {

using namespace tesmora::cli;

void addDetectOptions(CLI::App& command, tesmora::detect::DetectOptions& options);

void addRepairCommand(CLI::App& app, RepairRequest& request) {
    CLI::App* repair = app.add_subcommand("repair", "Repair clicks in a sound file through the module");
    repair->add_option("input", request.input, "The sound file (never changed without --in-place)")
        ->required()
        ->type_name("FILE");
    repair
        ->add_option("-o,--output", request.output,
                     "Where the repaired file is written (a regular file, or a new name), in the input's format")
        ->type_name("FILE");
    repair->add_flag("--in-place", request.inPlace, "Replace the input with the repaired file");
    repair->add_flag("-f,--force", request.force, "Replace an output file that exists without asking");
    // One value a -r, so that a file name after it is not taken for a range.
    repair
        ->add_option("-r,--range", request.ranges,
                     "FIRST:LAST, inclusive, in samples (22579:22619) or seconds (0.5120s:0.5129s); repeatable")
        ->type_name("FIRST:LAST")
        ->type_size(1)
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    repair->add_option("--ranges", request.rangesFile, "A file with one range a line ('#' starts a comment)")
        ->type_name("FILE");
    repair
        ->add_option("-c,--channel", request.channel,
                     "Repair this channel only: left, right, or an index counted from 0")
        ->type_name("CHANNEL");
    repair->add_flag("-y,--yes", request.skipQuestion, "Do not ask before repairing more than 500 samples");
    repair->add_option("--plot", request.plotPath, "Draw each range before and after into an SVG file")
        ->type_name("FILE.svg");
    repair->add_flag("--report", request.report, "Print, per range, what changed");
    repair->add_flag("--detect", request.detect, "Find the clicks and repair them (instead of --range/--ranges)");
    addDetectOptions(*repair, request.detectOptions);
}

void addDetectOptions(CLI::App& command, tesmora::detect::DetectOptions& options) {
    command
        .add_option("--sensitivity", options.sensitivity,
                    "0 to 10: higher finds weaker clicks, and takes more of the sound for clicks")
        ->type_name("S")
        ->capture_default_str();
    command
        .add_option("--max-width", options.maxWidthMs,
                    "The longest click, in milliseconds (0: 2 ms, and at least 64 samples)")
        ->type_name("MS")
        ->capture_default_str();
}

void addDetectCommand(CLI::App& app, DetectRequest& request) {
    CLI::App* command = app.add_subcommand("detect", "Find the clicks in a sound file and print them as ranges");
    command->add_option("input", request.input, "The sound file (16-bit)")->required()->type_name("FILE");
    command
        ->add_option("-c,--channel", request.channel,
                     "Search this channel only: left, right, or an index counted from 0 (default: every channel)")
        ->type_name("CHANNEL");
    addDetectOptions(*command, request.options);
}

// CLI11 answers a word that is no subcommand with "A subcommand is required";
// the word itself is what the user needs to see.
int reportParseError(const CLI::App& app, const CLI::ParseError& error) {
    std::string message = error.what();
    if (app.get_subcommands().empty()) {
        const std::vector<std::string> words = app.remaining();
        if (words.empty()) {
            message = "give a command: repair, detect, info or demo";
        } else if (words.front().front() == '-') {
            message = "unknown option '" + words.front() + "'";
        } else {
            message = "unknown command '" + words.front() + "': expected repair, detect, info or demo";
        }
    }
    std::cerr << "tesmora: " << printable(message) << "\nRun 'tesmora --help' (or 'tesmora repair --help') for more.\n";
    return kExitBadUsage;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app(
        "Repairs clicks in 16-bit audio through the Tesmora module: each selected range becomes the "
        "straight line between its first and last samples.",
        "tesmora");
    app.footer(
        "Exit status:\n"
        "  0      repaired\n"
        "  1      refused or failed; nothing was written\n"
        "  2      bad usage\n"
        "  128+N  stopped by signal N (130 for Ctrl-C, 143 for SIGTERM); nothing was written");
    app.set_version_flag("--version", "tesmora " TESMORA_VERSION_STRING "\n" TESMORA_COPYRIGHT
                                      "\n\nFree software under the MIT licence.");
    app.set_help_all_flag("--help-all", "Print the help of every command and exit");
    app.require_subcommand(1);
    app.fallthrough();
    std::string modulePath = defaultModulePath();
    app.add_option("--module", modulePath,
                   "The module's shared library (default: tesmora.so beside the program, else the installed "
                   "one, " TESMORA_MODULE_FROM_PROGRAM " from the program's folder)")
        ->type_name("PATH");

    RepairRequest request;
    addRepairCommand(app, request);
    DetectRequest detectRequest;
    addDetectCommand(app, detectRequest);
    CLI::App* info = app.add_subcommand("info", "Show what the module reports about itself");
    std::string demoFolder = "tesmora-demo";
    CLI::App* demo = app.add_subcommand("demo", "Make a tone with clicks, repair it, and show the result");
    demo->add_option("folder", demoFolder, "Where the files go")->capture_default_str();

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help) == 0 ? kExitRepaired : kExitBadUsage;
    } catch (const CLI::CallForAllHelp& help) {
        return app.exit(help) == 0 ? kExitRepaired : kExitBadUsage;
    } catch (const CLI::CallForVersion& version) {
        return app.exit(version) == 0 ? kExitRepaired : kExitBadUsage;
    } catch (const CLI::ParseError& error) {
        return reportParseError(app, error);
    }

    const StopOnInterrupt stopOnInterrupt;
    try {
        if (*info) {
            const LoadedModule module(modulePath);
            ModuleInfo moduleInfo = queryModule(module.entryPoints());
            moduleInfo.fileVersion = module.fileVersion();
            printModuleInfo(std::cout, module.path(), moduleInfo);
            return kExitRepaired;
        }
        int status = kExitRepaired;
        if (*demo) {
            status = runDemo(demoFolder, modulePath, StopOnInterrupt::stopFlag());
        } else if (app.got_subcommand("detect")) {
            status = runDetect(detectRequest, StopOnInterrupt::stopFlag());
        } else {
            request.modulePath = modulePath;
            status = runRepair(request, StopOnInterrupt::stopFlag());
        }
        // Whichever command was stopped, the status names the signal that stopped it.
        return status == kExitStopped ? StopOnInterrupt::stoppedStatus() : status;
    } catch (const HostError& error) {
        std::cerr << "tesmora: " << error.what() << "\n";
    } catch (const std::bad_alloc&) {
        std::cerr << "tesmora: not enough memory; nothing was written\n";
    } catch (const std::exception& error) {
        std::cerr << "tesmora: " << error.what() << "; nothing was written\n";
    }
    return kExitFailed;
}
