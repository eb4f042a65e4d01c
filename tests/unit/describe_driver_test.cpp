#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "core/vpi_instance.h"
#include "plclink/vpi.h"

namespace {

int32_t Call(uint32_t command, void* params = nullptr, void* instance = nullptr) {
    VpiCallBlock block{instance, command, 1, 0xDEADBEEF, params};
    return VpiMain(&block);
}

TEST(Dispatch, CommandsWithoutHandlerAnswerTwoAndTouchNothing) {
    unsigned char params[64];
    std::memset(params, 0xA5, sizeof params);
    for (uint32_t command : {0u, 8u, 9u, 17u, 18u, 0xFFFFFFFFu}) {
        EXPECT_EQ(Call(command, params), 2) << command;
    }
    for (unsigned char b : params) ASSERT_EQ(b, 0xA5);
    EXPECT_EQ(VpiMain(nullptr), 2);
}

TEST(Dispatch, DescribeDriverFillsEveryFieldWithoutAnInstance) {
    DriverDescriptor d;
    std::memset(&d, 0xCC, sizeof d);
    ASSERT_EQ(Call(14, &d, nullptr), 0);
    EXPECT_EQ(d.driverCode, 82u);
    EXPECT_STREQ(d.name, "Siemens S7-200");
    EXPECT_EQ(d.instanceSize, sizeof(plclink::VpiInstance));
    if (sizeof(void*) == 4) {
        EXPECT_EQ(d.instanceSize, 2152u);
    }
    EXPECT_EQ(d.hostValueA, 4u);
    EXPECT_EQ(d.defaultLine.baud, 9600);
    EXPECT_EQ(d.defaultLine.dataBits, 8);
    EXPECT_EQ(d.defaultLine.stopBits, 0);
    EXPECT_EQ(d.defaultLine.parity, 2);
    EXPECT_EQ(d.hostValueB, 0x00BE0023u);
}

TEST(Dispatch, BannerIsTheCodePage437Box) {
    DriverDescriptor d{};
    ASSERT_EQ(Call(14, &d), 0);
    const std::string banner(d.banner);
    ASSERT_EQ(banner.size(), 194u);
    EXPECT_EQ(banner.substr(0, 2), "\r\n");
    const std::string top = banner.substr(2, 64);
    const std::string middle = banner.substr(66, 64);
    const std::string bottom = banner.substr(130, 64);
    EXPECT_EQ(top, "\xDA" + std::string(48, '\xC4') + "\xBF" + std::string(12, ' ') + "\r\n");
    EXPECT_EQ(middle, "\xB3 Vestra driver for SIEMENS S7-200 sires plc's   \xB3" +
                          std::string(12, ' ') + "\r\n");
    EXPECT_EQ(bottom, "\xC0" + std::string(48, '\xC4') + "\xD9" + std::string(12, ' ') + "\r\n");
}

}  // namespace
