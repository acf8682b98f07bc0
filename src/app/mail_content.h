#pragma once
// The mail of one invoice: subject and HTML body from the templates of the settings,
// with the inline images of the body. Composed for every generated invoice; nothing
// here sends anything.
#include <string>
#include <string_view>
#include <vector>

#include "config/settings.h"
#include "invoice/invoice.h"
#include "invoice/placeholders.h"
#include "mail/graph_mailer.h"
#include "mail/html_mail.h"  // HtmlEscape

namespace velkaro {

// Subject from MailSubject; body from the HTML templates (MailHtml, pictures resolved
// against the folder of the settings file) or from the plain-text template MailBody.
// Errors of the HTML body (unreadable picture, malformed "%" in a picture path) propagate.
void ComposeInvoiceMail(const TInvoice& invoice, const TSeller& seller, const TSettings& settings,
                        std::string& subject, std::string& htmlBody, std::vector<TMailAttachment>& inlineImages);

// A template whose first visible character is "<" is HTML: placeholders expanded with
// HTML-escaped values, otherwise kept as it is. Otherwise each line is escaped and ends with "<br>", in a 10 pt Arial document.
// Lines whose placeholders were all empty are dropped in both cases.
std::string PlainTextToHtml(std::string_view templ, const TPlaceholderContext& context);

} // namespace velkaro
