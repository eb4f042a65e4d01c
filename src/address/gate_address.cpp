#include "address/gate_address.h"

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

void StoreElement(GateParseRecord& record, const GasForm& form, std::int32_t sizeBits) {
    const char* gas = NormalizedGas();
    record.sizeBits = sizeBits;
    std::int32_t index = DecDigitsToNum(gas + form.addressPosition(), 4);
    ScaleAddress(&index, sizeBits);
    record.elementIndex = index;
    record.memArea = MemAreaOf(gas + form.areaPosition());
    record.memAreaBits = static_cast<std::uint8_t>(sizeBits & 0xFF);
    record.areaPad[0] = 0;
    record.areaPad[1] = 0;
}

}  // namespace plclink
