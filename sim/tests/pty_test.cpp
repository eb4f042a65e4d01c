// ppi-sim itself on a pseudo-terminal it creates: a small master opens the
// port the tool names on its first line and runs exchanges byte by byte.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "hex.h"
#include "ppisim/fdl.h"

#ifdef PPI_SIM_PATH
namespace ppisim {
namespace {

using testing::Hex;
using testing::ToHex;

// Reads up to `count` bytes, waiting at most `timeoutMs` for each.
Bytes ReadBytes(int fd, std::size_t count, int timeoutMs) {
    Bytes bytes;
    while (bytes.size() < count) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0) break;
        std::uint8_t buffer[512];
        const ssize_t n = read(fd, buffer, std::min(sizeof buffer, count - bytes.size()));
        if (n <= 0) break;
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return bytes;
}

class SimProcess {
public:
    explicit SimProcess(std::vector<std::string> args) {
        int out[2];
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            close(out[0]);
            close(out[1]);
            std::vector<char*> argv = {const_cast<char*>(PPI_SIM_PATH)};
            args.push_back("--exit-after");
            args.push_back("60");  // never outlive a broken test for long
            for (std::string& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(PPI_SIM_PATH, argv.data());
            _exit(127);
        }
        close(out[1]);
        stdout_ = out[0];
        const Bytes line = ReadLine();
        std::istringstream words(std::string(line.begin(), line.end()));
        words >> path_ >> portName_;
    }
    ~SimProcess() {
        stop();
        if (stdout_ >= 0) close(stdout_);
    }
    // Ends the tool as SIGTERM does and returns its exit status.
    int stop() {
        if (pid_ <= 0) return status_;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
        return status_;
    }
    const std::string& path() const { return path_; }
    const std::string& portName() const { return portName_; }
    // The tool's next line on standard output.
    std::string nextLine() {
        const Bytes line = ReadLine();
        return std::string(line.begin(), line.end());
    }
    void signal(int number) const { kill(pid_, number); }

    // Opens the port as a master does: raw, 8E1.
    int openPort() const {
        const int fd = open(path_.c_str(), O_RDWR | O_NOCTTY);
        if (fd < 0) return fd;
        termios tio{};
        tcgetattr(fd, &tio);
        cfmakeraw(&tio);
        tio.c_cflag |= PARENB | CLOCAL | CREAD;
        cfsetspeed(&tio, B9600);
        tcsetattr(fd, TCSANOW, &tio);
        return fd;
    }

private:
    Bytes ReadLine() {
        Bytes line;
        for (Bytes c; (c = ReadBytes(stdout_, 1, 5000)).size() == 1 && c[0] != '\n';)
            line.push_back(c[0]);
        return line;
    }

