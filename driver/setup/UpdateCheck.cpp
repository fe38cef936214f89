#include "driver/setup/UpdateCheck.h"

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <system_error>

#include "driver/core/PlatformUtil.h"
#include "driver/setup/AlertPanel.h"
#include "driver/setup/LocalizedStrings.h"
#include "driver/setup/UiModule.h"
#include "platform/SystemLog.h"

namespace fs = std::filesystem;

namespace {

constexpr int kProductId = 10;
constexpr long kConnectTimeoutMs = 10'000;
constexpr long kTotalTimeoutMs = 30'000;
constexpr const char* kServicePath = "/CheckUpdates.php";

struct ApplicationBit {
    unsigned long bit;
    std::vector<const char*> identifiers;
};

// Bit 1 is the server's program file, tested on its own.
const std::vector<ApplicationBit>& applicationBits() {
    static const std::vector<ApplicationBit> bits = {
        {1, {"com.filemaker.client.advanced12", "com.filemaker.client.pro12"}},
        {4, {"com.microsoft.Excel"}},
        {8, {"org.iodbc.iODBCAdministrator", "org.iodbc.iODBCAdministrator64"}},
        {16, {"com.tableausoftware.tableaupublic"}},
        {32, {"com.xojo.xojo"}},
        {64, {"org.R-project.R"}},
        {128, {"org.rstudio.RStudio"}},
        {256, {"org.libreoffice.script", "com.collabora.libreoffice-free"}},
        {512, {"org.openoffice.script"}},
        {1024, {"org.neooffice.NeoOfficeSecureEdition"}},
        {2048, {"com.RainingData.OmnisStudio", "net.omnis.OmnisStudio"}},
        {4096, {"com.4D.4D", "com.4D.4DServer", "com.4D.4DRuntimeVolumeLicense"}},
        {8192, {"com.claris.pro"}},
        {16384, {"com.sas.jmp"}},
    };
    return bits;
}
constexpr unsigned long kServerBit = 2;
constexpr const char* kServerFile = "/opt/FileMaker/FileMaker Server/Database Server/bin/fmserverd";

struct Field {
    const char* name;
    const char* type;
    const std::optional<std::string>* value;
};

std::string element(const char* name, const char* type, const std::string& value) {
    return std::string("<") + name + " xsi:type=\"" + type + "\">" + xmlEscape(value) + "</" +
           name + ">";
}

std::string serviceUrl() {
#ifdef MORVANEX_TEST_HOOKS
    if (const char* url = std::getenv("MORVANEX_TEST_UPDATE_URL"); url != nullptr && *url) {
        return url;
    }
#endif
    return std::string("https://") + MORVANEX_UPDATE_HOST + kServicePath;
}

long totalTimeoutMs() {
#ifdef MORVANEX_TEST_HOOKS
    if (const char* ms = std::getenv("MORVANEX_TEST_UPDATE_TIMEOUT_MS"); ms != nullptr && *ms) {
        return std::strtol(ms, nullptr, 10);
    }
#endif
    return kTotalTimeoutMs;
}

std::vector<fs::path> xdgDataFolders() {
    std::vector<fs::path> folders;
    if (const char* home = ::secure_getenv("XDG_DATA_HOME"); home != nullptr && home[0] == '/') {
        folders.emplace_back(home);
    } else if (const char* user = ::secure_getenv("HOME"); user != nullptr && user[0] == '/') {
        folders.push_back(fs::path(user) / ".local" / "share");
    }
    const char* dirs = ::secure_getenv("XDG_DATA_DIRS");
    std::string_view rest = dirs != nullptr && *dirs ? dirs : "/usr/local/share:/usr/share";
    while (!rest.empty()) {
        const std::size_t colon = std::min(rest.find(':'), rest.size());
        if (colon > 0 && rest[0] == '/') {
            folders.emplace_back(rest.substr(0, colon));
        }
        rest.remove_prefix(std::min(colon + 1, rest.size()));
    }
    return folders;
}

bool fileExists(const fs::path& path) {
    std::error_code error;
    return fs::exists(path, error);
}

}  // namespace

