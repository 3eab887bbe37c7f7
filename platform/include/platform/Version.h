// The version block of a program file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

struct VersionBlock {
    std::string companyName;
    std::string legalCopyright;
    std::string fileVersion;
    std::string productName;
    // The two product-version words: major/minor and build/revision, high word first.
    uint32_t productVersionMS = 0;
    uint32_t productVersionLS = 0;
};

// The version block of the file at `path`; none when the file has no block.
std::optional<VersionBlock> readVersionBlock(const std::string& path);

}  // namespace platform
