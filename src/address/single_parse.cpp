// Command 3: checks the GAS of one tag against the tag's gate type and fills
// its GateAddress.
#include <cstring>

#include "address/gas_parse.h"
#include "address/gas_syntax.h"
#include "address/gate_address.h"
#include "core/host_log.h"
#include "core/vpi_instance.h"

namespace plclink {
namespace {

// Gate types 0..5 are analog, 6 is the digital (bit) gate type.
constexpr std::int32_t kBitGateType = 6;

bool IsKnownGateType(std::int32_t gateType) { return gateType >= 0 && gateType <= kBitGateType; }

// The one GAS length a known gate type admits: a bit tag has its bit digit.
std::size_t GasLengthFor(const GasForm& form, std::int32_t gateType) {
    return gateType == kBitGateType ? form.plainLength() + 1 : form.plainLength();
}

// Gate types 0..5: the element size that the element type gives, or 0 when
// the gate type does not admit the element type or the address is not
// aligned to the element.
std::int32_t AnalogElementBits(std::int32_t gateType, char elementType, std::int32_t address) {
    switch (elementType) {
    case 'B':
        return gateType <= 2 ? kByteBits : 0;
    case 'W':
        return gateType <= 2 && address % 2 == 0 ? kWordBits : 0;
    case 'D':
        return (gateType == 4 || gateType == 5) && address % 4 == 0 ? kDoubleBits : 0;
    case 'F':
        return gateType == 3 && address % 4 == 0 ? kDoubleBits : 0;
    default:
        return 0;
    }
}

}  // namespace

std::int32_t ParseSingleGas(GateParseRecord* record, const VpiInstance* instance) {
    if (record == nullptr || instance == nullptr) return VPI_FAILED;
    const char* gas = record->gas;
    const std::int32_t gateType = record->gateType;

    NormalizeGas(gas);
    const GasForm form = NormalizedGasForm(instance->threeDigitPlc);
    MarkParseBegun(*record);
    if (gas == nullptr) return VPI_FAILED;
    const char* text = NormalizedGas();
    if (IsKnownGateType(gateType) &&
        (!GasFitsWorkArea(gas) || std::strlen(text) != GasLengthFor(form, gateType))) {
        return VPI_FAILED;
    }
    // Only an unknown gate type lets a text reach here that is longer than
    // the work area; it has characters at positions that admit none.
    if (CheckGasChars(form.classes) != 0 || !GasFitsWorkArea(gas)) {
        err(kLogCategory, "%s: invalid chars in address (%s)", instance->VpiName, gas);
        return VPI_FAILED;
    }
    StorePlcNumber(*record, form);

    const char elementType = text[form.typePosition()];
    std::int32_t sizeBits = 0;
    std::uint32_t bitNumber = VPI_NO_BIT;
    if (gateType == kBitGateType) {
        if (elementType != 'B') {
            err(kLogCategory, "%s: SingleParse() error. Tag '%s' bits not supported for this type",
                instance->VpiName, text);
            return VPI_FAILED;
        }
        bitNumber = static_cast<std::uint32_t>(ReadDecimal(text + form.bitPosition(), 1));
        sizeBits = kByteBits;
    } else if (IsKnownGateType(gateType)) {
        sizeBits = AnalogElementBits(gateType, elementType, GasAlignedAddress(form));
        if (sizeBits == 0) return VPI_FAILED;
    } else {
        err(kLogCategory, "%s: invalid Gate Type", instance->VpiName);
        return VPI_FAILED;
    }
    if (AreaTakesWordsOnly(MemAreaOf(text + form.areaPosition())) &&
        (gateType == kBitGateType || sizeBits != kWordBits)) {
        err(kLogCategory, "%s: SingleParse() error. Tag '%s' area takes words only",
            instance->VpiName, text);
        return VPI_FAILED;
    }
    if (GasElementNumberTooHigh(form)) {
        err(kLogCategory, "%s: SingleParse() error. Tag '%s' number above 255", instance->VpiName,
            text);
        return VPI_FAILED;
    }
    record->bitNumber = bitNumber;
    StoreElement(*record, form, sizeBits);
    return VPI_OK;
}

}  // namespace plclink
