// plclink-soak: the module (plclink.so, loaded as a host loads it) against
// ppi-sim over a pseudo-terminal for many transactions, with faults that the
// simulator injects at random from a seed: silence, token frames, noise,
// truncated responses, bad checksums, refused accesses, answers of another
// request, late answers, a busy station (no resource, SC to every poll), a
// flooded line and answers trickled byte by byte.
// For every transaction:
// - the result is the one the retry rules give for what the simulator did
//   with each request (read from its trace), and the requests follow the
//   rules (reads or writes, associations, their number);
// - a successful read returns what was last written (a shadow of the
//   controller's memory follows every write the controller carried out);
//   a failed single read leaves bytes 0..3 zero, a failed block read leaves
//   the buffer as it was;
// - the wall time is only bounded against a hang (several times the worst
//   case of the retry rules for the exchanges it made): a loaded machine
//   stretches every wait, so a transaction over the worst case is counted
//   and shown, not failed, while the path it took (the requests, the
//   result) and its values are judged;
// - a late answer carries the earlier request's reference and is never
//   taken, also when it matches the request in function and size (a read
//   often repeats the shape of the one before, as a host's polling does);
//   every value that is not what was last written counts as a wrong value;
// - after a flood or a trickle, where the driver's bounded waits and the
//   peer's timing decide the outcome, any result may come, but with no
//   wrong value;
// and over the run the heap in use and the resident size do not grow
// between the first and the last window of transactions.
//
// With --ring the driver runs in its multi-master mode on ppi-sim's bus
// with two simulated panels and token faults: panel 1 takes a passed token
// only at the second pass and garbles some tokens it passes, panel 3
// garbles some of the tokens it passes to the driver and falls silent in
// mid-run. The requests and their timing then follow the token visits, not
// the retry rules, so a transaction is judged by its values and its result:
// no wrong value, and every failure explained by a disturbance of the ring
// during it (a garbled token, a lost token claimed, a station dropped, a
// collision); its time is bounded only against a hang.
#include <CLI/CLI.hpp>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "frame_limits.h"
#include "loaded_module.h"
#include "quiet_host.h"
#include "retry_model.h"
#include "sim_process.h"
#include "sim_trace.h"

