#pragma once
// Internet messages (RFC 5322 with MIME) for the SMTP mailer: the same mail the Graph
// mailer sends, as bytes. Header texts outside ASCII as RFC 2047 encoded words, the HTML
// body as UTF-8 quoted-printable, every binary part in base64; no line is longer than 78
// characters. Pictures of the HTML body travel in a multipart/related part beside it.
#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "mail/graph_mailer.h"

namespace velkaro {

struct TMimeMail {
    std::string From;
    std::vector<std::string> To;
    std::vector<std::string> Cc;  // blind copies never appear in the message
    std::vector<std::string> ReplyTo;
    std::string Subject;
    std::string HtmlBody;
    std::vector<TMailAttachment> Attachments;  // files and inline pictures, in any order
    std::chrono::system_clock::time_point Date;
    std::string MessageId;  // without angle brackets; empty: a new one for the sender's domain
    std::string MailId;     // the sent log's id of the mail, as header kGraphMailIdHeader; may be empty
};

// The complete message, lines ended by CR LF. Raises EGraphError for an address or a
// content id that would break the header it stands in (line breaks, angle brackets).
std::string BuildMimeMessage(const TMimeMail& mail);

// The bare address of "Name <a@b.de>" or "a@b.de", trimmed.
std::string MailboxAddress(std::string_view text);

// One header, folded to lines of at most 78 characters: "Subject: Rechnung …" with
// every text outside printable ASCII (or too long a word) as "=?UTF-8?B?…?=" words.
std::string EncodedHeader(std::string_view name, std::string_view text);

// "Thu, 13 Mar 2025 10:05:09 +0100" for the local time zone.
std::string MailDateText(std::chrono::system_clock::time_point when);

// A new unique Message-ID (without brackets) for the domain of `sender`.
std::string NewMessageId(std::string_view sender);

// Quoted-printable (RFC 2045) of UTF-8 text: CR LF and lone LF as line breaks, lines of
// at most 76 characters through soft breaks.
std::string QuotedPrintable(std::string_view text);

} // namespace velkaro
