// The files a web job may name. A job comes from any page the user opens, so it reaches
// only the pictures directly in the folder the program's pictures ship in, and regular
// files in the folder the JobFileFolder setting names (and below it). Any other name, and a name of
// a file that is not there, is refused alike: a job's result never tells a page whether
// some file exists.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct CallArguments;

class CJobFiles {
public:
    // The folders of the process's settings.
    static CJobFiles fromSettings();
    // `jobFileFolder` relative: taken in the program directory; empty: none.
    CJobFiles(const std::string& shippedFolder, const std::string& jobFileFolder);

    // The full path of the allowed file a job names, without links; nothing otherwise. A
    // relative name is looked for in the job-file folder first, then among the shipped
    // files.
    std::optional<std::string> resolve(const std::string& name) const;
    // Puts the full path in place of each of the call's texts that name a file, and of
    // each font text that names its font by a path (with a "/"); false, with an error
    // trace line under `method`, at the first name that is refused.
    bool confine(CallArguments& args, const std::vector<int>& fileTexts,
                 const std::vector<int>& fontTexts, const char* method) const;

private:
    // The path without links when it leads to an allowed regular file.
    std::optional<std::string> allowed(const std::string& path) const;

    std::optional<std::string> m_shippedFolder;  // both without links
    std::optional<std::string> m_jobFileFolder;
};
