#include "module_session.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace binding {

Module LoadModule(const char* path) {
    void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        std::printf("FAIL: dlopen(%s): %s\n", path, dlerror());
        std::exit(2);
    }
    auto vpiMain = reinterpret_cast<VpiMainFunction>(dlsym(handle, "VpiMain"));
    if (vpiMain == nullptr) {
        std::printf("FAIL: no VpiMain in %s\n", path);
        std::exit(2);
    }
    return {handle, vpiMain};
}

const std::vector<LogLine>& SessionLines() {
    static const std::vector<LogLine> lines = {
        {32, "VpiK701: invalid chars in address (01xB0012)"},
        {0, "K7: BlockAddressParser entered GAS = 01mw0100"},
        {0, "K7: Exiting BlockAddressParser GAS = 01mw0100"},
    };
    return lines;
}

int Expect(bool holds, const std::string& what) {
    if (holds) return 0;
    std::printf("FAIL: %s\n", what.c_str());
    return 1;
}

int ExpectSessionLines(const std::vector<LogLine>& received) {
    const std::vector<LogLine>& wanted = SessionLines();
    std::size_t next = 0;
    for (const LogLine& line : received) {
        if (next < wanted.size() && line.category == wanted[next].category &&
            line.text == wanted[next].text) {
            ++next;
        }
    }
    int failures = 0;
    for (; next < wanted.size(); ++next) {
        failures += Expect(false, "missing log line [" + std::to_string(wanted[next].category) +
                                      "] " + wanted[next].text);
    }
    return failures;
}

int RunSession(VpiMainFunction vpiMain) {
    int failures = 0;
    DriverDescriptor descriptor{};
    VpiCallBlock describe{nullptr, VPI_DESCRIBE_DRIVER, 1, 0, &descriptor};
    failures += Expect(vpiMain(&describe) == VPI_OK, "command 14 answers 0");
    failures += Expect(descriptor.instanceSize >= 2152, "command 14 reports the instance size");
    std::vector<unsigned char> instance(descriptor.instanceSize, 0);

    ColdStartRequest start{};
    std::strcpy(start.portName, "NULLDEV");
    start.lineSwitch = 0;  // no line: the session needs no port
    VpiCallBlock coldStart{instance.data(), VPI_COLD_START, 1, 0, &start};
    failures += Expect(vpiMain(&coldStart) == VPI_OK, "ColdStart without a line answers 0");

    char badAddress[] = "01xB0012";
    GateParseRecord single{};
    single.gas = badAddress;
    VpiCallBlock singleParse{instance.data(), VPI_SINGLE_PARSE, 1, 0, &single};
    failures += Expect(vpiMain(&singleParse) == VPI_FAILED, "command 3 refuses 01xB0012");

    char blockAddress[] = "01mw0100";
    GateParseRecord block{};
    block.gas = blockAddress;
    VpiCallBlock blockParse{instance.data(), VPI_BLOCK_PARSE, 1, 0, &block};
    failures += Expect(vpiMain(&blockParse) == VPI_OK, "command 4 accepts 01mw0100");
    failures += Expect(block.plcNumber == 1 && block.memArea == 'M' && block.elementIndex == 50 &&
                           block.sizeBits == 16,
                       "command 4 fills the gate address");

    VpiCallBlock endVpi{instance.data(), VPI_END_VPI, 1, 0, nullptr};
    failures += Expect(vpiMain(&endVpi) == VPI_OK, "EndVpi answers 0");
    return failures;
}

}  // namespace binding
