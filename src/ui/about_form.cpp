// The about dialog's widgets.
#include "ui/about_form.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "ui/program_icon.h"
#include "ui/theme_qt.h"

namespace velkaro {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// The band at the top: icon, name, subtitle and "entwickelt von" with the short name.
class THeaderBand : public QWidget {
public:
    THeaderBand(const std::string& shortName, QWidget* parent) : QWidget(parent), FShortName(Q(shortName).toUpper()) {
        setFixedHeight(118);
        setObjectName("pbHeader");
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const bool light = IsLightStyle();
        p.fillRect(rect(), light ? QColor(0xF4, 0xF4, 0xF4) : QColor(0x26, 0x26, 0x26));
        p.fillRect(QRect(0, height() - 3, width(), 3), AccentColor());
        p.drawPixmap(20, 10, ProgramIcon().pixmap(QSize(96, 96), devicePixelRatioF()));
        const QColor text = light ? QColor(0x1E, 0x1E, 0x1E) : QColor(0xF0, 0xF0, 0xF0);
        const QColor grey = light ? QColor(0x6E, 0x6E, 0x6E) : QColor(0xA8, 0xA8, 0xA8);
        QFont f = font();
        f.setPointSize(20);
        f.setBold(true);
        p.setFont(f);
        p.setPen(text);
        p.drawText(QRect(132, 14, 300, 40), Qt::AlignLeft | Qt::AlignVCenter, "Velkaro");
        f.setPointSize(10);
        f.setBold(false);
        p.setFont(f);
        p.setPen(grey);
        p.drawText(QRect(134, 54, 300, 22), Qt::AlignLeft | Qt::AlignVCenter, "ZUGFeRD-Rechnungen aus Navision");
        f.setPointSize(9);
        p.setFont(f);
        p.drawText(QRect(0, 64, width() - 20, 18), Qt::AlignRight | Qt::AlignVCenter, "entwickelt von");
        f.setPointSize(16);
        f.setBold(true);
        p.setFont(f);
        p.setPen(AccentColor());
        p.drawText(QRect(0, 82, width() - 20, 28), Qt::AlignRight | Qt::AlignVCenter, FShortName);
    }

private:
    QString FShortName;
};

QLabel* Link(const std::string& shown, const std::string& target, QWidget* parent) {
    auto* label = new QLabel(parent);
    const QString accent = AccentColor().name();
    label->setText(QString("<a href=\"%1\" style=\"color:%2\">%3</a>")
                       .arg(Q(target).toHtmlEscaped(), accent, Q(shown).toHtmlEscaped()));
    label->setToolTip(Q(target));
    label->setCursor(Qt::PointingHandCursor);
    label->setOpenExternalLinks(false);
    QObject::connect(label, &QLabel::linkActivated, label, [](const QString& url) { QDesktopServices::openUrl(QUrl(url)); });
    return label;
}

QLabel* Text(const QString& text, QWidget* parent, int points = 9, bool bold = false) {
    auto* label = new QLabel(text, parent);
    QFont f = label->font();
    f.setPointSize(points);
    f.setBold(bold);
    label->setFont(f);
    return label;
}

} // namespace

void TAboutForm::Execute(QWidget* owner, const TSettings& settings, const std::string& company, TNavData* data) {
    TAboutForm form(owner, settings, company, data);
    form.exec();
}

TAboutForm::TAboutForm(QWidget* owner, const TSettings& settings, const std::string& company, TNavData* data)
    : QDialog(owner), FServices(*this),
      FPresenter(settings, company, TAboutPresenter::NavVersionOf(data),
                 CurrentSystemFacts(IsLightStyle() ? "Windows" : "Dark"), *this, FServices.Services()) {
    setObjectName("TAboutForm");
    setWindowTitle(QString::fromUtf8("Über Velkaro"));
    const TVendorInfo& vendor = FPresenter.Vendor();

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 12);
    root->addWidget(new THeaderBand(vendor.ShortName, this));
    auto* body = new QVBoxLayout();
    body->setContentsMargins(24, 10, 24, 0);
    body->setSpacing(4);
    body->addWidget(Text(Q(FPresenter.VersionLine()), this));
    body->addWidget(Text("ZUGFeRD 2 / Factur-X (Profil EN 16931) als PDF/A-3 aus Microsoft Dynamics NAV,", this));
    body->addWidget(
        Text(QString::fromUtf8("mit Layout-Designer, Briefpapier und E-Mail-Versand über Microsoft 365."), this));
    body->addSpacing(12);
    body->addWidget(Text("Entwicklung und Support", this, 10, true));
    body->addWidget(Text(Q(vendor.Name), this, 9, true));
    if (const std::string address = FPresenter.AddressLine(); !address.empty()) body->addWidget(Text(Q(address), this));
    if (const std::string contact = FPresenter.ContactText(); !contact.empty()) body->addWidget(Text(Q(contact), this));
    if (!vendor.Web.empty()) body->addWidget(Link(vendor.Web, FPresenter.WebTarget(), this));
    if (!vendor.EMail.empty()) body->addWidget(Link(vendor.EMail, FPresenter.MailTarget(), this));
    body->addSpacing(12);
    body->addWidget(Text("Systeminformationen", this, 10, true));

    FInfo = new QPlainTextEdit(this);
    FInfo->setObjectName("FInfo");
    FInfo->setReadOnly(true);
    FInfo->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSize(8);
    FInfo->setFont(mono);
    FInfo->setPlainText(Q(FPresenter.Report()));
    body->addWidget(FInfo, 1);

    auto* buttons = new QHBoxLayout();
    auto* copy = new QPushButton("Systeminfo kopieren", this);
    copy->setObjectName("btnCopy");
    copy->setAutoDefault(false);
    connect(copy, &QPushButton::clicked, this, [this] { CopyReport(); });
    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("btnOk");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(copy);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    body->addLayout(buttons);
    root->addLayout(body, 1);
    // Wide enough for the report's longest lines (the NAV application version).
    setFixedSize(720, 600);
}

QString TAboutForm::Report() const { return FInfo->toPlainText(); }

void TAboutForm::CopyToClipboard(const std::string& text) { QApplication::clipboard()->setText(Q(text)); }

} // namespace velkaro
