// tesmora: repairs clicks in audio files through the Tesmora module, loaded
// and driven the way the editor drives it.
#include <CLI/CLI.hpp>

#include <iostream>
#include <new>
#include <string>

#include "demo_command.h"
#include "detect_command.h"
#include "failure.h"
#include "module_info.h"
#include "module_loader.h"
#include "repair_command.h"
#include "stop_request.h"

namespace {

using namespace tesmora::cli;

void addDetectOptions(CLI::App& command, tesmora::detect::DetectOptions& options);

void addRepairCommand(CLI::App& app, RepairRequest& request) {
    CLI::App* repair = app.add_subcommand("repair", "Repair clicks in a sound file through the module");
    repair->add_option("input", request.input, "The sound file (never changed without --in-place)")
        ->required()
        ->type_name("FILE");
    repair->add_option("-o,--output", request.output, "Where the repaired file is written")->type_name("FILE");
    repair->add_flag("--in-place", request.inPlace, "Replace the input with the repaired file");
    repair
        ->add_option("-r,--range", request.ranges,
                     "FIRST:LAST, inclusive, in samples (22579:22619) or seconds (0.5120s:0.5129s); repeatable")
        ->type_name("FIRST:LAST");
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

}  // namespace

int main(int argc, char** argv) {
    CLI::App app(
        "Repairs clicks in 16-bit audio through the Tesmora module: each selected range becomes the "
        "straight line between its first and last samples.\n"
        "Exit status: 0 repaired, 1 refused or failed, 2 bad usage, 130 stopped (Ctrl-C).",
        "tesmora");
    app.require_subcommand(1);
    app.fallthrough();
    std::string modulePath = defaultModulePath();
    app.add_option("--module", modulePath, "The module's shared library")->type_name("PATH")->capture_default_str();

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
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? kExitRepaired : kExitBadUsage;
    }

    const StopOnInterrupt stopOnInterrupt;
    try {
        if (*info) {
            const LoadedModule module(modulePath);
            printModuleInfo(std::cout, module.path(), queryModule(module.entryPoints()));
            return kExitRepaired;
        }
        if (*demo) return runDemo(demoFolder, modulePath, StopOnInterrupt::stopFlag());
        if (app.got_subcommand("detect")) return runDetect(detectRequest, StopOnInterrupt::stopFlag());
        request.modulePath = modulePath;
        return runRepair(request, StopOnInterrupt::stopFlag());
    } catch (const HostError& error) {
        std::cerr << "tesmora: " << error.what() << "\n";
    } catch (const std::bad_alloc&) {
        std::cerr << "tesmora: not enough memory; nothing was written\n";
    } catch (const std::exception& error) {
        std::cerr << "tesmora: " << error.what() << "; nothing was written\n";
    }
    return kExitFailed;
}
