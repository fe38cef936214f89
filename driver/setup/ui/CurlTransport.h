#pragma once

#include "driver/setup/UiModuleTable.h"

// HTTP POST for the update check: TLS verified, no "Expect:" header, the
// caller's time-outs, HTTPS only (test builds also allow plain HTTP).
// Replies are kept up to kReplyLimit bytes.
class CurlTransport {
  public:
    static constexpr size_t kReplyLimit = 1 << 20;

    static int post(const MorvanexHttpRequest* request, MorvanexHttpReply* reply);
    static void freeReply(MorvanexHttpReply* reply);
};
