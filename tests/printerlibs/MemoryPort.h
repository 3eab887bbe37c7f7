// An in-memory printer for the label library's tests: it keeps every write, answers
// questions it has replies for, holds answers back on cue and refuses writes on cue.
#pragma once

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "LabelPort.h"

struct MemoryPrinter {
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<std::string> writes;
    std::map<std::string, std::string> replies;  // question -> answer
    std::string inbox;
    std::string heldBack;
    bool holding = false;
    bool refuseWrites = false;

    std::string written() {
        std::lock_guard<std::mutex> lock(mutex);
        std::string all;
        for (const std::string& write : writes)
            all += write;
        return all;
    }
    void hold(bool on) {
        std::lock_guard<std::mutex> lock(mutex);
        holding = on;
        if (!on) {
            inbox += heldBack;
            heldBack.clear();
            arrived.notify_all();
        }
    }
};

class MemoryPort final : public CLabelPort {
public:
    explicit MemoryPort(std::shared_ptr<MemoryPrinter> printer) : printer_(std::move(printer)) {}

    bool write(std::string_view bytes) override {
        std::lock_guard<std::mutex> lock(printer_->mutex);
        if (printer_->refuseWrites)
            return false;
        printer_->writes.emplace_back(bytes);
        for (const auto& [question, answer] : printer_->replies)
            if (bytes.find(question) != std::string_view::npos)
                (printer_->holding ? printer_->heldBack : printer_->inbox) += answer;
        printer_->arrived.notify_all();
        return true;
    }
    std::string receive(std::chrono::milliseconds wait) override {
        std::unique_lock<std::mutex> lock(printer_->mutex);
        printer_->arrived.wait_for(lock, wait, [&] { return !printer_->inbox.empty(); });
        std::string out;
        out.swap(printer_->inbox);
        return out;
    }
    void discardReceived() override {
        std::lock_guard<std::mutex> lock(printer_->mutex);
        printer_->inbox.clear();
    }

private:
    std::shared_ptr<MemoryPrinter> printer_;
};

class MemoryOpener final : public CLabelPortOpener {
public:
    struct Opened {
        int portType;
        std::string portName;
    };

    explicit MemoryOpener(std::shared_ptr<MemoryPrinter> printer) : printer_(std::move(printer)) {}

    std::unique_ptr<CLabelPort> open(int portType, const std::string& portName) override {
        opened->push_back({portType, portName});
        if (*refuse)
            return nullptr;
        return std::make_unique<MemoryPort>(printer_);
    }
    std::string findUsbPrinter(const std::string& name) override {
        auto found = usbPrinters->find(name);
        return found == usbPrinters->end() ? std::string() : found->second;
    }

    // Shared with the test after the opener has moved into the library.
    std::shared_ptr<std::vector<Opened>> opened = std::make_shared<std::vector<Opened>>();
    std::shared_ptr<bool> refuse = std::make_shared<bool>(false);
    std::shared_ptr<std::map<std::string, std::string>> usbPrinters =
        std::make_shared<std::map<std::string, std::string>>();

private:
    std::shared_ptr<MemoryPrinter> printer_;
};
