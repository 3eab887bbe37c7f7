// Fake USB printers through the system's own device database code: umockdev's testbed
// holds their device records (vendor, product, serial number) and their printer nodes,
// and the preload library this test program runs under shows them to libudev and to
// every open of /dev. A printer's node is the far end of a terminal the test holds,
// usually the virtual printer's serial line, so what the port writes is decoded and
// answered.
#pragma once

#include <map>
#include <string>

struct _UMockdevTestbed;

class UsbTestbed {
public:
    // Runs the test program again under the preload library, unless it already is.
    static void enterMockEnvironment(char** argv);

    UsbTestbed();
    ~UsbTestbed();
    UsbTestbed(const UsbTestbed&) = delete;
    UsbTestbed& operator=(const UsbTestbed&) = delete;

    // Plugs in a printer as /dev/usb/lp<number>, its node leading to `farEnd`.
    void attach(int number, const std::string& vendorId, const std::string& productId,
                const std::string& serialNumber, const std::string& farEnd);
    // Unplugs it: its records and its node go.
    void detach(int number);

    static std::string node(int number) { return "/dev/usb/lp" + std::to_string(number); }

private:
    struct Printer {
        std::string usb;
        std::string interface;
        std::string node;
    };

    _UMockdevTestbed* testbed_;
    std::map<int, Printer> printers_;
};