    pid_t pid_ = -1;
    int stdout_ = -1;
    int status_ = -1;
    std::string path_, portName_;
};

const Bytes kAssociate2 =
    Hex("68 15 15 68 02 00 6C 32 01 00 00 CC C1 00 04 00 00 F0 00 00 01 00 01 03 C0 E7 16");
const Bytes kReadVW100 =
    Hex("68 1B 1B 68 02 00 7C 32 01 00 00 00 00 00 0E 00 00 04 01 12 0A 10 04 00 01 00 01 84 00 03 20 9D 16");
const Bytes kWriteMB10 =
    Hex("68 20 20 68 02 00 7C 32 01 00 00 00 00 00 0E 00 05 05 01 12 0A 10 02 00 01 00 00 83 00 00 50 00 04 00 08 5A 32 16");
const Bytes kPoll2 = Hex("10 02 00 5C 5E 16");

// One exchange as a master makes it: the request, SC, the poll, the response.
Bytes Exchange(int fd, const Bytes& request, std::size_t responseLength) {
    if (write(fd, request.data(), request.size()) != static_cast<ssize_t>(request.size())) return {};
    const Bytes ack = ReadBytes(fd, 1, 2000);
    if (ack != Bytes{0xE5}) return ack;
    if (write(fd, kPoll2.data(), kPoll2.size()) != static_cast<ssize_t>(kPoll2.size())) return {};
    return ReadBytes(fd, responseLength, 2000);
}

std::string TempPath(const char* name) {
    return (std::filesystem::temp_directory_path() / (std::string(name) + "." + std::to_string(getpid())))
        .string();
}

TEST(PpiSimOnPty, NamesThePortAndAnswersTheExampleFramesByteForByte) {
    const std::string preset = TempPath("ppisim-preset"), dump = TempPath("ppisim-dump");
    std::ofstream(preset) << "2 V 100: 12 34\n";
    SimProcess sim({"--station", "2", "--station", "3", "--load", preset, "--dump", dump});
    ASSERT_EQ(sim.path().rfind("/dev/pts/", 0), 0u) << sim.path();
    EXPECT_EQ("/dev/" + sim.portName(), sim.path());
    const int fd = sim.openPort();
    ASSERT_GE(fd, 0);

    EXPECT_EQ(ToHex(Exchange(fd, kAssociate2, 29)),
              "68 17 17 68 00 02 08 32 03 00 00 CC C1 00 08 00 00 00 00 F0 00 00 01 00 01 00 F0 B6 16");
    EXPECT_EQ(Exchange(fd, kReadVW100, 29),
              Hex("68 17 17 68 00 02 08 32 03 00 00 00 00 00 02 00 06 00 00 04 01 FF 04 00 10 12 34 A5 16"));
    EXPECT_EQ(Exchange(fd, kWriteMB10, 24),
              Hex("68 12 12 68 00 02 08 32 03 00 00 00 00 00 02 00 01 00 00 05 01 FF 47 16"));

    // A request to a station that is not simulated, and one with a broken
    // checksum, get no answer at all; the line still works afterwards.
    const Bytes toStation4 = Hex("10 04 00 5C 60 16");
    ASSERT_EQ(write(fd, toStation4.data(), toStation4.size()), 6);
    Bytes broken = kReadVW100;
    broken[broken.size() - 2] ^= 1;
    ASSERT_EQ(write(fd, broken.data(), broken.size()), static_cast<ssize_t>(broken.size()));
    EXPECT_TRUE(ReadBytes(fd, 1, 300).empty());
    EXPECT_EQ(Exchange(fd, kReadVW100, 29).size(), 29u);

    close(fd);
    EXPECT_EQ(sim.stop(), 0);
    std::ifstream in(dump);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("2 M 0: 00 00 00 00 00 00 00 00 00 00 5A"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("2 V 96: 00 00 00 00 12 34"), std::string::npos) << text.str();
    std::remove(preset.c_str());
    std::remove(dump.c_str());
}

TEST(PpiSimOnPty, InjectsTheFaultsItIsGiven) {
    SimProcess sim({"--fault", "token:next:1", "--fault", "refuse:next:1", "--fault", "silent:next:1"});
    const int fd = sim.openPort();
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, kReadVW100.data(), kReadVW100.size()), static_cast<ssize_t>(kReadVW100.size()));
    EXPECT_EQ(ReadBytes(fd, 3, 2000), Hex("DC 00 02"));
    const Bytes refused = Exchange(fd, kReadVW100, 27);
    ASSERT_EQ(refused.size(), 27u);
    EXPECT_EQ(refused[21], 0x0A);
    ASSERT_EQ(write(fd, kReadVW100.data(), kReadVW100.size()), static_cast<ssize_t>(kReadVW100.size()));
    EXPECT_TRUE(ReadBytes(fd, 1, 300).empty());
    EXPECT_EQ(Exchange(fd, kReadVW100, 29)[21], 0xFF);
    close(fd);
}

TEST(PpiSimOnPty, AStationWithAScanTimeAnswersAnEarlyPollWithSc) {
    SimProcess sim({"--station", "2", "--station", "3", "--scan", "300@2"});
    const int fd = sim.openPort();
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, kReadVW100.data(), kReadVW100.size()), static_cast<ssize_t>(kReadVW100.size()));
    ASSERT_EQ(ReadBytes(fd, 1, 2000), Bytes{0xE5});
    ASSERT_EQ(write(fd, kPoll2.data(), kPoll2.size()), static_cast<ssize_t>(kPoll2.size()));
    EXPECT_EQ(ReadBytes(fd, 1, 2000), Bytes{0xE5});  // polled well within the 300 ms
    usleep(400000);
    ASSERT_EQ(write(fd, kPoll2.data(), kPoll2.size()), static_cast<ssize_t>(kPoll2.size()));
    EXPECT_EQ(ReadBytes(fd, 29, 2000).size(), 29u);
    close(fd);
}

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

