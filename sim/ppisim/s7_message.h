// The S7 messages inside SD2 frames, seen from the controller: decoding the
// jobs a master sends (set up communication, read, write) and encoding the
// acknowledgements with data that answer them. Every 16- and 32-bit field is
// big-endian on the line.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ppisim/frame.h"

namespace ppisim {

inline constexpr std::uint8_t kProtocolId = 0x32;
inline constexpr std::uint8_t kMessageJob = 0x01;
inline constexpr std::uint8_t kMessageAckData = 0x03;

inline constexpr std::uint8_t kFunctionSetup = 0xF0;
inline constexpr std::uint8_t kFunctionRead = 0x04;
inline constexpr std::uint8_t kFunctionWrite = 0x05;

// access_result of a data item.
inline constexpr std::uint8_t kAccessGranted = 0xFF;
// A write to bytes the CPU keeps for itself (SM0..SM29, the analog inputs):
// "object access not allowed".
inline constexpr std::uint8_t kAccessNotAllowed = 0x03;
inline constexpr std::uint8_t kAccessTypeUnsupported = 0x06;
inline constexpr std::uint8_t kAccessDataInconsistent = 0x07;
inline constexpr std::uint8_t kAccessObjectMissing = 0x0A;

// Error class and code in the response header of a job that cannot be
// understood at all.
inline constexpr std::uint8_t kErrorClassRequest = 0x84;
inline constexpr std::uint8_t kErrorCodeRequest = 0x04;
// ... and of a job whose request or answer does not fit the PDU: class 0x85
// ("error on supplies"), code 0x00, together 0x8500, "incorrect PDU size".
inline constexpr std::uint8_t kErrorClassSupplies = 0x85;
inline constexpr std::uint8_t kErrorCodePduSize = 0x00;

// Transport sizes of the item specification.
inline constexpr std::uint8_t kTransportBit = 0x01;
inline constexpr std::uint8_t kTransportByte = 0x02;
inline constexpr std::uint8_t kTransportChar = 0x03;
inline constexpr std::uint8_t kTransportWord = 0x04;
inline constexpr std::uint8_t kTransportInt = 0x05;
inline constexpr std::uint8_t kTransportDWord = 0x06;
inline constexpr std::uint8_t kTransportDInt = 0x07;
inline constexpr std::uint8_t kTransportReal = 0x08;

// data_type of a data item: bits, or bytes/words/double words with the
// length counted in bits, or an octet string with the length in bytes.
inline constexpr std::uint8_t kDataBit = 0x03;
inline constexpr std::uint8_t kDataBytes = 0x04;
inline constexpr std::uint8_t kDataOctets = 0x09;

// PDU size an S7-200 offers when the master sets up communication: the
// longest S7 message, header included, it takes or sends.
inline constexpr std::uint16_t kPduSize = 240;

// Bytes of one element of a transport size; 0 for sizes not served.
std::size_t ElementSizeOf(std::uint8_t transportSize);

struct ItemSpec {
    std::uint8_t transportSize = 0;
    std::uint16_t count = 0;
    std::uint16_t dbNumber = 0;
    std::uint8_t areaCode = 0;
    std::uint32_t bitAddress = 0;
};

struct DataItem {
    std::uint8_t accessResult = kAccessGranted;
    std::uint8_t dataType = kDataBytes;
    Bytes values;
};

struct Job {
    std::uint16_t reference = 0;
    std::uint8_t function = 0;
    Bytes parameters;             // the parameter bytes as received
    std::vector<ItemSpec> items;  // read and write
    std::vector<DataItem> data;   // write only
};

// Decodes the data field of a request frame; nothing when it is not a job
// this controller understands, with the reason in `why`.
std::optional<Job> DecodeJob(std::span<const std::uint8_t> message, std::string* why = nullptr);

// The reference of a message, also of one DecodeJob refused (0 if too short).
std::uint16_t ReferenceOf(std::span<const std::uint8_t> message);

// The PDU size agreed in a set-up job: the master's wish, at most `offered`.
std::uint16_t NegotiatedPdu(const Job& job, std::uint16_t offered);

Bytes EncodeSetupResponse(const Job& job, std::uint16_t pdu);
Bytes EncodeReadResponse(std::uint16_t reference, std::span<const DataItem> items);
Bytes EncodeWriteResponse(std::uint16_t reference, std::span<const std::uint8_t> results);
Bytes EncodeErrorResponse(std::uint16_t reference, std::uint8_t errorClass, std::uint8_t errorCode);

}  // namespace ppisim