namespace {

using namespace plclink::soak;

struct Options {
    std::string module, sim, tracePath;
    std::uint32_t seed = 1;
    std::size_t transactions = 2000;
    std::size_t window = 1000;
    std::uint32_t readTimeout = 10;  // 10 ms units
    double faultScale = 1.0;
    bool memoryCheck = true;
    bool verbose = false;
    bool ring = false;
    double panelSilentAfter = 20;  // seconds, with --ring
};

// The initialization file of the multi-master mode, and the simulator's bus
// with the same parameters: a slot time generous for a loaded machine, HSA 4
// so that the panel before the driver asks for it every GAP rotations.
constexpr const char* kRingLine = "MULTIMASTER TSL 400 HSA 4";
std::vector<std::string> RingBusOptions(const Options& o) {
    char silent[32];
    std::snprintf(silent, sizeof silent, "%g", o.panelSilentAfter);
    return {"--line-speed", "--slot-time", "400", "--hsa", "4", "--master", "1:late-token,garble=0.03",
            "--master", std::string("3:garble=0.05,silent-after=") + silent};
}

// What in the ring's events and the module's log lines of a transaction
// explains its failure; empty when nothing does. A late-token pass is
// routine for the driver (it passes again), so it explains nothing.
std::string Disturbance(const std::vector<std::string>& events, const std::vector<std::string>& logLines) {
    const std::pair<const char*, const char*> kinds[] = {
        {"comes out as noise", "garbled token"}, {"token lost, claims it", "token claimed by a panel"},
        {"goes silent", "panel silenced"}, {"drops station", "station dropped"}, {"collision", "collision"},
        {"out of turn", "out of turn"}, {"claims the token", "token claimed by the driver"},
        {"dropped from the token ring", "station dropped"}, {"out of the token ring", "driver passed over"},
        {"not in the token ring", "driver not in the ring"}};
    for (const auto* lines : {&events, &logLines})
        for (const std::string& e : *lines)
            for (auto [part, kind] : kinds)
                if (e.find(part) != std::string::npos) return kind;
    return {};
}

// The module's log lines written since line number `from` (those still kept).
std::vector<std::string> LogLinesSince(std::size_t from) {
    const auto& log = plclink::kit::Log();
    const plclink::testing::LogLockHeld lock(plclink::kit::HostLogLock());
    std::vector<std::string> out;
    for (std::size_t back = log.lines - std::min(from, log.lines); back-- > 0;) out.push_back(log.before(back));
    return out;
}

std::size_t LogLineCount() {
    const plclink::testing::LogLockHeld lock(plclink::kit::HostLogLock());
    return plclink::kit::Log().lines;
}

// A command in the ring may wait for the join, a lost token's claim and
// several token visits: bounded only against a hang.
constexpr std::uint64_t kRingHangMs = 120000;

// Per request: silence, refused access, bad checksum, another request's
// answer, a late one and a busy station cost one exchange; token, noise and truncation an
// association (3 s and more), so they are rarer; a flood of 3.5 s outlasts
// the first association wait (its purge gives up), a trickle of a byte
// every 60 ms gets the SC through within the 100 ms read time-out but not
// the response head: rarer still.
std::vector<std::string> FaultOptions(const Options& o) {
    const std::pair<const char*, double> rates[] = {
        {"silent", 0.03},      {"refuse", 0.03},   {"badfcs", 0.03},    {"mismatch", 0.03},
        {"late", 0.03},        {"noresource", 0.02}, {"busy", 0.02},  {"token", 0.004},   {"garbage", 0.004},  {"truncate", 0.004},
        {"flood=3500", 0.0015}, {"trickle=60", 0.0025}};
    std::vector<std::string> out;
    for (auto [kind, rate] : rates) {
        const double p = std::min(1.0, rate * o.faultScale);
        if (p <= 0) continue;
        out.push_back("--fault");
        out.push_back(std::string(kind) + ":rate:" + std::to_string(p));
    }
    return out;
}

// Memory of the controller as the soak believes it is.
struct Area {
    char letter;
    std::size_t size;
};
constexpr std::array<Area, 4> kAreas{{{'I', 1024}, {'Q', 1024}, {'M', 1024}, {'V', 10000}}};

struct Shadow {
    std::map<char, std::vector<std::uint8_t>> bytes;
    Shadow() {
        for (const Area& a : kAreas) bytes[a.letter].assign(a.size, 0);
    }
};

// One tag of a transaction.
struct Tag {
    char area;
    int sizeBytes;     // 1, 2, 4
    bool bit;
    int bitNumber;
    bool block;
    int count;
    int address;       // byte address
    char type;         // B W D F
    std::string gas;
    std::int32_t gateType;
};

Tag RandomTag(std::mt19937& rng, bool write) {
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    Tag t{};
    const Area& area = kAreas[pick(4)];
    t.area = area.letter;
    const int kind = pick(8);  // byte, word, double word, float, bit, and blocks of B, W, D
    static const char kTypes[] = {'B', 'W', 'D', 'F', 'B', 'B', 'W', 'D'};
    t.type = kTypes[kind];
    t.sizeBytes = t.type == 'B' ? 1 : t.type == 'W' ? 2 : 4;
    t.bit = kind == 4;
    t.block = kind >= 5;
    t.count = 1;
    if (t.block) {
        // The largest blocks an S7-200 takes (PDU 240).
        const int maxBytes = write ? plclink::host::kMaxWriteBlockBytes : plclink::host::kMaxReadBlockBytes;
        t.count = 1 + pick(std::min<int>(maxBytes / t.sizeBytes, 64));
        if (pick(8) == 0) t.count = maxBytes / t.sizeBytes;  // now and then the largest block
    }
    const int span = t.count * t.sizeBytes;
    t.address = pick(static_cast<int>(area.size) - span + 1) / t.sizeBytes * t.sizeBytes;
    t.bitNumber = pick(8);
    char text[16];
    std::snprintf(text, sizeof text, "02%c%c%04d", t.area, t.type, t.address);
    t.gas = text;
    if (t.bit) t.gas += static_cast<char>('0' + t.bitNumber);
    t.gateType = t.bit ? 6 : t.type == 'B' ? 0 : t.type == 'W' ? 1 : t.type == 'D' ? 4 : 3;
    return t;
}

// A tag of the same area, type and count as `shape`, at another address.
Tag SameShapeTag(const Tag& shape, std::mt19937& rng) {
    Tag t = shape;
    const std::size_t areaSize = std::find_if(kAreas.begin(), kAreas.end(), [&](const Area& a) {
                                     return a.letter == t.area;
                                 })->size;
    const int span = t.count * t.sizeBytes;
    t.address = static_cast<int>(rng() % (areaSize - static_cast<std::size_t>(span) + 1)) / t.sizeBytes * t.sizeBytes;
    char text[16];
    std::snprintf(text, sizeof text, "02%c%c%04d", t.area, t.type, t.address);
    t.gas = text;
    if (t.bit) t.gas += static_cast<char>('0' + t.bitNumber);
    return t;
}

std::uint32_t BigEndian(const std::uint8_t* p, int n) {
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = v << 8 | p[i];
    return v;
}

void PutBigEndian(std::uint8_t* p, int n, std::uint32_t v) {
    for (int i = n - 1; i >= 0; --i, v >>= 8) p[i] = static_cast<std::uint8_t>(v);
}

std::size_t HeapInUse() { return mallinfo2().uordblks; }

std::size_t ResidentBytes() {
    long pages = 0, resident = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return static_cast<std::size_t>(resident) * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

class Soak {
public:
    Soak(const Options& o, plclink::kit::LoadedModule& module, const std::string& port)
        : o_(o), module_(module), trace_(o.tracePath), rng_(o.seed ^ 0x5EED) {
        instance_.assign(module.instanceSize(), 0);
        ColdStartRequest start{};
        std::snprintf(start.portName, sizeof start.portName, "%s", port.c_str());
        start.lineSwitch = 1;
        start.readTimeout = o.readTimeout;
        start.settings = LineSettings{9600, 8, 0, 2};
        started_ = call(VPI_COLD_START, &start) == 0;
    }

    ~Soak() {
        if (started_) call(VPI_END_VPI, nullptr);
    }

    bool started() const { return started_; }
    int run();

private:
    std::int32_t call(std::uint32_t command, void* params) {
        VpiCallBlock block{instance_.data(), command, 1, 0, params};
        return module_(&block);
    }

    bool parse(const Tag& tag, TagAccessRecord& record);
    bool transaction(std::size_t n);
    // The result and time of a transaction in the ring, judged by the
    // ring's events during it.
    void judgeInRing(std::int32_t result, std::uint64_t ms, const std::vector<std::string>& events,
                     std::size_t logFrom, const std::function<void(const std::string&)>& bad);
    void failure(std::size_t n, const Tag& tag, const std::string& what,
                 const std::vector<SimRequest>& requests);

    const Options& o_;
    plclink::kit::LoadedModule& module_;
    SimTrace trace_;
    std::mt19937 rng_;
    std::vector<std::uint8_t> instance_;
    bool started_ = false;
    Shadow shadow_;
    // Statistics.
    std::map<std::string, std::size_t> faults_;
    std::array<std::size_t, 3> results_{};
    std::size_t associations_ = 0, failures_ = 0;
    double worstRatio_ = 0;
    std::uint64_t longestMs_ = 0, longestBoundMs_ = 0;
    std::size_t wrongValues_ = 0, uncertain_ = 0, overWorstCase_ = 0;
    std::optional<Tag> lastRead_;  // the tag of the read before, for one of the same shape
    // With --ring: failures by what explains them, and the ring's events.
    std::map<std::string, std::size_t> explained_;
    std::size_t collisions_ = 0, outOfTurn_ = 0, panelJobsFailed_ = 0, garbled_ = 0, driverClaims_ = 0,
                drops_ = 0, silenced_ = 0;
};

void Soak::judgeInRing(std::int32_t result, std::uint64_t ms, const std::vector<std::string>& events,
                       std::size_t logFrom, const std::function<void(const std::string&)>& bad) {
    for (const std::string& e : events) {
        collisions_ += e.rfind("collision", 0) == 0;
        outOfTurn_ += e.rfind("out of turn", 0) == 0;
        panelJobsFailed_ += e.find(": job failed") != std::string::npos;
        garbled_ += e.find("comes out as noise") != std::string::npos;
        drops_ += e.find("drops station") != std::string::npos;
        silenced_ += e.find("goes silent") != std::string::npos;
    }
    if (result != 0) {
        const std::string why = Disturbance(events, LogLinesSince(logFrom));
        if (why.empty()) bad("result " + std::to_string(result) + " with no disturbance of the ring during it");
        else ++explained_[why];
    }
    for (const std::string& line : LogLinesSince(logFrom)) {
        driverClaims_ += line.find("claims the token") != std::string::npos;
        drops_ += line.find("dropped from the token ring") != std::string::npos;
    }
    if (ms > kRingHangMs) bad("took " + std::to_string(ms) + " ms: hung");
    if (ms > longestMs_) longestMs_ = ms;
}

bool Soak::parse(const Tag& tag, TagAccessRecord& record) {
    std::vector<char> text(tag.gas.begin(), tag.gas.end());
    text.push_back('\0');
    GateParseRecord parse{};
    parse.gas = text.data();
    parse.gateType = tag.gateType;
    if (call(tag.block ? VPI_BLOCK_PARSE : VPI_SINGLE_PARSE, &parse) != 0) return false;
    record = TagAccessRecord{};
    record.plcNumber = parse.plcNumber;
    record.memArea = parse.memArea;
    record.memAreaBits = parse.memAreaBits;
    record.elementIndex = parse.elementIndex;
    record.bitNumber = parse.bitNumber;
    record.sizeBits = parse.sizeBits;
    record.itemCount = tag.count;
    return true;
}

void Soak::failure(std::size_t n, const Tag& tag, const std::string& what,
                   const std::vector<SimRequest>& requests) {
    ++failures_;
    if (failures_ > 20) return;
    std::fprintf(stderr, "transaction %zu (%s %s%s x%d): %s\n", n, tag.block ? "block" : "single",
                 tag.gas.c_str(), "", tag.count, what.c_str());
    for (const SimRequest& r : requests)
        std::fprintf(stderr, "    simulator: %s, %s\n", NameOf(r.job), r.note.c_str());
    const auto& log = plclink::kit::Log();
    const plclink::testing::LogLockHeld lock(plclink::kit::HostLogLock());
    for (std::size_t i = std::min<std::size_t>(log.lines, 8); i-- > 0;)
        std::fprintf(stderr, "    module log: %s\n", log.before(i));
}

bool Soak::transaction(std::size_t n) {
    const bool write = rng_() % 2 == 0;
    // Every other read has the shape of the read before, at its own
    // address: a late answer to that one looks like this one's.
    const Tag tag = !write && lastRead_ && rng_() % 2 == 0 ? SameShapeTag(*lastRead_, rng_)
                                                         : RandomTag(rng_, write);
    if (!write) lastRead_ = tag;
    TagAccessRecord record;
    trace_.take();
    if (!parse(tag, record)) {
        failure(n, tag, "the address was rejected", {});
        return false;
    }
    auto& memory = shadow_.bytes[tag.area];
    const std::size_t bufferSize = tag.block ? std::size_t(tag.count) * tag.sizeBytes : 4;
    std::vector<std::uint8_t> buffer(bufferSize);
    std::vector<std::uint8_t> newBytes;  // what a write puts into the controller
    if (write) {
        for (auto& b : buffer) b = static_cast<std::uint8_t>(rng_());
        if (tag.block) {
            for (int i = 0; i < tag.count; ++i) {
                std::uint32_t v = 0;
                std::memcpy(&v, &buffer[std::size_t(i) * tag.sizeBytes], tag.sizeBytes);
                std::uint8_t be[4];
                PutBigEndian(be, tag.sizeBytes, v);
                newBytes.insert(newBytes.end(), be, be + tag.sizeBytes);
            }
        } else if (tag.bit) {
            if (rng_() % 2) std::memset(buffer.data() + 2, 0, 2);
            std::uint16_t word;
            std::memcpy(&word, buffer.data() + 2, 2);
            const std::uint8_t mask = static_cast<std::uint8_t>(1u << tag.bitNumber);
            newBytes.push_back(word ? (memory[tag.address] | mask) : (memory[tag.address] & ~mask));
        } else {
            std::uint32_t v = 0;
            if (tag.sizeBytes == 4) std::memcpy(&v, buffer.data(), 4);
            else { std::uint16_t w; std::memcpy(&w, buffer.data() + 2, 2); v = w; }
            std::uint8_t be[4];
            PutBigEndian(be, tag.sizeBytes, v);
            newBytes.assign(be, be + tag.sizeBytes);
        }
    } else {
        std::fill(buffer.begin(), buffer.end(), 0xC3);
    }
    const std::vector<std::uint8_t> given = buffer;
    record.dataBuffer = buffer.data();
    const TagAccessRecord before = record;

    const std::uint32_t command = write ? (tag.block ? VPI_WRITE_BLOCK : VPI_WRITE_VALUE)
                                        : (tag.block ? VPI_READ_BLOCK : VPI_READ_VALUE);
    const std::size_t logFrom = LogLineCount();
    const auto start = std::chrono::steady_clock::now();
    const std::int32_t result = call(command, &record);
    const auto ms = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count());
    const std::vector<SimRequest> requests = trace_.take();
    const std::vector<std::string> events = trace_.takeRingEvents();

    bool ok = true;
    auto bad = [&](const std::string& what) {
        failure(n, tag, what, requests);
        ok = false;
    };
    if (result >= 0 && result <= 2) ++results_[result];
    for (const SimRequest& r : requests) {
        if (r.fault != Fault::None) ++faults_[NameOf(r.fault)];
        if (r.job == Job::Association) ++associations_;
    }
    if (o_.ring) {
        judgeInRing(result, ms, events, logFrom, bad);
    } else {
        const Expectation e = Expect(write ? Job::Write : Job::Read, requests, o_.readTimeout * 10ull);
        if (!e.mismatch.empty()) bad("requests do not follow the retry rules: " + e.mismatch);
        if (e.uncertain) ++uncertain_;
        if (!e.uncertain && result != e.result)
            bad("result " + std::to_string(result) + ", the injected faults make " + std::to_string(e.result));
        // A transaction that hangs: far beyond any stretching of its waits.
        const std::uint64_t hangBoundMs = 4 * e.worstMs + 30000;
        if (ms > hangBoundMs)
            bad("took " + std::to_string(ms) + " ms, worst case " + std::to_string(e.worstMs) + " ms: hung");
        if (ms > e.worstMs) ++overWorstCase_;
        if (e.worstMs) worstRatio_ = std::max(worstRatio_, double(ms) / double(e.worstMs));
        if (ms > longestMs_) {
            longestMs_ = ms;
            longestBoundMs_ = e.worstMs;
        }
    }
    if (std::memcmp(&record, &before, sizeof record) != 0) bad("the record was not given back as it was");

    if (write) {
        if (buffer != given) bad("a write changed the host's buffer");
        // The controller holds the new values when any request carried the
        // write out, whatever became of its answer.
        const bool carriedOut = std::any_of(requests.begin(), requests.end(), [](const SimRequest& r) {
            return r.job == Job::Write && r.executed;
        });
        if (result == 0 && !carriedOut) bad("write succeeded, but the controller never carried it out");
        if (carriedOut) std::copy(newBytes.begin(), newBytes.end(), memory.begin() + tag.address);
        return ok;
    }
    auto wrong = [&](const std::string& what) {
        ++wrongValues_;
        bad(what);
    };
    const std::uint8_t* m = &memory[tag.address];
    if (result == 0) {
        if (tag.block) {
            for (int i = 0; i < tag.count; ++i) {
                std::uint32_t got = 0;
                std::memcpy(&got, &buffer[std::size_t(i) * tag.sizeBytes], tag.sizeBytes);
                if (got != BigEndian(m + i * tag.sizeBytes, tag.sizeBytes)) {
                    wrong("block read element " + std::to_string(i) + " is not what was last written");
                    break;
                }
            }
        } else if (tag.sizeBytes == 4) {
            std::uint32_t got;
            std::memcpy(&got, buffer.data(), 4);
            if (got != BigEndian(m, 4)) wrong("read double word is not what was last written");
        } else {
            std::uint16_t low, slot;
            std::memcpy(&low, buffer.data(), 2);
            std::memcpy(&slot, buffer.data() + 2, 2);
            std::uint32_t want = BigEndian(m, tag.sizeBytes);
            if (tag.bit) want = (want >> tag.bitNumber) & 1u;
            if (low != 0 || slot != want) wrong("read value is not what was last written");
        }
    } else if (tag.block ? buffer != given : std::any_of(buffer.begin(), buffer.end(), [](auto b) { return b != 0; })) {
        wrong("a failed read left values in the host's buffer");
    }
    return ok;
}

int Soak::run() {
    const std::size_t window = std::min(o_.window, std::max<std::size_t>(1, o_.transactions / 2));
    std::size_t heapFirst = 0, heapLast = 0, rssFirst = 0, rssLast = 0;
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t n = 1; n <= o_.transactions; ++n) {
        transaction(n);
        const std::size_t heap = HeapInUse(), rss = ResidentBytes();
        if (n <= window) {
            heapFirst = std::max(heapFirst, heap);
            rssFirst = std::max(rssFirst, rss);
        }
        if (n > o_.transactions - window) {
            heapLast = std::max(heapLast, heap);
            rssLast = std::max(rssLast, rss);
        }
        if (o_.verbose && n % 100 == 0)
            std::fprintf(stderr, "%zu transactions, heap %zu, rss %zu\n", n, heap, rss);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    std::printf("%s: seed %u, %zu transactions in %.0f s, read time-out %u ms\n", o_.ring ? "ring soak" : "soak",
                o_.seed, o_.transactions, seconds, o_.readTimeout * 10);
    std::printf("  results: %zu done, %zu failed (1), %zu link failed (2); %zu associations\n",
                results_[0], results_[1], results_[2], associations_);
    if (o_.ring) {
        std::printf("  failures explained:");
        for (auto& [why, count] : explained_) std::printf(" %s %zu;", why.c_str(), count);
        std::printf("\n  ring: %zu garbled tokens, %zu panels silenced, %zu stations dropped, %zu tokens claimed by "
                    "the driver, %zu collisions, %zu out-of-turn frames, %zu failed panel jobs\n",
                    garbled_, silenced_, drops_, driverClaims_, collisions_, outOfTurn_, panelJobsFailed_);
        std::printf("  wrong values: %zu\n  longest transaction %llu ms (hang bound %llu ms)\n", wrongValues_,
                    static_cast<unsigned long long>(longestMs_), static_cast<unsigned long long>(kRingHangMs));
    }
    if (!o_.ring) {
        std::printf("  faults injected:");
        for (auto& [name, count] : faults_) std::printf(" %s %zu", name.c_str(), count);
        std::printf("\n  wrong values: %zu\n", wrongValues_);
        std::printf("  transactions after a flood or trickle (result not judged): %zu\n", uncertain_);
        std::printf("  transactions over the worst case (a loaded machine's stretched waits, not judged): %zu\n",
                    overWorstCase_);
        std::printf("  longest transaction %llu ms (its bound %llu ms); at most %.0f%% of its worst case\n",
                    static_cast<unsigned long long>(longestMs_), static_cast<unsigned long long>(longestBoundMs_),
                    worstRatio_ * 100);
    }
    std::printf("  heap in use: %zu bytes (first %zu), %zu bytes (last %zu)\n", heapFirst, window,
                heapLast, window);
    std::printf("  resident:    %zu KiB (first %zu), %zu KiB (last %zu)\n", rssFirst / 1024, window,
                rssLast / 1024, window);
    // Flat: no growth beyond what the soak's own bookkeeping may wobble.
    constexpr std::size_t kHeapSlack = 16 * 1024, kRssSlack = 256 * 1024;
    if (!o_.memoryCheck) {
        std::printf("  (memory not judged)\n");
    } else if (heapLast > heapFirst + kHeapSlack) {
        std::printf("FAILED: the heap in use grew\n");
        ++failures_;
    }
    if (o_.memoryCheck && rssLast > rssFirst + kRssSlack) {
        std::printf("FAILED: the resident size grew\n");
        ++failures_;
    }
    if (failures_) std::printf("FAILED: %zu transaction checks failed\n", failures_);
    else std::printf("%s passed\n", o_.ring ? "ring soak" : "soak");
    return failures_ ? 1 : 0;
}

}  // namespace

