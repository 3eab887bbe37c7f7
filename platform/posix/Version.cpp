#include "platform/Version.h"
#include "BuildVersion.h"
#include "platform/Files.h"

namespace platform {

// Every program file of this build carries the block compiled into it.
std::optional<VersionBlock> readVersionBlock(const std::string& path) {
    if (!canOpenForReading(path))
        return std::nullopt;
    VersionBlock block;
    block.companyName = VEMBRIX_COMPANY_NAME;
    block.legalCopyright = VEMBRIX_LEGAL_COPYRIGHT;
    block.productName = VEMBRIX_PRODUCT_NAME;
    block.fileVersion =
        std::to_string(VEMBRIX_VERSION_MAJOR) + "." + std::to_string(VEMBRIX_VERSION_MINOR) + "." +
        std::to_string(VEMBRIX_VERSION_BUILD) + "." + std::to_string(VEMBRIX_VERSION_REVISION);
    block.productVersionMS = (uint32_t{VEMBRIX_VERSION_MAJOR} << 16) | VEMBRIX_VERSION_MINOR;
    block.productVersionLS = (uint32_t{VEMBRIX_VERSION_BUILD} << 16) | VEMBRIX_VERSION_REVISION;
    return block;
}

}  // namespace platform
