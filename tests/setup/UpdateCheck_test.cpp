// The update check: its envelope, reply parser, mask and messages, and one
// exchange through the dialog module's transport with a loopback server.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>

#include "driver/setup/UpdateCheck.h"
#include "platform/SystemLog.h"
#include "tests/support/OdbcSandbox.h"
#include "tests/support/ScopedEnv.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kEnvelopeHead =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><SOAP-ENV:Envelope "
    "xmlns:xsd=\"http://www.w3.org/1999/XMLSchema\" "
    "xmlns:xsi=\"http://www.w3.org/1999/XMLSchema-instance\" "
    "SOAP-ENV:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\" "
    "xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" "
    "xmlns:SOAP-ENC=\"http://schemas.xmlsoap.org/soap/encoding/\"><SOAP-ENV:Body>"
    "<m:getUpdateVersion xmlns:m=\"urn:vorlanworks:CheckUpdates\">";
constexpr const char* kEnvelopeTail = "</m:getUpdateVersion></SOAP-ENV:Body></SOAP-ENV:Envelope>";

TEST(UpdateCheck, EnvelopeHoldsThePresentFieldsEscaped) {
    UpdateRequest minimal;
    minimal.productId = 10;
    minimal.currentVersion = "1.0.0";
    EXPECT_EQ(updateEnvelope(minimal),
              std::string(kEnvelopeHead) +
                  "<productID xsi:type=\"xsd:int\">10</productID>"
                  "<currentVersion xsi:type=\"xsd:string\">1.0.0</currentVersion>" +
                  kEnvelopeTail);

    UpdateRequest full = minimal;
    full.architecture = "x86_64";
    full.appName = "R&D <\"Tool\"> 'x'";
    full.compatibility = formatApplicationsMask(6);
    EXPECT_EQ(updateEnvelope(full),
              std::string(kEnvelopeHead) +
                  "<productID xsi:type=\"xsd:int\">10</productID>"
                  "<currentVersion xsi:type=\"xsd:string\">1.0.0</currentVersion>"
                  "<architecture xsi:type=\"xsd:string\">x86_64</architecture>"
                  "<appName xsi:type=\"xsd:string\">R&amp;D &lt;&quot;Tool&quot;&gt; "
                  "&apos;x&apos;</appName>"
                  "<compatibility xsi:type=\"xsd:string\">0006</compatibility>" +
                  kEnvelopeTail);
}

TEST(UpdateCheck, MaskFromDesktopFilesAndServerFile) {
    OdbcSandbox sandbox;
    const fs::path user = sandbox.root() / "user-data";
    const fs::path system = sandbox.root() / "system-data";
    const fs::path server = sandbox.root() / "fmserverd";
    struct Case {
        std::vector<std::pair<fs::path, const char*>> desktopFiles;
        bool server;
        const char* mask;
    };
    const Case cases[] = {
        {{}, false, "0000"},
        {{{system, "com.microsoft.Excel"}}, true, "0006"},
        {{{user, "com.sas.jmp"}}, false, "4000"},
        {{{user, "com.4D.4DServer"}, {system, "org.iodbc.iODBCAdministrator64"}}, false, "1008"},
    };
    for (const Case& c : cases) {
        fs::remove_all(user);
        fs::remove_all(system);
        fs::remove(server);
        for (const auto& [folder, identifier] : c.desktopFiles) {
            OdbcSandbox::writeFile(folder / "applications" / (std::string(identifier) + ".desktop"),
                                   "[Desktop Entry]\n");
        }
        if (c.server) {
            OdbcSandbox::writeFile(server, "");
        }
        EXPECT_EQ(formatApplicationsMask(installedApplicationsMask({user, system}, server)),
                  c.mask);
    }
}