// The heap in use is read with mallinfo2, which counts the chunks that
// malloc's per-thread cache keeps as in use; with the cache off it is the
// program's own. Runs itself again with the cache off.
void WithoutMallocCache(char** argv) {
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    if (tunables && std::strstr(tunables, "glibc.malloc.tcache_count=0")) return;
    std::string value = "glibc.malloc.tcache_count=0";
    if (tunables && *tunables) value = std::string(tunables) + ":" + value;
    setenv("GLIBC_TUNABLES", value.c_str(), 1);
    execv("/proc/self/exe", argv);
    std::perror("plclink-soak: running again without the malloc cache");  // runs on with it
}

int main(int argc, char** argv) {
    WithoutMallocCache(argv);
    Options o;
    const std::string dir = plclink::kit::ExecutableDir();
    o.module = dir + "plclink.so";
    o.sim = dir + "ppi-sim";
    CLI::App app{"Soak test: the module against ppi-sim with injected faults", "plclink-soak"};
    app.add_option("--transactions,-n", o.transactions, "Transactions to run (default 2000)");
    app.add_option("--seed", o.seed, "Seed of the transactions and of the simulator's faults");
    app.add_option("--window", o.window,
                   "Transactions at the start and at the end whose memory use is compared (default 1000)");
    app.add_option("--read-timeout", o.readTimeout, "Read time-out of the line in 10 ms units (default 10)");
    app.add_option("--fault-scale", o.faultScale, "Multiplies every fault rate (default 1; 0 = no faults)");
    app.add_option("--module", o.module, "The module to load (default: plclink.so beside this program)");
    app.add_option("--sim", o.sim, "The simulator (default: ppi-sim beside this program)");
    app.add_option("--trace", o.tracePath, "Where the simulator's trace goes (default: a temporary file)");
    app.add_flag("--verbose,-v", o.verbose, "Report progress every 100 transactions");
    app.add_flag("--ring", o.ring,
                 "The driver in its multi-master mode on a bus with two simulated panels and token faults");
    app.add_option("--panel-silent-after", o.panelSilentAfter,
                   "With --ring: seconds after which panel 3 falls silent (default 20)");
    app.add_flag("!--no-memory-check", o.memoryCheck,
                 "Do not judge the memory use (under the sanitizers it is not the program's own)");
    CLI11_PARSE(app, argc, argv);

    char tempTrace[] = "/tmp/plclink-soak-trace-XXXXXX";
    if (o.tracePath.empty()) {
        const int fd = mkstemp(tempTrace);
        if (fd < 0) return 2;
        close(fd);
        o.tracePath = tempTrace;
    }
    plclink::kit::LoadedModule module(o.module);
    if (!module.loaded()) {
        std::fprintf(stderr, "plclink-soak: %s\n", module.error().c_str());
        return 2;
    }
    std::vector<std::string> simOptions{"--station", "2", "--i-size", "1024", "--q-size", "1024",
                                        "--m-size", "1024", "--v-size", "10240", "--trace",
                                        "--seed", std::to_string(o.seed)};
    if (o.ring) {
        for (auto& b : RingBusOptions(o)) simOptions.push_back(b);
    } else {
        for (auto& f : FaultOptions(o)) simOptions.push_back(f);
    }
    // The module reads its initialization file from the working directory.
    std::filesystem::path ringDir;
    if (o.ring) {
        o.tracePath = std::filesystem::absolute(o.tracePath).string();
        char dirTemplate[] = "/tmp/plclink-ring-soak-XXXXXX";
        if (!mkdtemp(dirTemplate)) return 2;
        ringDir = dirTemplate;
        std::ofstream(ringDir / "vpiK701.int") << "\n" << kRingLine << "\n";
        std::filesystem::current_path(ringDir);
    }
    int status = 2;
    {
        plclink::kit::SimProcess sim(o.sim, simOptions, o.tracePath);
        if (!sim.running()) {
            std::fprintf(stderr, "plclink-soak: %s did not start\n", o.sim.c_str());
        } else {
            Soak soak(o, module, sim.portName());
            if (!soak.started()) std::fprintf(stderr, "plclink-soak: ColdStart on %s failed\n", sim.portName().c_str());
            else status = soak.run();
        }
    }
    if (o.tracePath == tempTrace) unlink(tempTrace);
    if (!ringDir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(ringDir, ignored);
    }
    return status;
}
