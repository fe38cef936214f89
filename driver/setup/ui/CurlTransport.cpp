#include "driver/setup/ui/CurlTransport.h"

#include <curl/curl.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace {

struct EasyDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

#ifdef MORVANEX_TEST_HOOKS
constexpr const char* kProtocols = "http,https";
#else
constexpr const char* kProtocols = "https";
#endif

size_t collect(char* data, size_t size, size_t count, void* user) {
    auto* body = static_cast<std::string*>(user);
    const size_t bytes = size * count;
    if (body->size() + bytes > CurlTransport::kReplyLimit) {
        return 0;  // ends the transfer with an error
    }
    body->append(data, bytes);
    return bytes;
}

void setError(MorvanexHttpReply* reply, std::string_view text) {
    const size_t n = std::min(text.size(), sizeof reply->error - 1);
    std::memcpy(reply->error, text.data(), n);
    reply->error[n] = '\0';
}

// The header lines in order, and "Expect:" to keep curl from adding one.
std::unique_ptr<curl_slist, ListDeleter> headerList(const char* headers) {
    curl_slist* list = nullptr;
    std::string_view rest = headers != nullptr ? headers : "";
    while (!rest.empty()) {
        const size_t end = std::min(rest.find('\n'), rest.size());
        const std::string line(rest.substr(0, end));
        if (!line.empty()) {
            list = curl_slist_append(list, line.c_str());
        }
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    list = curl_slist_append(list, "Expect:");
    return std::unique_ptr<curl_slist, ListDeleter>(list);
}

}  // namespace

int CurlTransport::post(const MorvanexHttpRequest* request, MorvanexHttpReply* reply) {
    if (request == nullptr || reply == nullptr || request->url == nullptr) {
        return 1;
    }
    *reply = MorvanexHttpReply{};
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    std::unique_ptr<CURL, EasyDeleter> curl(curl_easy_init());
    if (!curl) {
        setError(reply, "cannot start a transfer");
        return 1;
    }
    auto headers = headerList(request->headers);
    std::string body;
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, request->url);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, kProtocols);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, request->connectTimeoutMs);
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, request->totalTimeoutMs);
    curl_easy_setopt(c, CURLOPT_POST, 1L);
    curl_easy_setopt(c, CURLOPT_POSTFIELDS, request->body != nullptr ? request->body : "");
    curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(request->body != nullptr ? request->bodySize : 0));
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &collect);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &body);
    const CURLcode code = curl_easy_perform(c);
    if (code != CURLE_OK) {
        setError(reply, curl_easy_strerror(code));
        return 1;
    }
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &reply->status);
    reply->body = static_cast<char*>(std::malloc(body.size() + 1));
    if (reply->body == nullptr) {
        setError(reply, "out of memory");
        return 1;
    }
    std::memcpy(reply->body, body.data(), body.size());
    reply->body[body.size()] = '\0';
    reply->bodySize = body.size();
    return 0;
}

void CurlTransport::freeReply(MorvanexHttpReply* reply) {
    if (reply != nullptr) {
        std::free(reply->body);
        reply->body = nullptr;
        reply->bodySize = 0;
    }
}
