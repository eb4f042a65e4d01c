// ppi-sim: simulated Siemens S7-200 controllers on a PPI line, for tests and
// demonstrations of a PPI master. See --help.
#include <CLI/CLI.hpp>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ppisim/bus.h"
#include "ppisim/bus_runner.h"
#include "ppisim/fdl.h"
#include "ppisim/master_options.h"
#include "ppisim/memory_file.h"
#include "ppisim/runner.h"
#include "ppisim/serial_line.h"
#include "ppisim/tcp_server_line.h"
#include "ppisim/trace.h"

namespace {

volatile std::sig_atomic_t gStop = 0;
volatile std::sig_atomic_t gSummary = 0;

void OnSignal(int) { gStop = 1; }
void OnSummarySignal(int) { gSummary = 1; }

void InstallSignals() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no restart: a blocked wait ends at once
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    action.sa_handler = OnSummarySignal;
    sigaction(SIGUSR1, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

// PPI's fastest rate, which termios has no code for.
constexpr unsigned long kPpiFastBaud = 187500;

// The name a master takes for the port: the path without its /dev/ prefix.
std::string PortNameOf(const std::string& path) {
    const std::string dev = "/dev/";
    return path.compare(0, dev.size(), dev) == 0 ? path.substr(dev.size()) : path;
}

constexpr const char* kDescription = R"(Simulated Siemens S7-200 controllers answering a PPI master (the master is
station 0) on a serial line.

Without --device it creates a pseudo-terminal. With --tcp it is a serial
device server instead: it listens on a TCP port and serves one master's
connection at a time, the bytes of the connection being the line (another
master that connects meanwhile is closed at once, with a trace line). Either way
the first line on standard output names the port, machine-readably, as two
words: the full path (HOST:PORT) and the port name a master takes (with
--tcp, tcp:HOST:PORT), e.g.
    /dev/pts/7 pts/7
    127.0.0.1:5020 tcp:127.0.0.1:5020
It then runs until SIGINT or SIGTERM, or until --exit-after has passed.

Each station answers the set-up request (SD2, FC 0x6C) and reads and writes
(FC 0x7C) of bytes, words, double words and bits of its I, Q, M, V, S, SM,
AI and AQ memory (area codes 0x81..0x84, 0x04, 0x05, 0x06, 0x07; the sizes
of a CPU 224 by default): SC (E5) at once, then the SD2 response (FC 0x08)
when polled with SD1 (FC 0x5C). A read or write outside the memory is
refused with access_result 0x0A; a write to SM0..SM29 or to the analog
inputs, which a CPU keeps for itself, with access_result 0x03 ("object
access not allowed"); frames to other addresses or with a bad checksum get
no answer. As on a CPU, SM0.5 is a clock bit, on for half a second and off
for the other half; --analog makes analog inputs move.

Timers T0..T255 and counters C0..C255 (area codes 0x1F and 0x1E) are read
by number: the item's transport size is the area code and its address the
number; the answer holds one record per element, as an octet string
(data_type 0x09, length in bytes), 5 bytes per timer and 3 per counter, the
current value in the last two bytes, the other bytes 0. Writes to them are
refused with access_result 0x03, numbers above 255 with 0x0A. --timer makes
a timer count.

Like an S7-200, a station takes and sends S7 messages up to its PDU size
(--pdu, 240 by default; a master may ask for less when it sets up
communication) and frames up to LE 249, which carry messages up to 246
bytes. With PDU 240 a read answers at most 222 value bytes and a write
carries at most 212. A read or write whose request or answer would be
longer is not carried out: the answer is an acknowledgement without
parameters or data whose header holds error class 0x85 ("error on
supplies") and error code 0x00, the S7 error 0x8500 "incorrect PDU size".
No frame it sends has LE above 249, and a frame with LE above 249 is
ignored, as a real S7-200 ignores it (--full-frames: taken up to LE 255).

With --master (and --line-speed) the line is a PPI bus shared with
simulated masters, as operator panels are: they pass the token among
themselves and admit the master on the port when it joins by the ring
rules; the CPU stations answer FDL status requests as slaves and a job that
arrives while they serve another master with "no resource". The line is
half duplex: frames that overlap collide and are lost, and frames of the
master on the port that are out of turn are lost with the next simulated
frame. At the end, and on SIGUSR1, summary lines go to standard output.
)";

constexpr const char* kFooter = R"(FAULTS (--fault, may be repeated)
  KIND[=ARG]:WHEN[@STATION]
  KIND    silent          no reaction to the request
          token           SD4 token frame (DC 00 st) in place of the SC
          garbage[=LEN]   LEN noise bytes (default 4) in place of the SC
          truncate[=LEN]  SC, then only LEN bytes of the response (default half)
          badfcs          SC, then the response with a wrong checksum
          refuse[=CODE]   SC, then every item refused with access_result CODE
                          (default 0x0A); nothing is written
          reject[=CODE]   SC, then a response whose header carries error class
                          and code CODE (0xCCNN, default 0x8104); nothing is
                          written
          delay[=MS]      react MS milliseconds late (default 1500)
          mismatch        SC, then the answer of another request: a write's
                          answer to a read and a read's to a write, or the
                          same function for another size (values EE; for
                          timers or counters, 2-byte records)
          late            SC, then the answer of the station's previous
                          request, with that request's reference, named in
                          the trace (none before the first: the poll gets SC)
          flood[=MS]      noise at the line's full speed in place of the SC,
                          for MS milliseconds (default: without end); no
                          noise byte is a frame start byte
          trickle[=MS]    the SC and the response one byte at a time, each
                          MS milliseconds after the one before (default 500);
                          abandoned when the master sends again
          noresource      SC, then SD1 "no resource" (10 00 st 02 FCS 16) to
                          the poll; nothing is carried out
          busy            SC, then SC to every poll until the next request;
                          nothing is carried out
          drop[=LEN]      SC, then only LEN bytes of the response (default
                          half), then the master's connection is closed
                          (--tcp; on a terminal the same as truncate)
  WHEN    always | next:N (the next N requests) | rate:P (0..1, see --seed)
  STATION only requests to this station (default: every station)
  Rules are tried in the order given and the first that fires decides; delay
  rules add up independently. refuse, reject, mismatch and late apply to reads and
  writes only. Under mismatch, late, trickle, truncate and badfcs the
  station carries the request out; its answer is what goes wrong.
  Example: --fault silent:next:3 --fault badfcs:rate:0.1@3 --seed 42

MEMORY FILE (--load, --dump)
  One run of bytes per line, '#' starts a comment:
    STATION AREA ADDRESS: BYTE BYTE ...
    2 V 100: 12 34 AB CD      # V100..V103 of station 2
    * M 0: FF                 # MB0 of every station
  STATION is an address or *, AREA is I, Q, M, V, S, SM, AI or AQ, ADDRESS the decimal byte
  address, bytes in hexadecimal. Timers and counters go by number, values
  decimal (-32768..32767):
    2 T 37: 1234              # T37 of station 2
    2 C 12: -5 7              # C12 and C13
  --dump writes every 16-byte row holding a non-zero byte, and every timer
  and counter not 0, when the simulator ends.

MASTERS (--master, may be repeated, needs --line-speed)
  ADDR[:OPTION,OPTION...]   ADDR 0..HSA
  station=N         the CPU station it reads (default: the first --station)
  read=AREA START:COUNT   what it reads at each job (default read=V0:4)
  interval=MS       at least MS between two jobs (default 0: every token visit)
  silent-after=S    goes silent S seconds after the start (fault)
  late-token        takes a passed token only at the second pass (fault)
  duplicate         may share its address with another station (fault)
  garble=P          a token it passes comes out as noise with probability P
  Example: --master 1 --master 3:read=M0:1,interval=500
  Summary lines (standard output, at the end and on SIGUSR1):
    summary master=1 token_visits=N jobs_done=N jobs_failed=N
            rotation_mean_ms=X rotation_max_ms=X       (one line)
    summary line=totals frames=N collisions=N out_of_turn=N idle_violations=N

TRACE (--trace) goes to standard error, one line per frame:
  [    1.234567] rx 10 02 00 5C 5E 16
  [    1.234602] tx E5
  with '--' lines saying what the stations did.)";

// A scan time MS[@STATION]: milliseconds, for one station or (without
// @STATION) for every station.
struct ScanTime {
    std::uint32_t ms = 0;
    std::optional<unsigned> station;
};

std::optional<ScanTime> ParseScanTime(const std::string& spec) {
    ScanTime scan;
    const std::size_t at = spec.find('@');
    const std::string ms = spec.substr(0, at);
    auto number = [](const std::string& text, unsigned long limit) -> std::optional<unsigned long> {
        if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos)
            return std::nullopt;
        const unsigned long value = std::stoul(text);
        if (value > limit) return std::nullopt;
        return value;
    };
    const auto value = number(ms, 60000);
    if (!value) return std::nullopt;
    scan.ms = static_cast<std::uint32_t>(*value);
    if (at != std::string::npos) {
        const auto station = number(spec.substr(at + 1), 126);
        if (!station || *station < 1) return std::nullopt;
        scan.station = static_cast<unsigned>(*station);
    }
    return scan;
}

