#pragma once

#include <optional>
#include <string>
#include <vector>

// The installer calls of the administrator, each made with its
// configuration mode set right before it (iODBC resets the mode after
// every profile call). Reads that would not fit their buffer answer
// nothing instead of a cut text.
class IniAccess {
  public:
    enum Mode : unsigned short { Both = 0, User = 1, System = 2 };
    static constexpr int kBufferSize = 65536;

    explicit IniAccess(Mode mode) : mode_(mode) {}
    Mode mode() const { return mode_; }

    std::optional<std::string> value(const std::string& section, const std::string& key,
                                     const char* file = nullptr) const;
    // The value, or "" when absent or too long.
    std::string valueOr(const std::string& section, const std::string& key,
                        const char* file = nullptr) const;
    std::optional<std::vector<std::string>> keys(const std::string& section,
                                                 const char* file = nullptr) const;
    std::optional<std::vector<std::string>> sections(const char* file) const;

    bool write(const std::string& section, const std::string& key, const std::string& value,
               const char* file) const;
    bool removeKey(const std::string& section, const std::string& key, const char* file) const;
    bool writeDsn(const std::string& name, const std::string& driver) const;
    bool removeDsn(const std::string& name) const;
    bool removeDriver(const std::string& name) const;
    void setMode() const;

    // A message with the writer's reason for a failure (the file and the
    // cause) after it, when there is one.
    static std::string withReason(const std::string& message, const std::string& reason);
    // The same once the privileged helper made no change either: for the
    // system's files, also what its reply means (refused: who may change
    // them; not reached: how it is enabled; failed: what it answered).
    static std::string withHelperReason(const std::string& message, const std::string& reason,
                                        bool system, const std::string& helperReply);

  private:
    std::optional<std::string> read(const char* section, const char* key, const char* file) const;
    static std::vector<std::string> splitList(const std::string& list);

    Mode mode_;
};
