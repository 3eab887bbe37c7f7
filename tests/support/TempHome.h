// A private program directory for one test: a fresh temporary folder that
// VEMBRIX_HOME points at while the object lives, removed with everything in it after.
#pragma once

#include <string>

class TempHome {
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    void writeFile(const std::string& name, const std::string& contents) const;
    std::string readFile(const std::string& name) const;

private:
    std::string path_;
    std::string previousHome_;
    bool hadPreviousHome_ = false;
};
