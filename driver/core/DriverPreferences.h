#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/PropertyList.h"

// Settings of the driver as a whole (TraceFile, TraceLevel, LastUser,
// RecentServers, RecentDatabases). The driver's section of ODBCINST.INI,
// read and written in system mode, wins over a property list named after
// the bundle identifier in the system's or else the user's preferences
// folder. Writes the installer file refuses can travel as an
// "UpdatePreferences" request to the administrator application; settings
// of the user's alone go to the user's own property list.
class DriverPreferences {
  public:
    DriverPreferences(std::string bundleIdentifier, std::string productName,
                      std::string teamIdentifier);
    // `directory` is the system preferences folder, ending in "/".
    DriverPreferences(std::string bundleIdentifier, std::string productName,
                      std::string teamIdentifier, std::string directory);
    virtual ~DriverPreferences();
    DriverPreferences(const DriverPreferences&) = delete;
    DriverPreferences& operator=(const DriverPreferences&) = delete;

    // The loaded property list itself.
    virtual PropertyList& dictionary();

    // The stored value; changes made with set are not seen before save.
    std::string get(const std::string& key) const;
    void set(const std::string& key, const std::string& value);
    // Writes every pending change (an empty value deletes the key). When a
    // write fails and `useRequest` is set, the result is the request's.
    bool save(bool useRequest = false);
    // Why the last save could not write the file itself (the file and the
    // cause), or empty.
    const std::string& failure() const { return failure_; }
    // Writes every pending change into the user's own property list
    // instead, which only this user's processes read. A process keeping
    // root's rules writes it only where root alone could change it
    // (TrustedPath) and makes no folder for it.
    bool saveForUser() const;

    std::string getTraceFile() const { return get("TraceFile"); }
    void setTraceFile(const std::string& value) { set("TraceFile", value); }
    std::string getLastUser() const { return get("LastUser"); }
    void setLastUser(const std::string& value) { set("LastUser", value); }
    std::vector<std::string> getRecentServers() const { return recentList("RecentServers"); }
    std::vector<std::string> getRecentDatabases() const { return recentList("RecentDatabases"); }
    void setRecentServers(const std::vector<std::string>& values);
    void setRecentDatabases(const std::vector<std::string>& values);

    const std::string& bundleIdentifier() const { return bundleIdentifier_; }
    const std::string& productName() const { return productName_; }
    const std::map<std::string, std::string>& pendingChanges() const { return pending_; }

    // The "Preferences" data of an UpdatePreferences request for `pending`.
    static std::string preferencesXml(const std::map<std::string, std::string>& pending);

  private:
    void load();
    std::string readInstallerValue(const std::string& key) const;
    std::vector<std::string> recentList(const std::string& key) const;
    bool writeInstallerValue(const std::string& key, const std::string& value) const;
    bool sendRequest();

    std::string bundleIdentifier_;
    std::string productName_;
    std::string teamIdentifier_;
    std::string directory_;
    std::map<std::string, std::string> pending_;
    std::string failure_;
    PropertyList dictionary_;
};
