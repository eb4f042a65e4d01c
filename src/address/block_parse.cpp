// Command 4: checks the GAS that names the first element of a block and
// fills its GateAddress. The gate type is not read and no bit is admitted.
#include <cstring>

#include "address/gas_parse.h"
#include "address/gas_syntax.h"
#include "address/gate_address.h"
#include "core/host_log.h"
#include "core/vpi_instance.h"

namespace plclink {
namespace {

// A block GAS has the plain length; a text one bit digit longer is let
// through to the character check (which refuses it) or is refused where
// the address must end.
bool IsBlockGasLength(const GasForm& form, std::size_t length) {
    return length == form.plainLength() || length == form.plainLength() + 2;
}

// The element size of a block element, or 0 when its address is not aligned
// to it (the reason is logged).
std::int32_t BlockElementBits(const VpiInstance& instance, char elementType, std::int32_t address) {
    switch (elementType) {
    case 'B':
        return kByteBits;
    case 'W':
        if (address % 2 == 0) return kWordBits;
        err(kLogCategory, "%s: BlockParse() failed. Tag '%s' address must be even",
            instance.VpiName, NormalizedGas());
        return 0;
    case 'D':
    case 'F':
        if (address % 4 == 0) return kDoubleBits;
        err(kLogCategory, "%s: BlockParse() failed. Tag '%s' address must be divided by 4",
            instance.VpiName, NormalizedGas());
        return 0;
    default:
        return 0;
    }
}

}  // namespace

std::int32_t ParseBlockGas(GateParseRecord* record, const VpiInstance* instance) {
    if (record == nullptr || instance == nullptr) return VPI_FAILED;
    const char* gas = record->gas;

    err(kTraceCategory, "K7: BlockAddressParser entered GAS = %s", gas != nullptr ? gas : "(null)");
    NormalizeGas(gas);
    const GasForm form = NormalizedGasForm(instance->threeDigitPlc);
    MarkParseBegun(*record);
    const char* text = NormalizedGas();
    if (!GasFitsWorkArea(gas) || !IsBlockGasLength(form, std::strlen(text))) return VPI_FAILED;
    if (CheckGasChars(form.classes) != 0) {
        err(kLogCategory, "%s: invalid chars in address (%s)", instance->VpiName, gas);
        return VPI_FAILED;
    }
    StorePlcNumber(*record, form);
    if (text[form.plainLength()] != '\0') return VPI_FAILED;  // nothing may follow the address

    const std::int32_t sizeBits =
        BlockElementBits(*instance, text[form.typePosition()], GasAlignedAddress(form));
    if (sizeBits == 0) return VPI_FAILED;
    if (AreaTakesWordsOnly(MemAreaOf(text + form.areaPosition())) && sizeBits != kWordBits) {
        err(kLogCategory, "%s: BlockParse() failed. Tag '%s' area takes words only",
            instance->VpiName, NormalizedGas());
        return VPI_FAILED;
    }
    if (GasElementNumberTooHigh(form)) {
        err(kLogCategory, "%s: BlockParse() failed. Tag '%s' number above 255", instance->VpiName,
            NormalizedGas());
        return VPI_FAILED;
    }
    StoreElement(*record, form, sizeBits);
    err(kTraceCategory, "K7: Exiting BlockAddressParser GAS = %s", gas);
    return VPI_OK;
}

}  // namespace plclink
