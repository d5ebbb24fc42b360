#include "prefs/NameGuid.h"

#include <array>
#include <cstdint>

namespace tarnwick::prefs {

namespace {

// Tarnwick's own namespace for the uids of its preference items (a random GUID, fixed forever:
// changing it would make every earlier item look foreign).
constexpr std::array<std::uint8_t, 16> kNamespace = {
    0x5d, 0x1f, 0x7a, 0x43, 0xc2, 0x9e, 0x4b, 0x06, 0x8a, 0x31, 0xe4, 0x27, 0x90, 0xbd, 0x6c, 0x58};

std::uint32_t Rotl(std::uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

std::array<std::uint8_t, 20> Sha1(const std::string& message) {
    std::uint32_t h[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    std::string data = message;
    const std::uint64_t bits = std::uint64_t{message.size()} * 8;
    data += static_cast<char>(0x80);
    while (data.size() % 64 != 56)
        data += '\0';
    for (int i = 7; i >= 0; --i)
        data += static_cast<char>((bits >> (i * 8)) & 0xFF);
    for (std::size_t block = 0; block < data.size(); block += 64) {
        std::uint32_t w[80];
        for (int i = 0; i < 16; ++i) {
            w[i] = 0;
            for (int b = 0; b < 4; ++b)
                w[i] = (w[i] << 8) | static_cast<std::uint8_t>(data[block + i * 4 + b]);
        }
        for (int i = 16; i < 80; ++i)
            w[i] = Rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
        std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
        for (int i = 0; i < 80; ++i) {
            std::uint32_t f, k;
            if (i < 20) {
                f = (b & c) | (~b & d), k = 0x5A827999;
            } else if (i < 40) {
                f = b ^ c ^ d, k = 0x6ED9EBA1;
            } else if (i < 60) {
                f = (b & c) | (b & d) | (c & d), k = 0x8F1BBCDC;
            } else {
                f = b ^ c ^ d, k = 0xCA62C1D6;
            }
            const std::uint32_t t = Rotl(a, 5) + f + e + k + w[i];
            e = d, d = c, c = Rotl(b, 30), b = a, a = t;
        }
        h[0] += a, h[1] += b, h[2] += c, h[3] += d, h[4] += e;
    }
    std::array<std::uint8_t, 20> digest{};
    for (int i = 0; i < 20; ++i)
        digest[i] = static_cast<std::uint8_t>(h[i / 4] >> (24 - 8 * (i % 4)));
    return digest;
}

}  // namespace

std::string NameGuid(std::string_view name) {
    std::string message(kNamespace.begin(), kNamespace.end());
    message.append(name);
    std::array<std::uint8_t, 20> g = Sha1(message);
    g[6] = static_cast<std::uint8_t>((g[6] & 0x0F) | 0x50);  // version 5
    g[8] = static_cast<std::uint8_t>((g[8] & 0x3F) | 0x80);  // the RFC 4122 variant
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text = "{";
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
        text += kHex[g[i] >> 4];
        text += kHex[g[i] & 0xF];
    }
    return text + "}";
}

}  // namespace tarnwick::prefs
