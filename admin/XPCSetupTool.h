#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Quillmark's channel to its privileged helper. "Blessing" checks that the
// helper is installed: its socket exists and belongs to root, or the
// driver bundle's fallback program passes the ownership check. A request
// goes over the socket as one message {"request": text} answered by
// {"reply": "OK" | "ERROR <status>"}; without the socket, the fallback
// program runs through pkexec with the text on its standard input. Every
// log line begins "Client: ".
class XPCSetupTool {
  public:
    static constexpr const char* kHelperLabel = "com.vorlanworks.QuillmarkHelper";

    // Where the helper is looked for; tests name a socket of their own
    // (empty brings back the installed one).
    static void setHelperSocketForTesting(std::string path);
    static std::string helperSocket();

    bool appendLog(std::string_view text) const;
    // Empty when the helper is installed, else why not.
    std::string blessHelperWithLabel(std::string_view label) const;
    // Sends one request and puts the answer (or the channel's failure text)
    // into `response`; true only when the helper answered "OK".
    bool callSetupTool(std::string_view request, char* response, size_t maxResponseLen) const;

  private:
    bool sendRequestXPC(const std::string& socketPath, std::string_view request, char* response,
                        size_t maxResponseLen) const;
    bool sendRequestFallback(std::string_view request, char* response, size_t maxResponseLen) const;
};

// Copies at most maxResponseLen - 1 bytes of `text` and ends them with NUL.
void copyResponse(std::string_view text, char* response, size_t maxResponseLen);

// One request to the helper through a new XPCSetupTool; true only when it
// answered "OK". `response` receives the answer text.
bool CallSMBlessTool(const char* request, char* response, size_t maxResponseLen);