TEST(UpdateCheck, ReplyParserAndMessages) {
    struct Case {
        const char* reply;
        const char* result;  // null: no result
        const char* log;
        const char* title;
    };
    const Case cases[] = {
        {"<r><Result xsi:type=\"xsd:string\">UP_TO_DATE</Result></r>", "UP_TO_DATE", "",
         "The driver is up to date."},
        {"<Result >up_to_date</Result>", "up_to_date", "", "The driver is up to date."},
        {"<Result a=\"1\">err_x</Result>", "err_x", "", "A new version is available."},
        {"<Result a=\"1\">ERR_DB</Result>", "ERR_DB", "",
         "There was a problem connecting to the server."},
        {"<Result a=\"1\"></Result>", "", "", "A new version is available."},
        {"<result a=\"1\">UP_TO_DATE</result>", nullptr, "get version update - incorrect format",
         "Could not connect to the server."},
        {"<Result a=\"1\"", nullptr, "get version update - incorrect format",
         "Could not connect to the server."},
        {"<Results>x</Results>", nullptr, "get version update - result tag not found (2)",
         "Could not connect to the server."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        const UpdateReply reply = parseUpdateReply(c.reply);
        EXPECT_EQ(reply.result.has_value(), c.result != nullptr);
        EXPECT_EQ(reply.result.value_or(""), c.result != nullptr ? c.result : "");
        EXPECT_EQ(reply.logLine, c.log);
        EXPECT_STREQ(updateMessage(reply.result ? 0 : 1, reply.result.value_or("")).title, c.title);
    }
}

// One connection on 127.0.0.1: records the request, then answers with
// `reply` (or never, when it is empty).
class LoopbackServer {
  public:
    explicit LoopbackServer(std::string reply) : reply_(std::move(reply)) {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        bind(listener_, reinterpret_cast<sockaddr*>(&address), size);
        listen(listener_, 1);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~LoopbackServer() {
        done_ = true;
        shutdown(listener_, SHUT_RDWR);
        thread_.join();
        close(listener_);
    }
    std::string url() const {
        return "http://127.0.0.1:" + std::to_string(port_) + "/CheckUpdates.php";
    }
    std::string request() { return received_.get_future().get(); }

  private:
    void serve() {
        const int client = accept(listener_, nullptr, nullptr);
        if (client < 0) {
            received_.set_value("");
            return;
        }
        char buffer[8192];
        for (;;) {
            const ssize_t n = read(client, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            request_.append(buffer, static_cast<std::size_t>(n));
            const std::size_t end = request_.find("\r\n\r\n");
            const std::size_t length = request_.find("Content-Length: ");
            if (end != std::string::npos && length != std::string::npos &&
                request_.size() >= end + 4 + std::stoul(request_.substr(length + 16))) {
                break;
            }
        }
        received_.set_value(request_);
        if (!reply_.empty()) {
            const std::string answer =
                "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(reply_.size()) + "\r\n\r\n" +
                reply_;
            const ssize_t sent = write(client, answer.data(), answer.size());
            EXPECT_EQ(sent, static_cast<ssize_t>(answer.size()));
        } else {
            while (!done_ && read(client, buffer, sizeof buffer) > 0) {
            }
        }
        close(client);
    }

    std::string reply_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> done_{false};
    std::string request_;
    std::promise<std::string> received_;
    std::thread thread_;
};

TEST(UpdateCheck, ExchangeThroughTheDialogModule) {
    ScopedEnv module("MORVANEX_TEST_UI_MODULE", std::getenv("MORVANEX_UI_PATH"));
    UpdateRequest request;
    request.productId = 10;
    request.currentVersion = "1.0.0";
    {
        LoopbackServer server("<x><Result xsi:type=\"xsd:string\">UP_TO_DATE</Result></x>");
        ScopedEnv url("MORVANEX_TEST_UPDATE_URL", server.url());
        std::string result;
        EXPECT_EQ(requestUpdateVersion(request, result), 0);
        EXPECT_EQ(result, "UP_TO_DATE");
        const std::string sent = server.request();
        const std::string body = updateEnvelope(request);
        EXPECT_EQ(sent.substr(sent.find("\r\n\r\n") + 4), body);
        const std::size_t type = sent.find("\r\nContent-Type: text/xml; charset=utf-8\r\n");
        const std::size_t action = sent.find("\r\nSOAPAction: /CheckUpdates.php\r\n");
        const std::size_t length =
            sent.find("\r\nContent-Length: " + std::to_string(body.size()) + "\r\n");
        EXPECT_TRUE(sent.starts_with("POST /CheckUpdates.php HTTP/1.1\r\n")) << sent;
        EXPECT_LT(type, action);
        EXPECT_LT(action, length);
        EXPECT_NE(length, std::string::npos);
        EXPECT_EQ(sent.find("Expect:"), std::string::npos);
    }
    {
        // A server that never answers: the shortened whole-request time-out.
        LoopbackServer silent("");
        ScopedEnv url("MORVANEX_TEST_UPDATE_URL", silent.url());
        ScopedEnv timeout("MORVANEX_TEST_UPDATE_TIMEOUT_MS", "300");
        SystemLog::Capture log;
        std::string result = "unchanged";
        EXPECT_EQ(requestUpdateVersion(request, result), 1);
        EXPECT_EQ(result, "unchanged");
        ASSERT_FALSE(log.texts().empty());
        EXPECT_TRUE(log.texts().back().starts_with("get version update - no web service reply"));
    }
}

}  // namespace
