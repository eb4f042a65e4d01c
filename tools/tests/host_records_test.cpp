// What the tool hands the module: line settings, tags, value buffers; and
// how it reads the module's failures.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <unistd.h>
#endif

#include <cstdio>
#include <cstring>

#include "address_hint.h"
#include "failure.h"
#include "line_options.h"
#include "port_probe.h"
#include "session.h"
#include "tag.h"
#include "value_buffer.h"

using namespace plclink::host;

TEST(LineOptions, BecomeAColdStartRequestInTheDriversUnits) {
    LineOptions line;
    line.port = "/dev/pts/12";
    line.timeoutMs = 255;
    std::string why;
    auto request = ColdStartRequestFor(line, why);
    ASSERT_TRUE(request) << why;
    EXPECT_STREQ(request->portName, "/dev/pts/12");
    EXPECT_EQ(request->lineSwitch, 1u);
    EXPECT_EQ(request->readTimeout, 26u);  // rounded up to whole 10 ms
    EXPECT_EQ(request->settings.baud, 9600);
    EXPECT_EQ(request->settings.dataBits, 8);
    EXPECT_EQ(request->settings.stopBits, 0);
    EXPECT_EQ(request->settings.parity, 2);

    line.parity = "odd";
    line.stopBits = "2";
    line.baud = 19200;
    request = ColdStartRequestFor(line, why);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->settings.parity, 1);
    EXPECT_EQ(request->settings.stopBits, 2);
    EXPECT_EQ(request->settings.baud, 19200);
}

#if !defined(_WIN32)
TEST(LineOptions, LongDevicePathsGoWithoutTheirDevPrefix) {
    EXPECT_EQ(DriverPortName("/dev/pts/3"), "/dev/pts/3");
    EXPECT_EQ(DriverPortName("/dev/ttyUSB0"), "ttyUSB0");
    EXPECT_EQ(DriverPortName("/dev/pts/123"), "pts/123");
    EXPECT_EQ(DriverPortName("COM1"), "COM1");
    LineOptions line;
    line.port = "/dev/ttyUSB0";
    std::string why;
    auto request = ColdStartRequestFor(line, why);
    ASSERT_TRUE(request) << why;
    EXPECT_STREQ(request->portName, "ttyUSB0");
    std::string link = ::testing::TempDir() + "a-rather-long-link-to-the-null-device";
    std::remove(link.c_str());
    ASSERT_EQ(symlink("/dev/null", link.c_str()), 0);
    EXPECT_EQ(DriverPortName(link), "/dev/null");
    std::remove(link.c_str());
}
#endif

TEST(LineOptions, WhatTheRecordsCannotHoldIsRefused) {
    auto refused = [](LineOptions line) {
        std::string why;
        bool ok = ColdStartRequestFor(line, why).has_value();
        EXPECT_FALSE(why.empty() && !ok);
        return !ok;
    };
    LineOptions good;
    good.port = "/dev/ttyS0";
    EXPECT_FALSE(refused(good));
    LineOptions l = good;
    l.port = "/tmp/plclink/port0";
    EXPECT_TRUE(refused(l));
    l = good;
    l.port = "";
    EXPECT_TRUE(refused(l));
    l = good;
    l.baud = 115200;
    EXPECT_TRUE(refused(l));
    l = good;
    l.timeoutMs = 0;  // no time-out at all would hang on a silent station
    EXPECT_TRUE(refused(l));
    l = good;
    l.parity = "sometimes";
    EXPECT_TRUE(refused(l));
    // Lines that reach no controller.
    for (const char* none : {"NULLDEV", "nulldev", "NUL"}) {
        l = good;
        l.port = none;
        EXPECT_TRUE(refused(l)) << none;
    }
}

