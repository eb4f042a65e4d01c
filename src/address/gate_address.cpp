#include "address/gate_address.h"

#include "address/element_areas.h"

namespace plclink {

void MarkParseBegun(GateParseRecord& record) {
    record.bitNumber = VPI_NO_BIT;
    record.sizeBits = kWordBits;
}

void StorePlcNumber(GateParseRecord& record, const GasForm& form) {
    record.plcNumber = ReadDecimal(NormalizedGas(), form.plcDigits);
}

std::int32_t GasByteAddress(const GasForm& form) {
    return ReadDecimal(NormalizedGas() + form.addressPosition(), 4);
}

std::int32_t GasAlignedAddress(const GasForm& form) {
    if (IsElementAddressedArea(MemAreaOf(NormalizedGas() + form.areaPosition()))) return 0;
    return GasByteAddress(form);
}

bool GasElementNumberTooHigh(const GasForm& form) {
    return IsElementAddressedArea(MemAreaOf(NormalizedGas() + form.areaPosition())) &&
           GasByteAddress(form) > kMaxElementNumber;
}

void StoreElement(GateParseRecord& record, const GasForm& form, std::int32_t sizeBits) {
    const char* gas = NormalizedGas();
    record.sizeBits = sizeBits;
    std::int32_t index = DecDigitsToNum(gas + form.addressPosition(), 4);
    const std::uint8_t memArea = MemAreaOf(gas + form.areaPosition());
    // A timer's or counter's number is its element index as it stands.
    if (!IsElementAddressedArea(memArea)) ScaleAddress(&index, sizeBits);
    record.elementIndex = index;
    record.memArea = memArea;
    record.memAreaBits = static_cast<std::uint8_t>(sizeBits & 0xFF);
    record.areaPad[0] = 0;
    record.areaPad[1] = 0;
}

}  // namespace plclink
