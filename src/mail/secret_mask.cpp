#include "mail/secret_mask.h"

#include <string_view>

#include "mail/graph_mailer.h"
#include "platform/text.h"

namespace velkaro {

namespace {

constexpr size_t kMinMaskedSecretLength = 6;

bool IsTokenChar(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
           std::string_view("-._~+/=%").find(c) != std::string_view::npos;
}

// Replaces the value after every occurrence of `marker` (ASCII case ignored) by "***".
std::string MaskAfter(std::string text, std::string_view marker) {
    const std::string upperMarker = UpperAscii(marker);
    std::string upper = UpperAscii(text);
    for (size_t pos = 0; (pos = upper.find(upperMarker, pos)) != std::string::npos;) {
        const size_t start = pos + marker.size();
        size_t end = start;
        while (end < text.size() && IsTokenChar(text[end])) ++end;
        if (end == start) {  // nothing to hide, or already hidden
            pos = start;
            continue;
        }
        text.replace(start, end - start, "***");
        upper.replace(start, end - start, "***");
        pos = start + 3;
    }
    return text;
}

} // namespace

std::string MaskSecrets(std::string message, const std::vector<std::string>& secrets) {
    for (const std::string& secret : secrets) {
        if (secret.size() < kMinMaskedSecretLength) continue;
        message = ReplaceAll(message, secret, "***");
        message = ReplaceAll(message, UrlEncodeComponent(secret), "***");
    }
    return MaskAfter(MaskAfter(std::move(message), "client_secret="), "Bearer ");
}

} // namespace velkaro
