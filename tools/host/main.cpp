// plclink-host: a command-line host for the plclink driver module. It loads
// the module as a host does, starts an instance on a serial line and reads,
// writes, watches and backs up controller memory through VpiMain.
#include <CLI/CLI.hpp>

#include <clocale>
#include <iostream>

#include "commands.h"
#include "host_glue.h"
#include "module_loader.h"

using namespace plclink::host;

namespace {

constexpr char kDescription[] =
    "Command-line host for the plclink S7-200 PPI driver module.\n"
    "Tags are gate addresses: PLC number, area (I Q M V S SM AI AQ), type (B W D F),\n"
    "4-digit byte address and, for a bit, the bit 0-7: 02VW0100 is the word at V100 of\n"
    "station 2, 02IB00037 bit 7 of input byte 3, 02SMB00005 SM0.5, 02AIW0000 AIW0.\n"
    "AI and AQ hold words only (W, even address); AI is read-only.";

constexpr char kFooter[] =
    "Exit status: 0 all done; 1 some tag failed on the line (the reason is told on standard\n"
    "error); 2 refused before anything was sent: bad usage, a bad tag address, value, count\n"
    "or file, or a port that could not be opened or reaches no controller.";

}  // namespace

int main(int argc, char** argv) {
    // The user's locale, so that a terminal face draws its lines in the
    // terminal's own encoding; numbers are read and written in one form
    // whatever the locale.
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
    CLI::App app{kDescription, "plclink-host"};
    app.footer(kFooter);
    app.require_subcommand(1);
    app.fallthrough();

    GlobalOptions options;
    std::string format = "table";
    app.add_option("--module", options.modulePath, "Driver module to load (default: plclink.so beside this program, else the installed one)");
    app.add_option("-p,--port", options.line.port, "Serial port, e.g. /dev/ttyUSB0 or a pseudo-terminal, or tcp:HOST:PORT for a serial device server");
    app.add_option("-b,--baud", options.line.baud, "Baud rate")->capture_default_str();
    app.add_option("--parity", options.line.parity, "Parity: none, odd, even, mark, space")
        ->capture_default_str()
        ->check(CLI::IsMember({"none", "odd", "even", "mark", "space"}));
    app.add_option("--data-bits", options.line.dataBits, "Data bits")->capture_default_str()->check(CLI::Range(5, 8));
    app.add_option("--stop-bits", options.line.stopBits, "Stop bits: 1, 1.5, 2")
        ->capture_default_str()
        ->check(CLI::IsMember({"1", "1.5", "2"}));
    app.add_option("-t,--timeout", options.line.timeoutMs, "Read time-out of the line in ms (10 ms steps)")
        ->capture_default_str();
    app.add_option("--vpi", options.vpi, "VPI number: names the initialization file vpiK7NN.int")
        ->capture_default_str()
        ->check(CLI::Range(0, 65535));
    app.add_flag("--three-digit", options.threeDigit,
                 "Three-digit PLC numbers (writes \"3 DIGITS\" into vpiK7NN.int in the current directory)");
    app.add_option("--pause", options.pauseMs,
                   "Pause between frames in ms, shorter than the standard 40 (writes \"PAUSE MS\" "
                   "into vpiK7NN.int in the current directory; the module keeps it above the bus idle time)")
        ->check(CLI::Range(1, 40));
    app.add_option("--multimaster", options.multimasterAddress,
                   "Share the line with other masters (operator panels): the driver joins the PPI "
                   "token ring as station ADDRESS, 0 by default (writes \"MULTIMASTER ADDRESS n\" "
                   "into vpiK7NN.int in the current directory)")
        ->expected(0, 1)
        ->default_str("0")
        ->check(CLI::Range(0, 126));
    bool noCoalesce = false;
    app.add_flag("--no-coalesce", noCoalesce,
                 "read and monitor: one request per tag (command 5), instead of each round's tags "
                 "in multi-item requests (command 20: many scattered tags per request, close ones "
                 "sharing an item; block reads where the module lacks command 20)");
    // The default since multi-item reads became it; scripts that name it still run.
    bool multiItem = false;
    app.add_flag("--multi-item", multiItem, "read and monitor: multi-item requests (the default; no effect)");
    bool verbose = false;
    app.add_option("--log", options.logFile, "Append every log line of the module to this file");
    app.add_flag("-v,--verbose", verbose,
                 "Show every log line of the module on standard error (otherwise only those that explain a failure)");
    app.add_option("-f,--format", format, "Output: table, json or csv")
        ->capture_default_str()
        ->check(CLI::IsMember({"table", "json", "csv"}));

    auto* describe = app.add_subcommand("describe", "What the module reports about itself (command 14)");

    std::vector<std::string> tags;
    std::int32_t gateType = 0;
    bool block = false;
    auto* parse = app.add_subcommand("parse", "Parse tag addresses with the module (command 3, or 4 with --block)");
    parse->add_option("tags", tags, "Tag addresses")->required();
    auto* gateOption = parse->add_option("--gate-type", gateType,
                                         "Host gate type: 0-2 byte/word, 3 float, 4-5 dword, 6 bit "
                                         "(default: what the address says)");
    parse->add_flag("--block", block, "Parse as block addresses (command 4)")->excludes(gateOption);

    auto* read = app.add_subcommand("read", "Read tags, many per request (command 20; command 5 each with --no-coalesce); "
                                    "timers and counters too, e.g. 02TW0037, 02CW0012");
    read->add_option("tags", tags, "Tag addresses")->required();

    std::vector<std::string> assignments;
    auto* write = app.add_subcommand("write", "Write tags (command 7): TAG=VALUE, decimal, 0x hex, float, 0/1");
    write->add_option("assignments", assignments, "TAG=VALUE pairs")->required();

    std::string blockTag;
    int count = 0;
    auto* readBlock = app.add_subcommand("read-block", "Read COUNT consecutive elements (commands 4 and 6)");
    readBlock->add_option("tag", blockTag, "First element, e.g. 02VW0100, or 02TW0037 for T37 on")->required();
    readBlock->add_option("count", count, "Number of elements")->required();
    bool fullFrames = false;
    constexpr char kMaxFrameHelp[] =
        "The station takes full frames (LE 255): blocks up to 234 bytes read, 224 written, "
        "instead of an S7-200's 222 and 212";
    readBlock->add_flag("--max-frame", fullFrames, kMaxFrameHelp);

    std::vector<std::string> values;
    auto* writeBlock = app.add_subcommand("write-block", "Write consecutive elements (commands 4 and 10)");
    writeBlock->add_option("tag", blockTag, "First element")->required();
    writeBlock->add_option("values", values, "Values")->required();
    writeBlock->add_flag("--max-frame", fullFrames, kMaxFrameHelp);

    MonitorOptions monitorOptions;
    long pollCount = 0;
    double duration = 0;
    auto* monitor = app.add_subcommand("monitor", "Poll tags, each round's tags many per request (command 20): a live table "
                                      "on a terminal, one line per poll otherwise (timers and counters too; "
                                      "each is an item of its own)");
    monitor->add_option("tags", monitorOptions.tags, "Tag addresses")->required();
    monitor->add_option("-i,--interval", monitorOptions.intervalMs, "Poll interval in ms")
        ->capture_default_str()
        ->check(CLI::Range(0, 3600000));
    auto* countOption = monitor->add_option("-n,--count", pollCount, "Stop after this many polls")->check(CLI::PositiveNumber);
    auto* durationOption = monitor->add_option("-d,--duration", duration, "Stop after this many seconds")->check(CLI::PositiveNumber);

    std::string area, file;
    int start = 0;
    long length = 0;
    int plc = 2;
    auto* dump = app.add_subcommand("dump", "Copy a memory range to a file (blocks of 222 bytes)");
    dump->add_option("area", area,
                     "Area: I, Q, M, V, S, SM, AI or AQ (AI and AQ: even start and length; timers "
                     "and counters are no byte range: read them with read, monitor or read-block)")
        ->required()
        ->check(CLI::IsMember({"I", "Q", "M", "V", "S", "SM", "AI", "AQ"}, CLI::ignore_case));
    dump->add_option("start", start, "First byte address")->required();
    dump->add_option("length", length, "Number of bytes")->required();
    dump->add_option("file", file, "Memory image file to write")->required();
    dump->add_option("--plc", plc, "PLC (station) number")->capture_default_str()->check(CLI::Range(0, 999));

    int loadPlc = 2;
    auto* load = app.add_subcommand("load",
                                    "Write a memory image file back (blocks of 212 bytes) and verify it "
                                    "(not timers or counters, which are not written)");
    load->add_option("file", file, "Memory image file (as dump writes it)")->required();
    auto* loadPlcOption = load->add_option("--plc", loadPlc, "PLC number (default: the file's)")->check(CLI::Range(0, 999));

    auto* tagformat = app.add_subcommand("tagformat", "Compose a tag address with the module's Tag Format dialog (command 16)");
    tagformat->footer(
        "The dialog is drawn on the terminal; standard output gets only the address, so\n"
        "addr=$(plclink-host tagformat) works. Exit status: 0 written, 1 cancelled,\n"
        "3 no terminal the dialog fits on (standard error says what is missing), 130 Ctrl-C.");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int code = app.exit(e);
        return code == 0 ? kDone : kUsage;
    }
    options.coalesce = !noCoalesce;
    options.format = format == "json" ? Format::Json : format == "csv" ? Format::Csv : Format::Table;

    HostLog::Instance().setVerbose(verbose);
    if (!options.logFile.empty()) {
        std::string why;
        if (!HostLog::Instance().sendToFile(options.logFile, why)) {
            std::cerr << "plclink-host: " << why << std::endl;
            return kUsage;
        }
    }
    ConnectHostLibrary();
    if (options.modulePath.empty()) options.modulePath = DefaultModulePath();
    std::string why;
    auto module = LoadedModule::Load(options.modulePath, why);
    if (!module) {
        std::cerr << "plclink-host: " << why << std::endl;
        return kUsage;
    }
    Driver driver(module->vpiMain());
    Session session(options, driver, std::cout, std::cerr);

    int status = kUsage;
    if (describe->parsed()) status = RunDescribe(session);
    if (parse->parsed()) status = RunParse(session, tags, gateOption->count() ? std::optional(gateType) : std::nullopt, block);
    if (read->parsed()) status = RunRead(session, tags);
    if (write->parsed()) status = RunWrite(session, assignments);
    if (readBlock->parsed()) status = RunReadBlock(session, blockTag, count, fullFrames);
    if (writeBlock->parsed()) status = RunWriteBlock(session, blockTag, values, fullFrames);
    if (monitor->parsed()) {
        if (countOption->count()) monitorOptions.count = pollCount;
        if (durationOption->count()) monitorOptions.durationS = duration;
        status = RunMonitor(session, monitorOptions);
    }
    if (dump->parsed()) status = RunDump(session, area, start, length, file, plc);
    if (load->parsed()) status = RunLoad(session, file, loadPlcOption->count() ? std::optional(loadPlc) : std::nullopt);
    if (tagformat->parsed()) status = RunTagFormat(session);
    std::cout.flush();
    return status;
}
