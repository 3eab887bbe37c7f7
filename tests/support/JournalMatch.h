// Reading a virtual printer's journal against what a test expects: each expected element
// is a JSON object whose members the journal element must have, with those values.
#pragma once

#include <json/json.h>

#include <sstream>
#include <string>
#include <vector>

namespace journalmatch {

inline Json::Value parse(const std::string& text) {
    Json::Value value;
    Json::CharReaderBuilder builder;
    std::string errors;
    std::istringstream in(text);
    Json::parseFromStream(builder, in, &value, &errors);
    return value;
}

// "" when `actual` has one element for each of `expected`, in order, with at least its
// members; otherwise what differs first.
inline std::string mismatch(const std::vector<Json::Value>& actual,
                            const std::vector<std::string>& expected) {
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "";
    writer["emitUTF8"] = true;
    for (size_t i = 0; i < expected.size(); ++i) {
        if (i >= actual.size())
            return "missing element " + std::to_string(i) + ": " + expected[i];
        Json::Value wanted = parse(expected[i]);
        for (const std::string& name : wanted.getMemberNames())
            if (actual[i][name] != wanted[name])
                return "element " + std::to_string(i) + " " + Json::writeString(writer, actual[i]) +
                       " differs from " + expected[i] + " in " + name;
    }
    if (actual.size() > expected.size())
        return "unexpected element " + Json::writeString(writer, actual[expected.size()]);
    return {};
}

}  // namespace journalmatch