TEST(PpiSimOnPty, FloodsTheLineAtItsSpeedForAsLongAsAsked) {
    SimProcess sim({"--fault", "flood=600:next:1"});
    const int fd = sim.openPort();
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, kReadVW100.data(), kReadVW100.size()), static_cast<ssize_t>(kReadVW100.size()));
    const auto start = Clock::now();
    Bytes noise;
    while (SecondsSince(start) < 0.4) {
        const Bytes some = ReadBytes(fd, 4096, 100);
        noise.insert(noise.end(), some.begin(), some.end());
    }
    // Paced as a line at 9600 baud (11 bits a byte) carries it: some 400
    // bytes, not the thousands the pseudo-terminal would take at once.
    EXPECT_GT(noise.size(), 100u);
    EXPECT_LT(noise.size(), 2000u);
    for (std::uint8_t start : {0xE5, 0x10, 0x68, 0xDC}) EXPECT_EQ(std::count(noise.begin(), noise.end(), start), 0);
    // It ends; then the station answers again.
    while (!ReadBytes(fd, 4096, 150).empty()) ASSERT_LT(SecondsSince(start), 2.0);
    EXPECT_EQ(Exchange(fd, kReadVW100, 29).size(), 29u);
    close(fd);
}

TEST(PpiSimOnPty, TricklesTheAnswerByteByByteAndGivesUpWhenTheMasterSends) {
    SimProcess sim({"--fault", "trickle=30:next:2"});
    const int fd = sim.openPort();
    ASSERT_GE(fd, 0);
    auto start = Clock::now();
    const Bytes response = Exchange(fd, kReadVW100, 29);
    EXPECT_EQ(response.size(), 29u);
    EXPECT_GT(SecondsSince(start), 29 * 0.030);  // SC and 28 gaps in the response

    // The second request's answer is cut short by the master's next frame.
    ASSERT_EQ(write(fd, kReadVW100.data(), kReadVW100.size()), static_cast<ssize_t>(kReadVW100.size()));
    EXPECT_EQ(ReadBytes(fd, 1, 1000), Bytes{0xE5});
    ASSERT_EQ(write(fd, kPoll2.data(), kPoll2.size()), static_cast<ssize_t>(kPoll2.size()));
    EXPECT_EQ(ReadBytes(fd, 3, 1000), Hex("68 17 17"));
    EXPECT_EQ(Exchange(fd, kReadVW100, 29).size(), 29u);  // no stray trickled byte in between
    EXPECT_TRUE(ReadBytes(fd, 1, 200).empty());
    close(fd);
}

TEST(PpiSimOnPty, IgnoresAFrameAboveLe249UnlessToldToTakeFullFrames) {
    const Bytes full = EncodeSD2(2, 0, 0x7C, Bytes(252, 0));  // LE 255
    for (bool takeFull : {false, true}) {
        SimProcess sim(takeFull ? std::vector<std::string>{"--full-frames"} : std::vector<std::string>{});
        const int fd = sim.openPort();
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, full.data(), full.size()), static_cast<ssize_t>(full.size()));
        EXPECT_EQ(ReadBytes(fd, 1, takeFull ? 2000 : 500), takeFull ? Bytes{0xE5} : Bytes{});
        EXPECT_EQ(Exchange(fd, kReadVW100, 29).size(), 29u);  // and it goes on serving
        close(fd);
    }
}

// Two simulated masters and a CPU on the real clock, with a generous slot
// time: the tokens between them reach the port, and SIGUSR1 brings the
// summary.
TEST(PpiSimOnPty, SimulatedMastersRingOnTheLineAndReportTheirSummary) {
    SimProcess sim({"--line-speed", "--station", "2", "--master", "1", "--master", "3:read=M0:1",
                    "--slot-time", "1000"});
    const int fd = sim.openPort();
    ASSERT_GE(fd, 0);
    std::string seen;
    for (auto start = Clock::now(); SecondsSince(start) < 7;) seen += ToHex(ReadBytes(fd, 64, 200)) + " ";
    EXPECT_NE(seen.find("DC 03 01"), std::string::npos);
    EXPECT_NE(seen.find("DC 01 03"), std::string::npos);
    sim.signal(SIGUSR1);
    const std::string master1 = sim.nextLine(), master3 = sim.nextLine(), line = sim.nextLine();
    EXPECT_EQ(master1.rfind("summary master=1 token_visits=", 0), 0u) << master1;
    EXPECT_EQ(master3.rfind("summary master=3 token_visits=", 0), 0u) << master3;
    EXPECT_NE(master3.find(" jobs_failed=0 "), std::string::npos) << master3;
    EXPECT_NE(master1.find(" rotation_mean_ms="), std::string::npos) << master1;
    EXPECT_EQ(line.rfind("summary line=totals frames=", 0), 0u) << line;
    EXPECT_NE(line.find(" collisions=0 out_of_turn=0 idle_violations=0"), std::string::npos) << line;
    close(fd);
    EXPECT_EQ(sim.stop(), 0);
}

