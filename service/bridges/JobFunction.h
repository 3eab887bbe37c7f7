// What the two bridges share about the job functions they carry out: the results a job
// or call ends with, and the shape of their function tables.
#pragma once

#include <string>
#include <utility>
#include <vector>

inline constexpr int kJobSuccess = 2;
inline constexpr int kJobError = 3;
inline constexpr int kJobBadData = 6;

inline constexpr const char* kCannotConnectMessage = "Cannot connect to printer";

// One job function: how many parameters it takes, which of them (counted from 0) are
// texts, how it calls the library with them, and which of its texts (counted among the
// texts from 0) name a file the library reads, or a font by family or, holding a "/",
// by its file.
template <typename Call>
struct JobFunction {
    JobFunction(const char* name, int count, std::vector<int> textPositions, Call call,
                std::vector<int> fileTexts = {}, std::vector<int> fontTexts = {})
        : name(name),
          count(count),
          textPositions(std::move(textPositions)),
          call(call),
          fileTexts(std::move(fileTexts)),
          fontTexts(std::move(fontTexts)) {}

    bool namesFiles() const { return !fileTexts.empty() || !fontTexts.empty(); }

    const char* name;
    int count;
    std::vector<int> textPositions;
    Call call;
    std::vector<int> fileTexts;
    std::vector<int> fontTexts;
};

// The function of that exact name (letter case counts), or null.
template <typename Call>
const JobFunction<Call>* findJobFunction(const std::vector<JobFunction<Call>>& table,
                                         const std::string& name) {
    for (const JobFunction<Call>& function : table)
        if (name == function.name)
            return &function;
    return nullptr;
}
