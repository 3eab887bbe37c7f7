#include "TempHome.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

TempHome::TempHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vembrix-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    if (const char* previous = std::getenv("VEMBRIX_HOME")) {
        hadPreviousHome_ = true;
        previousHome_ = previous;
    }
    setenv("VEMBRIX_HOME", path_.c_str(), 1);
}

TempHome::~TempHome() {
    if (hadPreviousHome_)
        setenv("VEMBRIX_HOME", previousHome_.c_str(), 1);
    else
        unsetenv("VEMBRIX_HOME");
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void TempHome::writeFile(const std::string& name, const std::string& contents) const {
    std::ofstream out(file(name), std::ios::binary | std::ios::trunc);
    out << contents;
}

std::string TempHome::readFile(const std::string& name) const {
    std::ifstream in(file(name), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