// A master on the port that joins the simulated masters' ring by the rules:
// "ready" (0x20) to a status request, then the token, passed on to 1.
TEST(PpiSimOnPty, AMasterOnThePortJoinsTheRingByTheRules) {
    SimProcess sim({"--line-speed", "--station", "2", "--master", "1", "--master", "3", "--hsa", "4",
                    "--slot-time", "1000"});
    const int fd = sim.openPort();
    ASSERT_GE(fd, 0);
    FrameReader reader;
    int asked = 0, tokens = 0;
    for (auto start = Clock::now(); SecondsSince(start) < 8;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 5) <= 0) continue;
        std::uint8_t buffer[256];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        reader.feed(std::span(buffer, static_cast<std::size_t>(n)), 0);
        while (auto frame = reader.next()) {
            if (frame->da != 0) continue;
            Bytes answer;
            if (frame->kind == FrameKind::SD4) {
                answer = EncodeSD4(1, 0);
                ++tokens;
            } else if (IsStatusRequest(*frame)) {
                answer = EncodeSD1(frame->sa, 0, kStatusMasterReady);
                ++asked;
            }
            if (answer.empty()) continue;
            usleep(5000);  // the bus idle time first
            ASSERT_EQ(write(fd, answer.data(), answer.size()), static_cast<ssize_t>(answer.size()));
        }
    }
    EXPECT_GT(asked, 0);
    EXPECT_GT(tokens, 3);  // it stays in the ring
    sim.signal(SIGUSR1);
    sim.nextLine();
    sim.nextLine();
    const std::string line = sim.nextLine();
    EXPECT_NE(line.find(" collisions=0 out_of_turn=0 idle_violations=0"), std::string::npos) << line;
    close(fd);
}

TEST(PpiSimTool, ExplainsEveryOptionAndRejectsBadOnes) {
    auto run = [](const std::string& args, std::string* output) {
        FILE* pipe = popen((std::string(PPI_SIM_PATH) + " " + args + " 2>&1").c_str(), "r");
        char buffer[4096];
        for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output->append(buffer, n);
        const int status = pclose(pipe);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    std::string help;
    EXPECT_EQ(run("--help", &help), 0);
    for (const char* option : {"--device", "--station", "--baud", "--parity", "--i-size", "--q-size",
                               "--m-size", "--v-size", "--fault", "--seed", "--line-speed", "--load",
                               "--dump", "--trace", "--exit-after", "--scan", "--pdu", "0x85",
                               "incorrect PDU size", "mismatch", "late", "flood", "trickle", "MEMORY FILE",
                               "FAULTS"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
    std::string out;
    EXPECT_NE(run("--fault loud:always", &out), 0);
    EXPECT_NE(out.find("unknown fault 'loud'"), std::string::npos) << out;
    EXPECT_NE(run("--station 200", &out), 0);
    EXPECT_NE(run("--station 2 --station 2", &out), 0);
    EXPECT_NE(run("--baud 12345", &out), 0);
    EXPECT_NE(run("--scan 10@3", &out), 0);  // station 3 is not simulated
    EXPECT_NE(run("--scan fast", &out), 0);
    EXPECT_NE(run("--pdu 16", &out), 0);
    help.clear();
    EXPECT_EQ(run("--help", &help), 0);
    for (const char* option : {"--master", "--hsa", "--slot-time", "--gap-factor", "--full-frames", "MASTERS",
                               "late-token", "silent-after", "summary master="})
        EXPECT_NE(help.find(option), std::string::npos) << option;
    EXPECT_NE(run("--master 1", &out), 0);  // without --line-speed
    out.clear();
    EXPECT_NE(run("--line-speed --master 2", &out), 0);  // station 2's address
    EXPECT_NE(out.find("is a CPU station's"), std::string::npos) << out;
    out.clear();
    EXPECT_NE(run("--line-speed --master 1:loud", &out), 0);
    EXPECT_NE(out.find("unknown option \"loud\""), std::string::npos) << out;
    EXPECT_NE(run("--line-speed --hsa 15 --master 20", &out), 0);
}

}  // namespace
}  // namespace ppisim
#endif