ppisim::Parity ParityOf(const std::string& name) {
    if (name == "odd") return ppisim::Parity::Odd;
    if (name == "none") return ppisim::Parity::None;
    return ppisim::Parity::Even;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{kDescription, "ppi-sim"};
    app.footer(kFooter);
    app.get_formatter()->column_width(34);

    std::string device;
    std::vector<unsigned> stationList;
    unsigned baud = 9600;
    std::string parity = "even";
    ppisim::AreaSizes sizes;
    std::vector<std::string> faultSpecs;
    std::vector<std::string> scanSpecs;
    std::vector<std::string> analogSpecs;
    std::vector<std::string> timerSpecs;
    std::uint32_t seed = 1;
    unsigned pdu = ppisim::kPduSize;
    bool lineSpeed = false;
    std::string loadFile, dumpFile;
    bool trace = false;
    double exitAfter = 0;
    std::string tcp;
    std::uint32_t latencyMs = 0;
    std::vector<std::string> masterSpecs;
    ppisim::BusParams busParams;
    bool fullFrames = false;

    app.add_option("--device", device,
                   "Serial device to answer on (8 data bits, the parity, 1 stop bit); "
                   "default: create a pseudo-terminal")
        ->option_text("PATH");
    app.add_option("--tcp", tcp,
                   "Serve the line on a TCP port, as a serial device server in raw TCP mode does, "
                   "one connection at a time; HOST defaults to 127.0.0.1, PORT 0 takes a free one")
        ->option_text("[HOST:]PORT")
        ->excludes("--device");
    app.add_option("--latency", latencyMs,
                   "Send every reply MS milliseconds late, as over a slow network (default 0)")
        ->check(CLI::Range(0u, 60000u))
        ->option_text("MS");
    app.add_option("--station", stationList,
                   "Station address to simulate, 1..126; repeat for more (default 2)")
        ->check(CLI::Range(1u, 126u))
        ->option_text("ADDR ...");
    app.add_option("--baud", baud,
                   "Baud rate of the line (default 9600); on a pseudo-terminal also PPI's 187500, "
                   "which then only paces --line-speed")
        ->option_text("RATE")
        ->check([](const std::string& text) {
            try {
                const unsigned long rate = std::stoul(text);
                return ppisim::IsSupportedBaud(static_cast<unsigned>(rate)) || rate == kPpiFastBaud
                           ? std::string()
                           : "baud rate not available: " + text;
            } catch (...) {
                return "not a baud rate: " + text;
            }
        });
    app.add_option("--parity", parity, "Parity: even (default), odd or none")
        ->option_text("even|odd|none")
        ->check(CLI::IsMember({"even", "odd", "none"}));
    app.add_option("--i-size", sizes.i, "Bytes of input image I per station (default 16)")
        ->check(CLI::Range(1, 65536))
        ->option_text("BYTES");
    app.add_option("--q-size", sizes.q, "Bytes of output image Q per station (default 16)")
        ->check(CLI::Range(1, 65536))
        ->option_text("BYTES");
    app.add_option("--m-size", sizes.m, "Bytes of flag memory M per station (default 32)")
        ->check(CLI::Range(1, 65536))
        ->option_text("BYTES");
    app.add_option("--v-size", sizes.v, "Bytes of variable memory V per station (default 10240)")
        ->check(CLI::Range(1, 65536))
        ->option_text("BYTES");
    app.add_option("--s-size", sizes.s, "Bytes of sequence control relays S per station (default 32)")
        ->check(CLI::Range(1, 65536))
        ->option_text("BYTES");
    app.add_option("--sm-size", sizes.sm,
                   "Bytes of special memory SM per station (default 550; SM0..SM29 read-only)")
        ->check(CLI::Range(1, 65536))
        ->option_text("BYTES");
    app.add_option("--ai-size", sizes.ai, "Bytes of analog inputs AI per station (default 64, 32 words)")
        ->check(CLI::Range(2, 65536))
        ->option_text("BYTES");
    app.add_option("--aq-size", sizes.aq, "Bytes of analog outputs AQ per station (default 64, 32 words)")
        ->check(CLI::Range(2, 65536))
        ->option_text("BYTES");
    app.add_option("--analog", analogSpecs,
                   "Moving analog input AIWn=ramp|sine[:PERIOD[:LOW:HIGH]] on every station: "
                   "a ramp or a sine between LOW and HIGH (default 0 and 32000) once every "
                   "PERIOD seconds (default 10); repeat for more channels")
        ->option_text("SPEC ...");
    app.add_option("--timer", timerSpecs,
                   "Running timer Tn[=ramp[:PERIOD]] on every station: counts the ticks of its "
                   "time base (1, 10 or 100 ms by number) from 0, again every PERIOD seconds "
                   "(default 10); repeat for more timers")
        ->option_text("SPEC ...");
    app.add_option("--pdu", pdu,
                   "PDU size each station offers, the longest S7 message it takes or sends "
                   "(default 240, an S7-200's)")
        ->check(CLI::Range(32u, 960u))
        ->option_text("BYTES");
    app.add_option("--fault", faultSpecs, "Fault rule KIND[=ARG]:WHEN[@STATION], see FAULTS below")
        ->option_text("RULE ...");
    app.add_option("--scan", scanSpecs,
                   "Scan time MS[@STATION] (default 0): the answer to a request is ready MS "
                   "milliseconds after it arrived, and a poll before then is answered with SC; "
                   "without @STATION for every station")
        ->option_text("MS[@ST] ...");
    app.add_option("--seed", seed, "Seed of the generator behind rate:P faults (default 1)")
        ->option_text("N");
    app.add_flag("--line-speed", lineSpeed,
                 "Emulate the line's speed: send bytes paced at the baud rate (11 bits per "
                 "byte) and, before reacting to a frame, wait as long as its bytes take on the line");
    app.add_option("--load", loadFile, "Preload memory from this file, see MEMORY FILE below")
        ->check(CLI::ExistingFile)
        ->option_text("FILE");
    app.add_option("--dump", dumpFile, "Write the memory to this file when ending")
        ->option_text("FILE");
    app.add_flag("--full-frames", fullFrames,
                 "Take frames up to LE 255, as a station that takes full PROFIBUS frames does "
                 "(default: frames with LE above 249 are ignored)");
    app.add_option("--master", masterSpecs,
                   "Simulated master ADDR[:OPTIONS] sharing the line by token passing, see MASTERS "
                   "below; repeat for more")
        ->option_text("SPEC ...");
    app.add_option("--hsa", busParams.hsa, "Highest station address of the masters' ring (default 31)")
        ->check(CLI::Range(1u, 126u))
        ->option_text("ADDR");
    app.add_option("--slot-time", busParams.slotBits, "Slot time of the simulated masters in bit times (default 100)")
        ->check(CLI::Range(37u, 16383u))
        ->option_text("BITS");
    app.add_option("--gap-factor", busParams.gapFactor,
                   "Token rotations between two gap updates of the simulated masters (default 10)")
        ->check(CLI::Range(1u, 100u))
        ->option_text("N");
    app.add_flag("--trace", trace, "Print every frame in hex with direction and time to stderr");
    app.add_option("--exit-after", exitAfter, "End after this many seconds (default: run until signalled)")
        ->check(CLI::PositiveNumber)
        ->option_text("SECONDS");

    CLI11_PARSE(app, argc, argv);

    std::vector<ppisim::FaultRule> rules;
    for (const std::string& spec : faultSpecs) {
        std::string why;
        auto rule = ppisim::ParseFaultRule(spec, &why);
        if (!rule) {
            std::cerr << "ppi-sim: --fault " << spec << ": " << why << '\n';
            return 2;
        }
        rules.push_back(*rule);
    }
    ppisim::Bus bus(ppisim::FaultPlan(std::move(rules), seed));
    if (stationList.empty()) stationList.push_back(2);
    for (unsigned address : stationList) {
        if (!bus.addStation(static_cast<std::uint8_t>(address), sizes, static_cast<std::uint16_t>(pdu))) {
            std::cerr << "ppi-sim: station " << address << " given twice\n";
            return 2;
        }
    }
    std::vector<ppisim::AnalogMotion> motions;
    for (const std::string& spec : analogSpecs) {
        std::string why;
        auto motion = ppisim::ParseAnalogMotion(spec, &why);
        if (!motion) {
            std::cerr << "ppi-sim: --analog " << spec << ": " << why << '\n';
            return 2;
        }
        motions.push_back(*motion);
    }
    for (auto& [address, station] : bus.stations()) station.setAnalogMotions(motions);
    std::vector<ppisim::TimerMotion> timerMotions;
    for (const std::string& spec : timerSpecs) {
        std::string why;
        auto motion = ppisim::ParseTimerMotion(spec, &why);
        if (!motion) {
            std::cerr << "ppi-sim: --timer " << spec << ": " << why << '\n';
            return 2;
        }
        timerMotions.push_back(*motion);
    }
    for (auto& [address, station] : bus.stations()) station.setTimerMotions(timerMotions);
    for (const std::string& spec : scanSpecs) {
        const auto scan = ParseScanTime(spec);
        if (!scan) {
            std::cerr << "ppi-sim: --scan " << spec
                      << ": expected MS (0..60000) or MS@STATION (station 1..126)\n";
            return 2;
        }
        if (scan->station && !bus.station(static_cast<std::uint8_t>(*scan->station))) {
            std::cerr << "ppi-sim: --scan " << spec << ": no such station\n";
            return 2;
        }
        for (const auto& entry : bus.stations()) {
            if (!scan->station || *scan->station == entry.first) bus.setScanTime(entry.first, scan->ms);
        }
    }
    if (!loadFile.empty()) {
        std::ifstream in(loadFile);
        std::string why;
        if (!in || !ppisim::LoadMemoryFile(in, bus, &why)) {
            std::cerr << "ppi-sim: " << loadFile << ": " << (in ? why : "cannot be read") << '\n';
            return 2;
        }
    }

    ppisim::Trace tracer(trace ? &std::cerr : nullptr);
    std::unique_ptr<ppisim::TokenBus> tokenBus;
    if (!masterSpecs.empty()) {
        if (!lineSpeed) {
            std::cerr << "ppi-sim: --master needs --line-speed\n";
            return 2;
        }
        busParams.baud = baud;
        tokenBus = std::make_unique<ppisim::TokenBus>(bus, busParams, tracer, seed);
        for (const std::string& spec : masterSpecs) {
            std::string why;
            auto config = ppisim::ParseMasterSpec(spec, &why);
            if (config && config->station == 0) config->station = static_cast<std::uint8_t>(stationList.front());
            if (!config || !tokenBus->addMaster(*config, &why)) {
                std::cerr << "ppi-sim: --master " << spec << ": " << why << '\n';
                return 2;
            }
        }
    }

    if (!device.empty() && !ppisim::IsSupportedBaud(baud)) {
        std::cerr << "ppi-sim: baud rate not available: " << baud << '\n';
        return 2;
    }
    // A pseudo-terminal has no line: a rate it does not know only paces
    // --line-speed, and the terminal itself is set to 9600.
    const unsigned terminalBaud = ppisim::IsSupportedBaud(baud) ? baud : 9600;
    std::string why;
    std::unique_ptr<ppisim::Line> line;
    if (!tcp.empty()) {
        line = ppisim::TcpServerLine::Listen(tcp, &why);
    } else if (device.empty()) {
        line = ppisim::SerialLine::CreatePty(terminalBaud, ParityOf(parity), &why);
    } else {
        line = ppisim::SerialLine::OpenDevice(device, baud, ParityOf(parity), &why);
    }
    if (!line) {
        std::cerr << "ppi-sim: " << why << '\n';
        return 1;
    }
    InstallSignals();
    const std::string portName = tcp.empty() ? PortNameOf(line->path()) : "tcp:" + line->path();
    std::cout << line->path() << ' ' << portName << std::endl;

    ppisim::RunOptions options;
    options.baud = baud;
    options.lineSpeed = lineSpeed;
    options.exitAfterSeconds = exitAfter;
    options.latencyMs = latencyMs;
    options.maxLe = fullFrames ? ppisim::kFullFrameLe : ppisim::kMaxLe;
    int rc = 0;
    if (tokenBus) {
        rc = ppisim::RunTokenBus(*line, *tokenBus, options, tracer, &gStop, &gSummary, std::cout);
        ppisim::PrintSummary(*tokenBus, std::cout);
    } else {
        rc = ppisim::Run(*line, bus, options, tracer, &gStop);
    }

    if (!dumpFile.empty()) {
        std::ofstream out(dumpFile);
        ppisim::DumpMemoryFile(out, bus);
        if (!out) {
            std::cerr << "ppi-sim: " << dumpFile << ": cannot be written\n";
            return 1;
        }
    }
    if (rc != 0) std::cerr << "ppi-sim: the line failed\n";
    return rc;
}
