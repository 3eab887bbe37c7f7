// A printer link in memory for the POS library's unit tests: it keeps every write,
// answers queries from a list of replies and can refuse writes on cue.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "PosService.h"
#include "PrinterLink.h"

class MemoryLink : public PrinterLink {
public:
    struct State {
        std::vector<std::string> writes;
        std::deque<std::string> replies;
        bool failWrites = false;
        int watching = -1;
    };

    explicit MemoryLink(std::shared_ptr<State> state) : state_(std::move(state)) {}

    bool send(std::string_view bytes) override {
        if (state_->failWrites)
            return false;
        state_->writes.emplace_back(bytes);
        return true;
    }
    std::optional<std::string> exchange(std::string_view query, const ReplyCheck& check,
                                        int) override {
        state_->writes.emplace_back(query);
        if (state_->replies.empty())
            return std::nullopt;
        std::string reply = state_->replies.front();
        state_->replies.pop_front();
        size_t length = check(reply);
        if (length == 0)
            return std::nullopt;
        return reply.substr(0, length);
    }
    int watchStatus(bool on) override {
        state_->watching = on ? 1 : 0;
        return 0;
    }

private:
    std::shared_ptr<State> state_;
};

// Bytes by their values: bytes({0x1B, 'a', 1}).
inline std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int value : values)
        out += static_cast<char>(value);
    return out;
}

// An open service over a memory link.
struct MemoryPrinter {
    std::shared_ptr<MemoryLink::State> state = std::make_shared<MemoryLink::State>();
    std::shared_ptr<PosService> service;

    MemoryPrinter() {
        auto state_ = state;
        service = std::make_shared<PosService>(
            PortTarget{2, u"127.0.0.1", 0}, [state_](const PortTarget&, std::weak_ptr<LinkListener>,
                                                     std::unique_ptr<PrinterLink>& link) {
                link = std::make_unique<MemoryLink>(state_);
                return 0;
            });
        service->open();
    }
    // Everything written, in order.
    std::string sent() const {
        std::string all;
        for (const std::string& write : state->writes)
            all += write;
        return all;
    }
};
