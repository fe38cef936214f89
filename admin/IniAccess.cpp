#include "admin/IniAccess.h"

#include "platform/InstallerFacade.h"
#include "platform/NulList.h"
#include "platform/PrivilegedRequestContract.h"

namespace {
InstallerFacade& installer() {
    return InstallerFacade::instance();
}
}  // namespace

void IniAccess::setMode() const {
    installer().setConfigMode(mode_);
}

std::optional<std::string> IniAccess::read(const char* section, const char* key,
                                           const char* file) const {
    std::string buffer(kBufferSize, '\0');
    setMode();
    const int length =
        installer().getPrivateProfileString(section, key, "", buffer.data(), kBufferSize, file);
    // A text that fills the buffer may have been cut.
    if (length < 0 || length >= kBufferSize - 2) {
        return std::nullopt;
    }
    buffer.resize(static_cast<size_t>(length));
    return buffer;
}

std::optional<std::string> IniAccess::value(const std::string& section, const std::string& key,
                                            const char* file) const {
    return read(section.c_str(), key.c_str(), file);
}

std::string IniAccess::valueOr(const std::string& section, const std::string& key,
                               const char* file) const {
    return value(section, key, file).value_or("");
}

std::vector<std::string> IniAccess::splitList(const std::string& list) {
    const auto views = NulList::items(list, NulList::EmptyItem::Skipped);
    return {views.begin(), views.end()};
}

std::optional<std::vector<std::string>> IniAccess::keys(const std::string& section,
                                                        const char* file) const {
    const auto list = read(section.c_str(), nullptr, file);
    if (!list) {
        return std::nullopt;
    }
    return splitList(*list);
}

std::optional<std::vector<std::string>> IniAccess::sections(const char* file) const {
    const auto list = read(nullptr, nullptr, file);
    if (!list) {
        return std::nullopt;
    }
    return splitList(*list);
}

bool IniAccess::write(const std::string& section, const std::string& key, const std::string& value,
                      const char* file) const {
    setMode();
    return installer().writePrivateProfileString(section.c_str(), key.c_str(), value.c_str(),
                                                 file) != FALSE;
}

bool IniAccess::removeKey(const std::string& section, const std::string& key,
                          const char* file) const {
    setMode();
    return installer().writePrivateProfileString(section.c_str(), key.c_str(), nullptr, file) !=
           FALSE;
}

bool IniAccess::writeDsn(const std::string& name, const std::string& driver) const {
    setMode();
    return installer().writeDSNToIni(name.c_str(), driver.c_str()) != FALSE;
}

bool IniAccess::removeDsn(const std::string& name) const {
    setMode();
    return installer().removeDSNFromIni(name.c_str()) != FALSE;
}

std::string IniAccess::withReason(const std::string& message, const std::string& reason) {
    return reason.empty() ? message : message + "\n" + reason;
}

std::string IniAccess::withHelperReason(const std::string& message, const std::string& reason,
                                        bool system, const std::string& helperReply) {
    return withReason(
        withReason(message, reason),
        privileged_request::helperExplanation(
            helperReply, system, [](std::string_view english) { return std::string(english); }));
}

bool IniAccess::removeDriver(const std::string& name) const {
    DWORD usage = 0;
    setMode();
    return installer().removeDriver(name.c_str(), FALSE, &usage) != FALSE;
}
