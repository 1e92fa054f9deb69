// The replies of the three scale protocols as plain functions of the bytes received, so the
// exchanges and the fuzz target share one reading of them. Each returns what GetWeight
// returns for that reply: -1.0 no reading, 0.0 nothing to weigh, otherwise kilograms.
#pragma once

#include <cstddef>
#include <cstdint>

namespace scales {

// CAS control bytes.
constexpr std::uint8_t kCasEnq = 0x05;
constexpr std::uint8_t kCasAck = 0x06;
constexpr std::uint8_t kCasNak = 0x15;
constexpr std::uint8_t kCasDc1 = 0x11;
constexpr std::size_t kCasRecordSize = 15;
constexpr int kCasMaxEnq = 4;

constexpr std::uint8_t kMassaRequest = 0x45;
constexpr std::size_t kMassaReplySize = 2;

constexpr std::size_t kOkaMessageSize = 18;
constexpr std::size_t kOkaPriceMessageSize = 24;
constexpr std::uint8_t kOkaWeightCommand = 0x03;
constexpr std::uint8_t kOkaPriceCommand = 0x02;

// The weight record that answers DC1; size is the number of bytes that arrived.
double ParseCasRecord(const std::uint8_t* data, std::size_t size);
// The text of a CAS weight: an optional sign, digits and a '.'; reading stops at the first
// character that does not belong to the number; no digits read as 0.
double ParseCasWeightText(const char* text, std::size_t size);
double ParseMassaReply(const std::uint8_t* data, std::size_t size);
double ParseOkaReply(const std::uint8_t* data, std::size_t size);

} // namespace scales
