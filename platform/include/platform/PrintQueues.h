// The queues of the computer's print spooler, which a program that takes a printer's
// device for itself stops from printing into it meanwhile.
//
// Only a spooler on this computer is asked; none answering, or one that refuses, is
// reported with a reason in a few words.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct PrintQueue {
    std::string name;
    std::string deviceUri;  // where the queue prints to: "serial:/dev/ttyS0?baud=9600", ...
    bool stopped = false;   // paused: it takes jobs but prints none
};

bool listPrintQueues(std::vector<PrintQueue>& out, std::string& why);
bool pausePrintQueue(const std::string& name, std::string& why);
bool resumePrintQueue(const std::string& name, std::string& why);

}  // namespace platform
