#include "DravixLibrary.h"

#include "TraceLog.h"
#include "platform/Files.h"

std::unique_ptr<CDravixLibrary> CDravixLibrary::load(const std::string& directory,
                                                     const std::string& name) {
    const std::string path = platform::joinPath(directory, platform::sharedLibraryFileName(name));
    std::string error;
    std::unique_ptr<platform::DynamicLibrary> module = platform::DynamicLibrary::load(path, error);
    if (!module) {
        TraceError("CDravixLibrary::load", __LINE__, "Cannot load %s: %s", path.c_str(),
                   error.c_str());
        return nullptr;
    }
    std::unique_ptr<CDravixLibrary> library(new CDravixLibrary(std::move(module)));
    if (!library->bind(path))
        return nullptr;
    return library;
}

// Binds every function; false when a needed one is missing, after naming each of them.
bool CDravixLibrary::bind(const std::string& path) {
    bool complete = true;
    auto lookUp = [&](const char* name, bool needed, auto& address) {
        address =
            reinterpret_cast<std::remove_reference_t<decltype(address)>>(m_module->symbol(name));
        if (!address && needed) {
            TraceError("CDravixLibrary::load", __LINE__, "%s has no function %s", path.c_str(),
                       name);
            complete = false;
        }
    };
#define VEMBRIX_DRAVIX_BIND(name, needed) lookUp(#name, needed, m_functions.name);
    VEMBRIX_DRAVIX_FUNCTIONS(VEMBRIX_DRAVIX_BIND)
#undef VEMBRIX_DRAVIX_BIND
    return complete;
}
