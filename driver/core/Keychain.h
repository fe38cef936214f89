#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Data-source passwords kept in the user's secret store as generic
// passwords: service "<prefix>.<data source>", account the user name.
// Results are keychain status values.
using KeychainStatus = std::int16_t;

constexpr KeychainStatus errSecSuccess = 0;
constexpr KeychainStatus errSecParam = -50;
constexpr KeychainStatus errSecItemNotFound = -25300;
constexpr KeychainStatus errSecBufferTooSmall = -25301;

// The service name of a data source's item.
std::string keychainServiceName(const std::string& prefix, const std::string& dsn);

// errSecSuccess with `password` set to the stored bytes; any other status
// leaves `password` empty.
KeychainStatus findKeychainPassword(const std::string& prefix, const std::string& dsn,
                                    const std::string& user, std::string& password);

// The same into a caller's buffer of `passwordSize` bytes, terminated. A
// password that does not fit with its terminator is not copied: the buffer
// holds an empty text and the result is errSecBufferTooSmall.
KeychainStatus findKeychainPasswordC(const char* prefix, const char* dsn, const char* user,
                                     char* password, std::size_t passwordSize);

// Adds the item, or replaces the password of an existing one. Any
// application of the user may read the store, so the flag that opens an
// item to every application changes nothing here.
KeychainStatus storeKeychainPassword(const std::string& prefix, const std::string& dsn,
                                     const std::string& user, const std::string& password,
                                     bool readableByAnyApplication);
