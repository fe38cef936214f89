#pragma once

#include <string>
#include <vector>

#include "admin/IniAccess.h"
#include "admin/PrivilegedRequest.h"

// The driver form's logic: one driver entry of odbcinst.ini, the user's
// shadowing the system's.
class DriverEditor {
  public:
    using Rows = std::vector<std::vector<std::string>>;  // keyword, value

    enum class Outcome { Written, Sent, HelperRefused };

    struct Fields {
        std::string name;
        std::string driverPath;
        std::string setupPath;
        bool system = true;
        bool locationFixed = false;  // an existing driver keeps its file
        Rows rows;
        bool missing = false;  // the driver's section has no keys
    };

    DriverEditor(std::string originalName, PrivilegedRequest::Sender sender);

    Fields load() const;
    // OK is possible exactly while both are filled.
    static bool canSave(const std::string& name, const std::string& driverPath);
    // Same name (ignoring case): written in place and keys the form dropped
    // deleted; a new name: the new entry first, then the old one removed.
    // Written locally as one action: each file replaced once.
    Outcome save(const Fields& fields) const;
    // Why the last local write failed (the file and the cause), or empty.
    const std::string& problem() const { return problem_; }
    // The helper's reply to the last request sent, or empty.
    const std::string& helperReply() const { return helperReply_; }

    // Removes a driver (not its DSNs) from the file that holds it, through
    // the helper when that file is not ours to write. True when it is gone
    // or the helper took the request; otherwise `problem` says why the
    // local removal failed.
    static bool remove(const std::string& name, const PrivilegedRequest::Sender& sender,
                       std::string& problem);

  private:
    bool writeLocally(const Fields& fields, const IniAccess& ini) const;
    bool writeEntries(const Fields& fields, const IniAccess& ini) const;
    bool removeDroppedKeys(const Fields& fields, const IniAccess& ini) const;

    std::string originalName_;
    PrivilegedRequest::Sender sender_;
    mutable std::string problem_;
    mutable std::string helperReply_;
};
