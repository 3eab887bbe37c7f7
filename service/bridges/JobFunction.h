// What the two bridges share about the job functions they carry out: the results a job
// or call ends with, and the shape of their function tables.
#pragma once

#include <string>
#include <vector>

inline constexpr int kJobSuccess = 2;
inline constexpr int kJobError = 3;
inline constexpr int kJobBadData = 6;

inline constexpr const char* kCannotConnectMessage = "Cannot connect to printer";

// One job function: how many parameters it takes, which of them (counted from 0) are
// texts, and how it calls the library with them.
template <typename Call>
struct JobFunction {
    const char* name;
    int count;
    std::vector<int> textPositions;
    Call call;
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
