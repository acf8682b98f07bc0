#include "app/mail_content.h"

#include "erp/nav_data.h"
#include "platform/files.h"
#include "platform/text.h"

namespace velkaro {

void ComposeInvoiceMail(const TInvoice& invoice, const TSeller& seller, const TSettings& settings,
                        std::string& subject, std::string& htmlBody, std::vector<TMailAttachment>& inlineImages) {
    const TPlaceholderContext context = InvoiceContext(invoice, seller, TaxRulesOf(settings));
    // The all-empty flag does not matter here: such a subject simply comes out empty.
    subject = ExpandPlaceholders(settings.MailSubject, context).Text;
    inlineImages.clear();
    if (settings.MailHtml) {
        BuildHtmlMail(settings.MailBodyHtml, settings.MailSignatureHtml, context, htmlBody, inlineImages, false,
                      ExtractFilePath(settings.FFileName));
    } else {
        htmlBody = PlainTextToHtml(settings.MailBody, context);
    }
}

std::string PlainTextToHtml(std::string_view templ, const TPlaceholderContext& context) {
    const bool html = TrimLeft(templ).starts_with('<');
    // In an HTML template the values are escaped, so that a customer name such as
    // "A<B GmbH" or "Müller & Söhne" cannot break or inject markup.
    const TPlaceholderContext values = html ? HtmlEncodeValues(context) : context;
    std::string body;
    for (const auto& line : TextLines(templ)) {
        TExpandedLine e = ExpandPlaceholders(line, values);
        if (e.AllEmpty) continue;
        body += html ? e.Text : HtmlEscape(e.Text) + "<br>";
        body += '\n';
    }
    if (html) return body;
    return "<html><body style=\"font-family:Arial,sans-serif;font-size:10pt\">" + body + "</body></html>";
}

} // namespace velkaro
