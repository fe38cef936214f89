#include "platform/ServiceMessage.h"

#include <cstdint>

using descriptor_io::Result;

namespace {

constexpr size_t kLengthBytes = 4;

void appendText(std::string& body, std::string_view text) {
    body.append(text);
    body.push_back('\0');
}

}  // namespace

std::optional<std::string> ServiceMessage::encode(const Fields& fields) {
    std::string body;
    for (const auto& [key, value] : fields) {
        if (key.empty() || key.find('\0') != std::string::npos ||
            value.find('\0') != std::string::npos) {
            return std::nullopt;
        }
        if (body.size() + key.size() + value.size() + 2 > kMaxBody) {
            return std::nullopt;
        }
        appendText(body, key);
        appendText(body, value);
    }
    const auto length = static_cast<uint32_t>(body.size());
    std::string frame;
    frame.reserve(kLengthBytes + body.size());
    for (int shift = 24; shift >= 0; shift -= 8) {
        frame.push_back(static_cast<char>((length >> shift) & 0xff));
    }
    frame += body;
    return frame;
}

std::optional<ServiceMessage::Fields> ServiceMessage::decode(std::string_view body) {
    if (body.size() > kMaxBody || (!body.empty() && body.back() != '\0')) {
        return std::nullopt;
    }
    Fields fields;
    while (!body.empty()) {
        const size_t keyEnd = body.find('\0');
        const size_t valueEnd = body.find('\0', keyEnd + 1);
        if (keyEnd == 0 || valueEnd == std::string_view::npos) {
            return std::nullopt;
        }
        std::string key(body.substr(0, keyEnd));
        std::string value(body.substr(keyEnd + 1, valueEnd - keyEnd - 1));
        if (!fields.emplace(std::move(key), std::move(value)).second) {
            return std::nullopt;
        }
        body.remove_prefix(valueEnd + 1);
    }
    return fields;
}

ServiceMessage::Received ServiceMessage::receive(int fd,
                                                 descriptor_io::Clock::time_point deadline) {
    Received received;
    unsigned char prefix[kLengthBytes];
    received.result =
        descriptor_io::readExactly(fd, reinterpret_cast<char*>(prefix), kLengthBytes, deadline);
    if (received.result != Result::Ok) {
        return received;
    }
    uint32_t length = 0;
    for (const unsigned char byte : prefix) {
        length = (length << 8) | byte;
    }
    if (length > kMaxBody) {
        received.result = Result::TooLong;
        return received;
    }
    std::string body(length, '\0');
    received.result = descriptor_io::readExactly(fd, body.data(), length, deadline);
    if (received.result == Result::Closed) {
        received.result = Result::Failed;
    }
    if (received.result != Result::Ok) {
        return received;
    }
    std::optional<Fields> fields = decode(body);
    if (!fields) {
        received.result = Result::Failed;
        return received;
    }
    received.fields = std::move(*fields);
    return received;
}

Result ServiceMessage::send(int fd, const Fields& fields,
                            descriptor_io::Clock::time_point deadline) {
    const std::optional<std::string> frame = encode(fields);
    if (!frame) {
        return Result::TooLong;
    }
    return descriptor_io::writeAll(fd, *frame, deadline);
}