TEST(PortProbe, NamesAreFoundWhereTheDriverLooks) {
    EXPECT_EQ(DevicePathOfPort("pts/1"), "/dev/pts/1");
    EXPECT_EQ(DevicePathOfPort("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(DevicePathOfPort("/tmp/plc0"), "/tmp/plc0");
    EXPECT_EQ(DevicePathOfPort("com3"), "/dev/ttyS2");
    EXPECT_EQ(DevicePathOfPort("COM10"), "/dev/COM10");
    EXPECT_EQ(DevicePathOfPort("Nul"), "/dev/null");
}

TEST(Tag, TypeAndTextsFollowTheAddressLayout) {
    EXPECT_EQ(ElementTypeOfText("02vw0100", false), ElementType::Word);
    EXPECT_EQ(ElementTypeOfText("02VD0100", false), ElementType::DWord);
    EXPECT_EQ(ElementTypeOfText("02VF0100", false), ElementType::Float);
    EXPECT_EQ(ElementTypeOfText("02IB00037", false), ElementType::Bit);
    EXPECT_EQ(ElementTypeOfText("002VW0100", true), ElementType::Word);
    EXPECT_EQ(ElementTypeOfText("002IB00037", true), ElementType::Bit);
    EXPECT_EQ(ElementTypeOfText("x", false), ElementType::Byte);
    EXPECT_EQ(GateAddressText(2, "V", ElementType::Word, 100, false), "02VW0100");
    EXPECT_EQ(GateAddressText(2, "M", ElementType::Byte, 7, true), "002MB0007");

    Tag first;
    first.text = "02vd0100";
    first.type = ElementType::DWord;
    first.plcNumber = 2;
    first.memArea = 'V';
    first.elementIndex = 25;
    first.sizeBits = 32;
    EXPECT_EQ(first.byteAddress(), 100);
    EXPECT_EQ(ElementText(first, 0, false), "02vd0100");
    EXPECT_EQ(ElementText(first, 2, false), "02VD0108");
}

TEST(ValueBuffer, SingleValuesSitWhereTheDriverLooks) {
    ValueBuffer word(ElementType::Word, 1, Layout::Single);
    word.setElement(0, 0x1234);
    const auto* bytes = static_cast<const unsigned char*>(word.data());
    std::uint16_t atTwo = 0;
    std::memcpy(&atTwo, bytes + 2, 2);
    EXPECT_EQ(atTwo, 0x1234);
    EXPECT_EQ(bytes[0] | bytes[1], 0);

    ValueBuffer dword(ElementType::Float, 1, Layout::Single);
    dword.setElement(0, 0xA1B2C3D4);
    std::uint32_t atZero = 0;
    std::memcpy(&atZero, dword.data(), 4);
    EXPECT_EQ(atZero, 0xA1B2C3D4u);
    EXPECT_EQ(dword.element(0), 0xA1B2C3D4u);

    // A byte read widens into the word at byte 2.
    ValueBuffer byte(ElementType::Byte, 1, Layout::Single);
    std::uint16_t widened = 0x00C8;
    std::memcpy(static_cast<unsigned char*>(byte.data()) + 2, &widened, 2);
    EXPECT_EQ(byte.element(0), 200u);
}

TEST(ValueBuffer, BlocksRunFromByteZero) {
    ValueBuffer words(ElementType::Word, 3, Layout::Block);
    for (int i = 0; i < 3; ++i) words.setElement(i, 0x1110u + static_cast<unsigned>(i));
    std::uint16_t raw[3];
    std::memcpy(raw, words.data(), sizeof raw);
    EXPECT_EQ(raw[0], 0x1110);
    EXPECT_EQ(raw[2], 0x1112);
    ValueBuffer one(ElementType::Word, 1, Layout::Block);
    one.setElement(0, 0xBEEF);
    std::memcpy(raw, one.data(), 2);
    EXPECT_EQ(raw[0], 0xBEEF);
    ValueBuffer bytes(ElementType::Byte, 234, Layout::Block);
    bytes.setElement(233, 0x5A);
    EXPECT_EQ(static_cast<const unsigned char*>(bytes.data())[233], 0x5A);
}

namespace {
std::vector<LogLine> Lines(std::initializer_list<const char*> texts) {
    std::vector<LogLine> lines;
    for (const char* t : texts) lines.push_back(LogLine{32, t, {}});
    return lines;
}
}  // namespace

TEST(Failure, TheLastCauseTheModuleNamedSpeaksForTheTransfer) {
    EXPECT_FALSE(ExplainTransfer(0, {}, 2));
    auto silent = Lines({"VpiK701: recv. SC Ack fail", "VpiK701: recv. SC Ack fail", "VpiK701: recv. SC Ack fail"});
    EXPECT_EQ(ExplainTransfer(2, silent, 2).kind, FailureKind::SilentStation);
    EXPECT_NE(ExplainTransfer(2, silent, 2).words.find("station 2"), std::string::npos);
    auto refused = Lines({"VpiK701: Check Responed FAIL (access_result: 0a)"});
    EXPECT_EQ(ExplainTransfer(1, refused, 2).kind, FailureKind::RefusedAccess);
    auto broken = Lines({"VpiK701: recv SD4 after SD2 message (pass Token)", "S7200EstablishAssociation()",
                         "VpiK701: Check Responed FAIL (FCS)"});
    EXPECT_EQ(ExplainTransfer(1, broken, 2).kind, FailureKind::BadFrame);
    auto thenSilent = Lines({"VpiK701: invalid recv. 00", "S7200EstablishAssociation()",
                             "VpiK701: recv. SC Ack fail", "S7200Read() S7200EstablishAssociation() rc = 2"});
    EXPECT_EQ(ExplainTransfer(2, thenSilent, 2).kind, FailureKind::SilentStation);
    EXPECT_EQ(ExplainTransfer(1, {}, 2).kind, FailureKind::RequestRefused);
    // A busy station is no broken line, even after a broken frame before it.
    auto busy = Lines({"VpiK701: recv SD4 after SD2 message (pass Token)", "S7200EstablishAssociation()",
                       "VpiK701: station 2 busy (no resource)"});
    const Failure f = ExplainTransfer(1, busy, 2);
    EXPECT_EQ(f.kind, FailureKind::BusyStation);
    EXPECT_NE(f.words.find("station 2 is busy (no resource)"), std::string::npos) << f.words;
}

TEST(Failure, TheControllersOwnErrorIsToldFromItsResponse) {
    auto header = Lines({"VpiK701: Check Responed FAIL (PPI Rsp. header error)"});
    // SD2 head, then the S7 response header ending in class 0x80, code 0x01.
    std::vector<std::uint8_t> frame{0x68, 0x0F, 0x0F, 0x68, 0x00, 0x02, 0x08, 0x32, 0x03, 0x00, 0x00,
                                    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x01, 0xC0, 0x16};
    Failure f = ExplainTransfer(1, header, 2, frame);
    EXPECT_EQ(f.kind, FailureKind::ControllerRefused);
    EXPECT_EQ(f.words, "refused by the controller (error class 0x80, code 0x01)");
    EXPECT_EQ(ExitStatusOf(f), kTagFailed);
    frame[17] = 0x81;
    frame[18] = 0x04;
    EXPECT_EQ(ExplainTransfer(1, header, 2, frame).words,
              "refused by the controller (error class 0x81, code 0x04): the service is not implemented on the "
              "controller, or a frame error was reported");
    frame[18] = 0x77;  // no meaning of its own: the class's
    EXPECT_EQ(ExplainTransfer(1, header, 2, frame).words,
              "refused by the controller (error class 0x81, code 0x77): application relationship error");
    // A wrong protocol id fails the same check: that is a bad frame.
    frame[7] = 0x31;
    EXPECT_EQ(ExplainTransfer(1, header, 2, frame).kind, FailureKind::BadFrame);
    EXPECT_EQ(ExplainTransfer(1, header, 2, {}).kind, FailureKind::BadFrame);

    auto refused = Lines({"VpiK701: Check Responed FAIL (access_result: 0a)"});
    EXPECT_EQ(ExplainTransfer(1, refused, 2).words,
              "station 2 refused the access (access_result 0x0a: object does not exist; address outside its memory?)");
    auto typeRefused = Lines({"VpiK701: Check Responed FAIL (access_result: 06)"});
    EXPECT_EQ(ExplainTransfer(1, typeRefused, 2).words,
              "station 2 refused the access (access_result 0x06: data type not supported)");
}

TEST(Failure, OnlyTheLineDecidesForExitStatusOne) {
    EXPECT_EQ(ExitStatusOf({FailureKind::BadAddress, ""}), kUsage);
    EXPECT_EQ(ExitStatusOf({FailureKind::RequestRefused, ""}), kUsage);
    EXPECT_EQ(ExitStatusOf({FailureKind::SilentStation, ""}), kTagFailed);
    EXPECT_EQ(ExitStatusOf({FailureKind::BadFrame, ""}), kTagFailed);
}

TEST(Failure, ParseFailuresQuoteTheModuleAndSayWhatIsWrong) {
    std::vector<LogLine> lines{{0, "K7: BlockAddressParser entered GAS = 01MW0101", {}},
                               {32, "VpiK701: BlockParse() failed. Tag '01MW0101' address must be even", {}}};
    Failure f = ExplainParse(1, lines, "01MW0101", AddressHint("01MW0101", false, true));
    EXPECT_EQ(f.kind, FailureKind::BadAddress);
    EXPECT_NE(f.words.find("address must be even"), std::string::npos);
    EXPECT_EQ(f.words.find("entered"), std::string::npos);  // trace lines are no reason

    EXPECT_EQ(AddressHint("02VW0100", false, false), "");
    EXPECT_EQ(AddressHint("02VW0101", false, false), "a word address must be even");
    EXPECT_EQ(AddressHint("02VD0102", false, true), "a dword or float address must be a multiple of 4");
    EXPECT_EQ(AddressHint("02VW01007", false, false), "only a byte (B) tag can name a bit");
    EXPECT_EQ(AddressHint("02VB01008", false, false), "the bit must be 0-7");
    EXPECT_EQ(AddressHint("02XB0100", false, false), "the area must be I, Q, M, V, S, SM, AI, AQ, T or C");
    EXPECT_NE(AddressHint("02VB01007", false, true).find("expected"), std::string::npos);  // no bits in blocks
    EXPECT_NE(AddressHint("002VW0100", false, false).find("--three-digit"), std::string::npos);
    EXPECT_NE(AddressHint("02VW0100", true, false).find("three-digit"), std::string::npos);
}
