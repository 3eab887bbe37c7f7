#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

namespace platform {

std::unique_ptr<DynamicLibrary> DynamicLibrary::load(const std::string& path, std::string& error) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = dlerror();
        error = reason ? reason : "unknown reason";
        return nullptr;
    }
    return std::unique_ptr<DynamicLibrary>(new DynamicLibrary(handle));
}

DynamicLibrary::~DynamicLibrary() {
    dlclose(handle_);
}

void* DynamicLibrary::symbol(const char* name) const {
    return dlsym(handle_, name);
}

std::string sharedLibraryFileName(std::string_view bareName) {
    std::string file = "lib";
    file += bareName;
    file += ".so";
    return file;
}

}  // namespace platform
