#include "JobFiles.h"

#include "CallArguments.h"
#include "ServiceSettings.h"
#include "TraceLog.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace {

bool isAbsolute(const std::string& path) {
    return !path.empty() && path.front() == platform::kPathSeparator;
}

bool isBelow(const std::string& path, const std::string& folder) {
    const std::string prefix =
        folder.back() == platform::kPathSeparator ? folder : folder + platform::kPathSeparator;
    return path.compare(0, prefix.size(), prefix) == 0;
}

// The shipped folder holds more than pictures (beside the program in a build: the
// program itself, its libraries, perhaps vembrix.ini); a job reaches only the pictures.
bool isPicture(const std::string& path) {
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos)
        return false;
    const std::string extension = platform::asciiLower(path.substr(dot + 1));
    for (const char* picture : {"bmp", "png", "jpg", "jpeg", "gif"}) {
        if (extension == picture)
            return true;
    }
    return false;
}

// The folder without links; nothing when it is not there.
std::optional<std::string> folder(const std::string& path) {
    return path.empty() ? std::nullopt : platform::canonicalPath(path);
}

}  // namespace

CJobFiles CJobFiles::fromSettings() {
    return CJobFiles(platform::dataDirectory(), CServiceSettings::instance().jobFileFolder());
}

CJobFiles::CJobFiles(const std::string& shippedFolder, const std::string& jobFileFolder)
    : m_shippedFolder(folder(shippedFolder)),
      m_jobFileFolder(
          folder(isAbsolute(jobFileFolder) || jobFileFolder.empty()
                     ? jobFileFolder
                     : platform::joinPath(platform::programDirectory(), jobFileFolder))) {}

std::optional<std::string> CJobFiles::resolve(const std::string& name) const {
    if (name.empty())
        return std::nullopt;
    if (isAbsolute(name))
        return allowed(name);
    for (const std::optional<std::string>& in : {m_jobFileFolder, m_shippedFolder}) {
        if (!in)
            continue;
        if (std::optional<std::string> path = allowed(platform::joinPath(*in, name)))
            return path;
    }
    return std::nullopt;
}

std::optional<std::string> CJobFiles::allowed(const std::string& path) const {
    // Links and ".." are followed first: what counts is where the name leads. Only a
    // name inside the folders is opened at all.
    std::optional<std::string> real = platform::canonicalPath(path);
    if (!real)
        return std::nullopt;
    const bool shipped =
        m_shippedFolder && platform::folderOf(*real) == *m_shippedFolder && isPicture(*real);
    const bool inFolders = shipped || (m_jobFileFolder && isBelow(*real, *m_jobFileFolder));
    return inFolders && platform::canOpenForReading(*real) ? real : std::nullopt;
}

bool CJobFiles::confine(CallArguments& args, const std::vector<int>& fileTexts,
                        const std::vector<int>& fontTexts, const char* method) const {
    auto confined = [&](std::string& name) {
        std::optional<std::string> path = resolve(name);
        if (!path) {
            TraceError(method, __LINE__, "no file a job may name: \"%s\"", name.c_str());
            return false;
        }
        name = *path;
        return true;
    };
    for (int k : fileTexts)
        if (!confined(args.texts[k]))
            return false;
    for (int k : fontTexts)
        if (args.texts[k].find(platform::kPathSeparator) != std::string::npos &&
            !confined(args.texts[k]))
            return false;
    return true;
}
