// The records shared with the host have fixed offsets on the 32-bit host.
// On a 32-bit build every one of them is checked here at compile time.
#include <cstddef>

#include "core/vpi_instance.h"
#include "plclink/vpi.h"

namespace plclink {
namespace {

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(LineSettings) == 8);
static_assert(offsetof(LineSettings, baud) == 0);
static_assert(offsetof(LineSettings, dataBits) == 2);
static_assert(offsetof(LineSettings, stopBits) == 4);
static_assert(offsetof(LineSettings, parity) == 6);

static_assert(sizeof(VpiCallBlock) == 0x14);
static_assert(offsetof(VpiCallBlock, instance) == 0x00);
static_assert(offsetof(VpiCallBlock, command) == 0x04);
static_assert(offsetof(VpiCallBlock, vpiNumber) == 0x08);
static_assert(offsetof(VpiCallBlock, hostWord) == 0x0C);
static_assert(offsetof(VpiCallBlock, params) == 0x10);

static_assert(sizeof(DriverDescriptor) == 32);
static_assert(offsetof(DriverDescriptor, driverCode) == 0x00);
static_assert(offsetof(DriverDescriptor, name) == 0x04);
static_assert(offsetof(DriverDescriptor, banner) == 0x08);
static_assert(offsetof(DriverDescriptor, instanceSize) == 0x0C);
static_assert(offsetof(DriverDescriptor, hostValueA) == 0x10);
static_assert(offsetof(DriverDescriptor, defaultLine) == 0x14);
static_assert(offsetof(DriverDescriptor, hostValueB) == 0x1C);

static_assert(sizeof(ColdStartRequest) == 0x1C);
static_assert(offsetof(ColdStartRequest, portName) == 0x00);
static_assert(offsetof(ColdStartRequest, lineSwitch) == 0x0C);
static_assert(offsetof(ColdStartRequest, readTimeout) == 0x10);
static_assert(offsetof(ColdStartRequest, settings) == 0x14);

static_assert(sizeof(LineChangeRequest) == 0x18);
static_assert(offsetof(LineChangeRequest, portName) == 0x00);
static_assert(offsetof(LineChangeRequest, readTimeout) == 0x0C);
static_assert(offsetof(LineChangeRequest, settings) == 0x10);

static_assert(sizeof(GateParseRecord) == 36);
static_assert(offsetof(GateParseRecord, gas) == 0);
static_assert(offsetof(GateParseRecord, ownerWindow) == 4);
static_assert(offsetof(GateParseRecord, gateType) == 8);
static_assert(offsetof(GateParseRecord, unused) == 12);
static_assert(offsetof(GateParseRecord, plcNumber) == 16);
static_assert(offsetof(GateParseRecord, memArea) == 20);
static_assert(offsetof(GateParseRecord, memAreaBits) == 21);
static_assert(offsetof(GateParseRecord, elementIndex) == 24);
static_assert(offsetof(GateParseRecord, bitNumber) == 28);
static_assert(offsetof(GateParseRecord, sizeBits) == 32);

static_assert(sizeof(TagAccessRecord) == 44);
static_assert(offsetof(TagAccessRecord, plcNumber) == 8);
static_assert(offsetof(TagAccessRecord, memArea) == 12);
static_assert(offsetof(TagAccessRecord, memAreaBits) == 13);
static_assert(offsetof(TagAccessRecord, elementIndex) == 16);
static_assert(offsetof(TagAccessRecord, bitNumber) == 20);
static_assert(offsetof(TagAccessRecord, sizeBits) == 24);
static_assert(offsetof(TagAccessRecord, tagKind) == 28);
static_assert(offsetof(TagAccessRecord, itemCount) == 32);
static_assert(offsetof(TagAccessRecord, hostWord3) == 36);
static_assert(offsetof(TagAccessRecord, dataBuffer) == 40);

static_assert(sizeof(ReadTagsRecord) == 16);
static_assert(offsetof(ReadTagsRecord, tagCount) == 0);
static_assert(offsetof(ReadTagsRecord, tags) == 4);
static_assert(offsetof(ReadTagsRecord, results) == 8);
static_assert(offsetof(ReadTagsRecord, requests) == 12);

static_assert(offsetof(VpiInstance, readTimeout) == 0);
static_assert(offsetof(VpiInstance, lineActive) == 4);
static_assert(offsetof(VpiInstance, lineHandle) == 8);
static_assert(offsetof(VpiInstance, lineConfig) == 12);
static_assert(offsetof(VpiInstance, instanceNumber) == 36);
static_assert(offsetof(VpiInstance, vpiNumber) == 40);
static_assert(offsetof(VpiInstance, VpiName) == 41);
static_assert(offsetof(VpiInstance, blockMode) == 76);
static_assert(offsetof(VpiInstance, valueSlot) == 80);
static_assert(offsetof(VpiInstance, dataStart) == 84);
static_assert(offsetof(VpiInstance, txFrame) == 88);
static_assert(offsetof(VpiInstance, rxFrame) == 1112);
static_assert(offsetof(VpiInstance, txLength) == 2136);
static_assert(offsetof(VpiInstance, rxLength) == 2140);
static_assert(offsetof(VpiInstance, requestFc) == 2144);
static_assert(offsetof(VpiInstance, pauseMs) == 2145);
static_assert(offsetof(VpiInstance, pduReference) == 2146);
static_assert(offsetof(VpiInstance, threeDigitPlc) == 2148);
static_assert(sizeof(VpiInstance) == 2152);
#endif

}  // namespace
}  // namespace plclink
