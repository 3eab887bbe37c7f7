// The service's own settings, kept in the section "Vembrix" of "vembrix.ini".
//
// Several threads read the settings while the UI thread loads and saves them: the
// record sits behind a lock and is handed out whole, by value.
#pragma once

#include <mutex>
#include <string>

class CINIHelper;

struct ServiceSettingsValues {
    int restrictPublic = 1;
    int listenPort = 8080;
    int responseStatus = 0;
    int checkDupReq = 1;  // a record not loaded yet checks; a file without the key does not
    int showWindow = 1;
    int deviceLog = 0;
    int thruPassMode = 0;
    std::string thruPassIP;
    int thruPassPort = 8080;
    // Where the files that web jobs may name lie besides the pictures that ship with the
    // program; a relative path is taken in the program directory.
    std::string jobFileFolder = "JobFiles";
};

class CServiceSettings {
public:
    static constexpr const char* kSection = "Vembrix";

    CServiceSettings() = default;
    virtual ~CServiceSettings() = default;
    CServiceSettings(const CServiceSettings&) = delete;
    CServiceSettings& operator=(const CServiceSettings&) = delete;

    // The process-wide settings, created on first use; destroyInstance() frees them at
    // shutdown, once no other thread uses them.
    static CServiceSettings& instance();
    static void destroyInstance();

    // False when the file is there but cannot be read: the record then holds the
    // defaults of a file without keys. A missing file gives those defaults and true.
    bool loadSettings();
    // Keeps the four values and writes them to the file; false when the file could
    // not be written (the record has them all the same). CINIHelper::LastError() says
    // why a load or a save failed.
    bool saveSettings(int listenPort, int showWindow, int checkDupReq, int deviceLog);
    // The same, and the folder of job files (which the settings dialog does not show).
    bool saveSettings(int listenPort, int showWindow, int checkDupReq, int deviceLog,
                      const std::string& jobFileFolder);

    // A file without the settings section reads as holding no printers: whatever adds a
    // printer to such a file adds the section too, with the values a file without the
    // keys gives, so that the service runs as before and the printer is there.
    static void addSectionIfMissing(CINIHelper& ini);

    ServiceSettingsValues values() const;
    int restrictPublic() const;
    int listenPort() const;
    int checkDupReq() const;
    int showWindow() const;
    int deviceLog() const;
    std::string jobFileFolder() const;

private:
    mutable std::mutex m_lock;
    // Keeps and writes the values; the folder of job files only when given.
    bool save(int listenPort, int showWindow, int checkDupReq, int deviceLog,
              const std::string* jobFileFolder);
    // The keys the settings dialog saves, in its order.
    static void writeSavedKeys(CINIHelper& ini, int listenPort, int showWindow, int checkDupReq,
                               int deviceLog);

    ServiceSettingsValues m_values;
};
