// The helper's frame decoder, request parser and handlers on arbitrary
// bytes: XML and old-style forms, the nested "Preferences" list, and every
// check before a plan is made. The applier only counts plans, so nothing
// is written.
// Input: the request text as it arrives in a message or on standard input.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "authentication/src/SaveParameters.h"
#include "platform/ServiceMessage.h"

namespace {

class CountingApplier : public PlanApplier {
  public:
    int apply(const IniPlan& plan) override {
        steps_ += plan.steps.size();
        return 0;
    }
    std::optional<std::string> systemDriverLibrary(const std::string& name) override {
        return name.size() % 2 == 0 ? std::optional<std::string>("/usr/lib/d.so") : std::nullopt;
    }

  private:
    size_t steps_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    ServiceMessage::decode(text);
    CountingApplier applier;
    DoSaveParameters(HelperRequest::parse(text), applier);
    HelperRequest::parseXmlDictionary(text);
    return 0;
}