std::string xmlEscape(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

std::string updateEnvelope(const UpdateRequest& request) {
    std::string fields = element("productID", "xsd:int", std::to_string(request.productId)) +
                         element("currentVersion", "xsd:string", request.currentVersion);
    const Field optional[] = {
        {"architecture", "xsd:string", &request.architecture},
        {"osVersion", "xsd:string", &request.osVersion},
        {"appName", "xsd:string", &request.appName},
        {"appVersion", "xsd:string", &request.appVersion},
        {"operation", "xsd:string", &request.operation},
        {"compatibility", "xsd:string", &request.compatibility},
    };
    for (const Field& field : optional) {
        if (field.value->has_value()) {
            fields += element(field.name, field.type, **field.value);
        }
    }
    return std::string(
               "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
               "<SOAP-ENV:Envelope xmlns:xsd=\"http://www.w3.org/1999/XMLSchema\""
               " xmlns:xsi=\"http://www.w3.org/1999/XMLSchema-instance\""
               " SOAP-ENV:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\""
               " xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\""
               " xmlns:SOAP-ENC=\"http://schemas.xmlsoap.org/soap/encoding/\">"
               "<SOAP-ENV:Body><m:getUpdateVersion xmlns:m=\"") +
           xmlEscape(MORVANEX_UPDATE_NAMESPACE) + "\">" + fields +
           "</m:getUpdateVersion></SOAP-ENV:Body></SOAP-ENV:Envelope>";
}

std::string updateHeaders(std::size_t bodyBytes) {
    return std::string("Content-Type: text/xml; charset=utf-8\n") + "SOAPAction: " + kServicePath +
           "\n" + "Content-Length: " + std::to_string(bodyBytes) + "\n";
}

UpdateReply parseUpdateReply(std::string_view reply) {
    constexpr std::string_view kOpen = "<Result ";
    constexpr std::string_view kClose = "</Result>";
    std::size_t start = std::string_view::npos;
    for (std::size_t i = 0; i + kOpen.size() <= reply.size(); ++i) {
        if (strncasecmp(reply.data() + i, kOpen.data(), kOpen.size()) == 0) {
            start = i;
            break;
        }
    }
    if (start == std::string_view::npos) {
        return {std::nullopt, "get version update - result tag not found (2)"};
    }
    const std::size_t gt = reply.find('>', start);
    const std::size_t close = reply.find(kClose, start);
    if (gt == std::string_view::npos || close == std::string_view::npos) {
        return {std::nullopt, "get version update - incorrect format"};
    }
    if (close < gt) {
        return {std::nullopt, "get version update - result value not found"};
    }
    return {std::string(reply.substr(gt + 1, close - gt - 1)), ""};
}

int requestUpdateVersion(const UpdateRequest& request, std::string& result) {
    const MorvanexUiTable* ui = UiModule::table();
    if (!MORVANEX_UI_HAS(MorvanexUiTable, ui, httpPost) ||
        !MORVANEX_UI_HAS(MorvanexUiTable, ui, freeReply)) {
        SystemLog::error("get version update - no web service reply");
        return 1;
    }
    const std::string body = updateEnvelope(request);
    const std::string headers = updateHeaders(body.size());
    const std::string url = serviceUrl();
    const MorvanexHttpRequest http{url.c_str(), headers.c_str(),   body.c_str(),
                                   body.size(), kConnectTimeoutMs, totalTimeoutMs()};
    MorvanexHttpReply reply{};
    const MorvanexUiHost host = UiModule::host();
    const int sent = ui->httpPost(&host, &http, &reply);
    std::unique_ptr<MorvanexHttpReply, void (*)(MorvanexHttpReply*)> owned(&reply, ui->freeReply);
    if (sent != 0 || reply.body == nullptr || reply.bodySize == 0) {
        SystemLog::error(std::string("get version update - no web service reply: ") + reply.error);
        return 1;
    }
    const UpdateReply parsed = parseUpdateReply(std::string_view(reply.body, reply.bodySize));
    if (!parsed.result) {
        SystemLog::error(parsed.logLine);
        return 1;
    }
    result = *parsed.result;
    return 0;
}

int requestUpdateVersion(int productId, const char* currentVersion, std::string& result) {
    UpdateRequest request;
    request.productId = productId;
    request.currentVersion = currentVersion != nullptr ? currentVersion : "";
    return requestUpdateVersion(request, result);
}

unsigned long installedApplicationsMask(const std::vector<fs::path>& dataFolders,
                                        const fs::path& serverFile) {
    unsigned long mask = fileExists(serverFile) ? kServerBit : 0;
    for (const ApplicationBit& entry : applicationBits()) {
        for (const char* identifier : entry.identifiers) {
            for (const fs::path& folder : dataFolders) {
                if (fileExists(folder / "applications" / (std::string(identifier) + ".desktop"))) {
                    mask |= entry.bit;
                }
            }
        }
    }
    return mask;
}

unsigned long getInstalledApplicationsMask() {
    return installedApplicationsMask(xdgDataFolders(), kServerFile);
}

std::string formatApplicationsMask(unsigned long mask) {
    char text[24];
    std::snprintf(text, sizeof text, "%04lX", mask);
    return text;
}

UpdateMessage updateMessage(int status, const std::string& result) {
    if (status != 0) {
        return {"Could not connect to the server.",
                "Please check your internet connection and try again."};
    }
    if (strcasecmp(result.c_str(), "UP_TO_DATE") == 0) {
        return {"The driver is up to date.", ""};
    }
    if (result.starts_with("ERR_")) {
        return {"There was a problem connecting to the server.",
                "Please contact Vorlan support at support@vorlanworks.com."};
    }
    return {"A new version is available.",
            "The new version may be downloaded from the Vorlan web site."};
}

void checkForUpdates() {
    UpdateRequest request;
    request.productId = kProductId;
    request.currentVersion = getBundleVersion(kDriverBundleIdentifier);
    std::string architecture;
    getArchitecture(architecture);
    std::string os;
    getOsVersionString(os);
    std::string appName;
    std::string appVersion;
    getHostAppNameAndVersion(appName, appVersion);
    request.architecture = architecture;
    request.osVersion = os;
    request.appName = appName;
    request.appVersion = appVersion;
    request.operation = "1";
    request.compatibility = formatApplicationsMask(getInstalledApplicationsMask());
    std::string result;
    const int status = requestUpdateVersion(request, result);
    const UpdateMessage message = updateMessage(status, result);
    showAlert(copyDefaultLocalizedString(message.title).c_str(),
              copyDefaultLocalizedString(message.message).c_str(), nullptr);
}
