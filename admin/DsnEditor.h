#pragma once

#include <string>
#include <vector>

#include "admin/IniAccess.h"
#include "admin/PrivilegedRequest.h"

// The generic DSN editor's logic: what the form shows for a DSN and how
// its OK writes it.
class DsnEditor {
  public:
    using Rows = std::vector<std::vector<std::string>>;  // keyword, value

    enum class Outcome {
        Written,        // the ini files were written here
        Sent,           // the helper applied the request
        HelperRefused,  // the helper did not answer "OK"
        TooLong,        // the request would exceed its limit: nothing sent
    };

    struct Loaded {
        std::string name;
        std::string description;
        Rows rows;
        bool missing = false;  // the DSN's section has no keys
    };

    DsnEditor(std::string originalName, std::string driver, IniAccess::Mode mode,
              PrivilegedRequest::Sender sender);

    Loaded load() const;
    // OK is possible exactly while the name is filled.
    static bool canSave(const std::string& name);
    // True when saving under `name` would replace another DSN of the
    // form's file (not the one being configured).
    bool replacesAnother(const std::string& name) const;
    // Same name (ignoring case): written in place and keys the form dropped
    // deleted; a new name: the new entry first, then the old one removed.
    // When a local write fails, one request to the helper instead.
    // Written locally as one action: each file replaced once.
    Outcome save(const std::string& name, const std::string& description, const Rows& rows) const;
    // Why the last local write failed (the file and the cause), or empty.
    const std::string& problem() const { return problem_; }
    // The helper's reply to the last request sent, or empty.
    const std::string& helperReply() const { return helperReply_; }

    const std::string& originalName() const { return originalName_; }
    IniAccess::Mode mode() const { return ini_.mode(); }

  private:
    bool writeLocally(const std::string& name, const std::string& description,
                      const Rows& rows) const;
    bool writeEntries(const std::string& name, const std::string& description,
                      const Rows& rows) const;
    bool removeDroppedKeys(const std::string& name, const Rows& rows) const;
    Outcome sendRequest(const std::string& name, const std::string& description,
                        const Rows& rows) const;

    std::string originalName_;
    std::string driver_;
    IniAccess ini_;
    PrivilegedRequest::Sender sender_;
    mutable std::string problem_;
    mutable std::string helperReply_;
};

// Keys the editors never show as rows.
bool isHiddenDsnKey(const std::string& key);
