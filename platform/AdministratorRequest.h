#pragma once

#include <chrono>
#include <string>

#include "platform/PropertyList.h"

// Hands a privileged request (a dictionary holding at least "Request") to
// the administrator application over its local socket, or, when that
// cannot be reached, to the driver bundle's own helper run with
// administrator rights. True only when the change was made: the
// administrator answered "OK", or the helper exited with status 0. An
// administrator that answers anything else (its "ERROR <status>", nothing)
// has refused the request, and the helper is then not tried. The fallback
// adds the command key to `request`. The team identifier names the signer
// the helper must come from; the runner's ownership check stands in for
// that signature here.
bool sendAdministratorRequest(PropertyList& request, const std::string& bundleIdentifier,
                              const std::string& teamIdentifier);
bool sendAdministratorRequest(PropertyList& request, const char* bundleIdentifier,
                              const char* teamIdentifier);
// The same, answering with the helper's reply as it reached us ("OK",
// "ERROR <status>"), or with what stood for it when none came (empty, or
// the administrator's own text): privileged_request::answerOf tells the
// cases apart.
std::string administratorRequestReply(PropertyList& request, const std::string& bundleIdentifier,
                                      const std::string& teamIdentifier);

// The helper command for a Request value (compared ignoring case); empty
// for a request the helper has no command for.
std::string helperCommandForRequest(const std::string& request);

// How long to wait for the administrator's reply (60 seconds); tests
// shorten it.
void setAdministratorReplyTimeout(std::chrono::milliseconds timeout);
