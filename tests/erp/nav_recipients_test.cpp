// Invoice e-mail recipients: CMNM recipients, document layouts, the customer card.
#include "nav_backend_fixture.h"

using namespace velkaro;
using namespace velkaro::test;

TEST(PreferInvoiceMailboxes, InvoiceMailboxesFirstInGivenOrder) {
    EXPECT_EQ(TNavData::PreferInvoiceMailboxes({"info@a.de", "Buchhaltung.Nord@a.de", "kontakt@a.de", "re-eingang@a.de",
                                                "rechnung@a.de", "reinhard@a.de", "invoices_eu@a.de"}),
              (std::vector<std::string>{"Buchhaltung.Nord@a.de", "re-eingang@a.de", "rechnung@a.de", "reinhard@a.de",
                                        "invoices_eu@a.de", "info@a.de", "kontakt@a.de"}));
    EXPECT_EQ(TNavData::PreferInvoiceMailboxes({"info@a.de", "my.rechnung@a.de", "rg"}),
              (std::vector<std::string>{"info@a.de", "my.rechnung@a.de", "rg"}))
        << "the word must begin the local part, and an address needs its at sign";
    EXPECT_TRUE(TNavData::PreferInvoiceMailboxes({}).empty());
}

class NavRecipients : public NavBackendTest {
protected:
    void OpenFixture(bool withOptionalTables, const std::string& extraIni = "") {
        std::string db = FFolder.File("recipients.db");
        std::string sql = NavSchemaSql("R");
        if (withOptionalTables) {
            sql += "INSERT INTO \"R$Contact\" ([No_], [E-Mail]) VALUES ('KT1', ' kontakt@k1.de '), ('KT2', '');"
                   "INSERT INTO \"R$CMNM Recipient\" ([Source Type], [Source Code], [Document Type], [Line No_], "
                   "[Recipient Type], [Contact No_], [Custom Address]) VALUES "
                   "(1, 'K1', 'VK-RECHNUNG', 1, 0, '', 'eigen@k1.de'),"
                   "(1, 'K1', 'VK-RECHNUNG', 2, 0, 'KT1', ''),"
                   "(1, 'K1', 'VK-RECHNUNG', 3, 0, 'KT2', ''),"      // no address at all: skipped
                   "(1, 'K1', 'VK-RECHNUNG', 4, 1, '', 'kopie@k1.de'),"  // copy recipient
                   "(1, 'K1', 'VK-GUTSCHRIFT', 1, 0, '', 'gutschrift@k1.de'),"
                   "(2, 'K1', 'VK-RECHNUNG', 1, 0, '', 'lieferant@k1.de'),"
                   "(1, 'k1', 'VK-RECHNUNG', 1, 0, '', 'klein@k1.de'),"   // keys are exact
                   "(1, 'K2', 'VK-RECHNUNG', 1, 0, '', 'keine Adresse'),"
                   "(1, 'K4', 'VK-GUTSCHRIFT', 1, 0, '', 'gs@k4.de');"
                   "INSERT INTO \"R$Custom Report Selection\" ([Source Type], [Source No_], [Usage], [Sequence], "
                   "[Send To Email]) VALUES "
                   "(18, 'K2', 2, 2, 'zwei@k2.de'), (18, 'K2', 2, 1, 'eins@k2.de'), (18, 'K3', 1, 1, 'angebot@k3.de'),"
                   "(18, 'K1', 2, 1, 'layout@k1.de'), (18, 'K3', 2, 1, ''), (36, 'K3', 2, 2, 'x@k3.de');";
        } else {
            sql += "DROP TABLE \"R$CMNM Recipient\"; DROP TABLE \"R$Custom Report Selection\";";
        }
        ExecSqlite(db, sql);
        Open(db, "[Datenbank]\nProvider=\nDatenbank=\n" + extraIni);
        FNav->LoadRecipientMaps("R");
    }
    std::pair<std::string, std::string> Resolve(const std::string& customer, const std::string& card) {
        std::string source = "alt";
        std::string mail = FNav->ResolveInvoiceEmail(customer, card, source);
        return {mail, source};
    }
};

TEST_P(NavRecipients, CmnmRecipientsComeFirst) {
    OpenFixture(true);
    EXPECT_EQ(Resolve("K1", "info@k1.de"),
              std::make_pair(std::string("eigen@k1.de; kontakt@k1.de"), std::string("CMNM-Empfänger VK-RECHNUNG")));
    EXPECT_EQ(Resolve("k1", ""), std::make_pair(std::string("klein@k1.de"), std::string("CMNM-Empfänger VK-RECHNUNG")));
}

TEST_P(NavRecipients, DocumentLayoutsWhenCmnmHasNoAddress) {
    OpenFixture(true);
    EXPECT_EQ(Resolve("K2", "info@k2.de"),
              std::make_pair(std::string("eins@k2.de"), std::string("Dokumentlayouts (An E-Mail senden)")))
        << "a CMNM entry without an address is passed over; the lowest sequence wins";
}

TEST_P(NavRecipients, CustomerCardLast) {
    OpenFixture(true);
    EXPECT_EQ(Resolve("K3", "info@k3.de; Rechnung@k3.de"),
              std::make_pair(std::string("Rechnung@k3.de; info@k3.de"), std::string("Debitor E-Mail")));
    EXPECT_EQ(Resolve("K3", "Zentrale info@k3.de, RE: buchhaltung@k3.de, vertrieb@k3.de"),
              std::make_pair(std::string("buchhaltung@k3.de"), std::string("Debitor E-Mail (Rechnungs-Kennzeichnung)")));
    EXPECT_EQ(Resolve("K4", ""), std::make_pair(std::string(), std::string()))
        << "other document types do not count; nothing found leaves the label empty";
    EXPECT_EQ(Resolve("K9", "kein Eintrag"), std::make_pair(std::string(), std::string()));
}

TEST_P(NavRecipients, OtherDocumentTypeAndSourceTypeFromTheSettings) {
    OpenFixture(true, "[EMail]\nCMNMBelegart=VK-GUTSCHRIFT\nCMNMHerkunftsart=1\n");
    EXPECT_EQ(Resolve("K1", ""),
              std::make_pair(std::string("gutschrift@k1.de"), std::string("CMNM-Empfänger VK-GUTSCHRIFT")));
    FSettings->CmnmSourceType = 2;
    FSettings->CmnmDocType = "VK-RECHNUNG";
    FNav->LoadRecipientMaps("R");
    EXPECT_EQ(Resolve("K1", "").first, "lieferant@k1.de");
}

TEST_P(NavRecipients, WithoutOptionalTablesEveryoneFromTheCard) {
    OpenFixture(false);
    EXPECT_EQ(Resolve("K1", "info@k1.de"), std::make_pair(std::string("info@k1.de"), std::string("Debitor E-Mail")));
    EXPECT_EQ(Resolve("K2", ""), std::make_pair(std::string(), std::string()));
}

TEST_P(NavRecipients, MapsFollowTheCompany) {
    OpenFixture(true);
    // Loading another company empties the maps of the first.
    ExecSqlite(FFolder.Path() + (GetParam() == TBackendKind::Embedded ? "nav.db" : "recipients.db"),
               NavSchemaSql("S"));
    FNav->Disconnect();
    FNav->LoadRecipientMaps("S");
    EXPECT_EQ(Resolve("K1", "info@k1.de").second, "Debitor E-Mail");
}

INSTANTIATE_TEST_SUITE_P(Backends, NavRecipients, ::testing::Values(TBackendKind::Embedded, TBackendKind::Odbc),
                         BackendName);
