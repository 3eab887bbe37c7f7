// Shared libraries loaded at run time and their exported functions, found by name.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace platform {

class DynamicLibrary {
public:
    // Loads the library file; null when it cannot be loaded, with the reason in `error`.
    static std::unique_ptr<DynamicLibrary> load(const std::string& path, std::string& error);
    // Drops this reference; the library leaves memory with its last one.
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // The address of an exported name; null when the library has none.
    void* symbol(const char* name) const;

private:
    explicit DynamicLibrary(void* handle) : handle_(handle) {}
    void* handle_;
};

// The file a bare library name stands for: "lib<name>.so" here.
std::string sharedLibraryFileName(std::string_view bareName);

}  // namespace platform
