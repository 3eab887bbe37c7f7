// The POS printer library, loaded at run time by its bare name ("Dravix": libDravix.so
// beside the program) with its functions bound by name. Each printer connection loads
// its own reference and drops it when it ends.
#pragma once

#include <memory>
#include <string>

#include "dravix.h"
#include "platform/DynamicLibrary.h"

// X(name, needed): every function the binding looks up; a library that lacks a needed
// one is refused. The others are bound where present and never called.
#define VEMBRIX_DRAVIX_FUNCTIONS(X)       \
    X(selectInterface, true)              \
    X(selectCommandMode, true)            \
    X(setTimeout, false)                  \
    X(openService, true)                  \
    X(openServiceById, false)             \
    X(openUSBSerial, false)               \
    X(closeService, true)                 \
    X(restoreStandardState, false)        \
    X(isOpen, true)                       \
    X(getDeviceId, false)                 \
    X(directIO, true)                     \
    X(setTransaction, true)               \
    X(convertHID, false)                  \
    X(getResult, true)                    \
    X(setStatusUpdateEvent, true)         \
    X(setDataEvent, false)                \
    X(printText, true)                    \
    X(setTextEncoding, true)              \
    X(setCharacterset, true)              \
    X(setInternationalCharacterset, true) \
    X(cutPaper, true)                     \
    X(setPagemode, true)                  \
    X(setPagemodePrintArea, true)         \
    X(setPagemodeDirection, true)         \
    X(setPagemodePosition, true)          \
    X(printBitmapFile, true)              \
    X(print1DBarcode, true)               \
    X(printQRCode, true)                  \
    X(printPDF417, true)                  \
    X(printGS1Databar, true)              \
    X(printCompositeBarcode, true)        \
    X(printDataMatrix, true)              \
    X(checkPrinterStatus, true)           \
    X(asbEnable, true)                    \
    X(openDrawer, true)                   \
    X(checkBattStatus, false)             \
    X(getModelName, true)

// The library's function addresses, named as the library names them.
struct DravixFunctions {
#define VEMBRIX_DRAVIX_MEMBER(name, needed) decltype(&::name) name = nullptr;
    VEMBRIX_DRAVIX_FUNCTIONS(VEMBRIX_DRAVIX_MEMBER)
#undef VEMBRIX_DRAVIX_MEMBER
};

class CDravixLibrary {
public:
    static constexpr const char* kLibraryName = "Dravix";

    // Loads the library `name` from `directory` and binds its functions. Null, with an
    // error trace line naming what is missing, when the library cannot be loaded or
    // lacks a function the POS controller calls.
    static std::unique_ptr<CDravixLibrary> load(const std::string& directory,
                                                const std::string& name);

    const DravixFunctions& functions() const { return m_functions; }

private:
    explicit CDravixLibrary(std::unique_ptr<platform::DynamicLibrary> module)
        : m_module(std::move(module)) {}
    bool bind(const std::string& path);

    std::unique_ptr<platform::DynamicLibrary> m_module;
    DravixFunctions m_functions;
};
