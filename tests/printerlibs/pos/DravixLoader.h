// libDravix.so as the service loads it: by dlopen, each function looked up by name.
#pragma once

#include <dlfcn.h>

#include <string>

#include "dravix.h"

struct DravixLoader {
    void* library = nullptr;
#define DRAVIX_FUNCTION(name) decltype(&::name) name = nullptr
    DRAVIX_FUNCTION(selectInterface);
    DRAVIX_FUNCTION(selectCommandMode);
    DRAVIX_FUNCTION(setTimeout);
    DRAVIX_FUNCTION(openService);
    DRAVIX_FUNCTION(closeService);
    DRAVIX_FUNCTION(isOpen);
    DRAVIX_FUNCTION(getResult);
    DRAVIX_FUNCTION(setTransaction);
    DRAVIX_FUNCTION(setStatusUpdateEvent);
    DRAVIX_FUNCTION(printText);
    DRAVIX_FUNCTION(setTextEncoding);
    DRAVIX_FUNCTION(cutPaper);
    DRAVIX_FUNCTION(printBitmapFile);
    DRAVIX_FUNCTION(print1DBarcode);
    DRAVIX_FUNCTION(checkPrinterStatus);
    DRAVIX_FUNCTION(asbEnable);
    DRAVIX_FUNCTION(openDrawer);
    DRAVIX_FUNCTION(getModelName);
    DRAVIX_FUNCTION(directIO);
#undef DRAVIX_FUNCTION

    // False with `error` set when the library or a name is missing.
    bool load(const char* path, std::string& error) {
        library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (!library) {
            error = dlerror();
            return false;
        }
        bool found = true;
        auto bind = [&](auto& function, const char* name) {
            function =
                reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(library, name));
            if (!function) {
                error += std::string(" missing ") + name;
                found = false;
            }
        };
#define DRAVIX_BIND(name) bind(name, #name)
        DRAVIX_BIND(selectInterface);
        DRAVIX_BIND(selectCommandMode);
        DRAVIX_BIND(setTimeout);
        DRAVIX_BIND(openService);
        DRAVIX_BIND(closeService);
        DRAVIX_BIND(isOpen);
        DRAVIX_BIND(getResult);
        DRAVIX_BIND(setTransaction);
        DRAVIX_BIND(setStatusUpdateEvent);
        DRAVIX_BIND(printText);
        DRAVIX_BIND(setTextEncoding);
        DRAVIX_BIND(cutPaper);
        DRAVIX_BIND(printBitmapFile);
        DRAVIX_BIND(print1DBarcode);
        DRAVIX_BIND(checkPrinterStatus);
        DRAVIX_BIND(asbEnable);
        DRAVIX_BIND(openDrawer);
        DRAVIX_BIND(getModelName);
        DRAVIX_BIND(directIO);
#undef DRAVIX_BIND
        return found;
    }
    void unload() {
        if (library)
            dlclose(library);
        library = nullptr;
    }

    // Opens the printer at a port text the way the service does; the handle, or 0.
    int open(int portType, const std::u16string& portText, bool commandMode = true) {
        int handle =
            selectInterface(portType, reinterpret_cast<const cvn_wchar*>(portText.c_str()));
        if (commandMode)
            selectCommandMode(handle, DRAVIX_MODE_ESCPOS);
        openService(handle);
        return handle;
    }
    int text(int handle, const std::u16string& text, const int* attributes = nullptr) {
        return printText(handle, reinterpret_cast<const cvn_wchar*>(text.c_str()), attributes);
    }

    // The receipt the service prints to test a printer: logo, header, ten items and
    // totals, footer, bar code, cut and drawer, in one transaction.
    void printTestReceipt(int handle) {
        static const int kHeader[7] = {0, 0, 0, 0, 0, 1, 0};
        std::u16string rule(42, u'-');
        std::u16string body = rule + u"\n";
        for (int i = 0; i < 10; ++i)
            body += u"Items 1                             100.00\n";
        std::u16string line = std::u16string(26, u' ') + std::u16string(16, u'-') + u"\n";
        body += rule + u"\n" + u"                          Sub-Total 895.00\n" +
                u"                          Discount    5.00\n" + line +
                u"                          Tax Total 100.00\n" + line +
                u"                          Total   1,000.00\n" + line;
        setTransaction(handle, 1);
        printBitmapFile(handle, reinterpret_cast<const cvn_wchar*>(u"logo.bmp"), -2, 1, 0, 0, 1);
        text(handle, u"1 Example Street\nSuite 2\nSpringfield\nUnited Kingdom\n\n\n", kHeader);
        text(handle, body);
        text(handle, u"\n\n\nwww.example.com\nshop.example.com\nhelp.example.com\n\n\n\n\n\n",
             kHeader);
        print1DBarcode(handle, reinterpret_cast<const cvn_wchar*>(u"1234567890123456"), 110, 100, 3,
                       1, 2);
        cutPaper(handle, 65);
        openDrawer(handle, 0);
        setTransaction(handle, 0);
    }
};
