// tesmora: repairs clicks in audio files through the Tesmora module, loaded
// and driven the way the editor drives it.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "demo_command.h"
#include "detect_command.h"
#include "failure.h"
#include "module_info.h"
#include "module_loader.h"
#include "option_hint.h"
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
                    "The longest click, in milliseconds (0: 2 ms, and at least 64 samples; with two channels "
                    "or more, a pop's core up to 8 ms where the other channel does not carry it)")
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

// The option names known where an option is given: the program's own and
// those of the command (if one was named), with their dashes.
std::vector<std::string> knownOptions(const CLI::App& app, const CLI::App* command) {
    std::vector<std::string> names;
    for (const CLI::App* scope : {&app, command}) {
        if (scope == nullptr) continue;
        for (const CLI::Option* option : scope->get_options()) {
            for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
            for (const std::string& name : option->get_snames()) names.push_back("-" + name);
        }
    }
    return names;
}

// "unknown option '--rnage'; did you mean '--range'?" for the first word of
// the command line that looks like an option and is none; empty when every
// one is known. A negative number is a value, not an option.
std::string unknownOption(const CLI::App& app, int argc, char** argv) {
    const CLI::App* command = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--") break;
        if (word.empty()) continue;
        if (command == nullptr && word.front() != '-') {
            const auto named = app.get_subcommands([&word](const CLI::App* sub) { return sub->get_name() == word; });
            if (!named.empty()) command = named.front();
            continue;
        }
        if (word.size() < 2 || word.front() != '-' || std::isdigit(static_cast<unsigned char>(word[1])) != 0) continue;
        // --name=value and -xVALUE are known by their names.
        const std::string name = word[1] == '-' ? word.substr(0, word.find('=')) : word.substr(0, 2);
        const std::vector<std::string> known = knownOptions(app, command);
        if (std::find(known.begin(), known.end(), name) == known.end()) return unknownOptionMessage(name, known);
    }
    return {};
}

// CLI11 answers a word that is no subcommand with "A subcommand is required",
// and a mistyped option with "The following arguments were not expected";
// the word itself, and the option meant, is what the user needs to see.
int reportParseError(const CLI::App& app, const CLI::ParseError& error, int argc, char** argv) {
    std::string message = error.what();
    if (const std::string unknown = unknownOption(app, argc, argv); !unknown.empty()) {
        message = unknown;
    } else if (app.get_subcommands().empty()) {
        const std::vector<std::string> words = app.remaining();
        if (words.empty()) {
            message = "give a command: repair, detect, info or demo";
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
        "Examples:\n"
        "  Find and repair the clicks of every channel of a stereo file in one run:\n"
        "    tesmora repair record.wav -o repaired.wav --detect\n"
        "  Review first: each range drawn before (red) and after (blue), and what changed in each:\n"
        "    tesmora repair record.wav -o repaired.wav --detect --plot clicks.svg --report\n"
        "  The ranges round trip: print what is found, delete the lines not to repair, repair the rest\n"
        "  (each line keeps its channel, ch=N):\n"
        "    tesmora detect record.wav > clicks.txt\n"
        "    tesmora repair record.wav -o repaired.wav --ranges clicks.txt\n"
        "  One channel only, at two ranges given by hand:\n"
        "    tesmora repair record.wav -o repaired.wav --channel right -r 22579:22619 -r 0.512s:0.513s\n"
        "\n"
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
        return reportParseError(app, error, argc, argv);
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
