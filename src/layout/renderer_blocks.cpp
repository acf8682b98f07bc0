// The final pass over every page: the layout's text elements, drawn once the page count
// is known. Blocks are not clipped to their height; their text continues downwards.
#include "layout/renderer.h"

#include "pdf/pdf_document.h"
#include "platform/text.h"

namespace velkaro {

void TRenderer::DrawFinal(int PageNo, int PageTotal) {
    Ctx["Seite"] = std::to_string(PageNo);
    Ctx["Seiten"] = std::to_string(PageTotal);
    for (const auto& element : L->Elements) {
        const TLayoutElement& e = *element;
        if (!e.Visible || !e.OnPage(PageNo == 1)) continue;
        switch (e.Kind) {
        case ekLogo:
        case ekTable:
        case ekFollowTable:
            break; // drawn with the page
        case ekSenderLine: {
            Doc->SetColor(90, 90, 90);
            DrawTextBlock(e);
            Doc->SetStrokeColor(150, 150, 150);
            double b = FirstBaseline(e.FontSize, e.Y) + 1.2;
            Doc->Line(e.X, b, e.X + e.W, b, 0.15);
            Doc->SetColor(0, 0, 0);
            break;
        }
        case ekInfo:
            DrawInfoBlock(e);
            break;
        case ekFooter:
            DrawColumns(e);
            break;
        case ekPageNo:
            Doc->SetColor(70, 70, 70);
            DrawTextBlock(e);
            Doc->SetColor(0, 0, 0);
            break;
        default:
            DrawTextBlock(e);
            break;
        }
    }
}

void TRenderer::AlignedText(const TLayoutElement& E, double YY, const std::string& S) {
    switch (E.Align) {
    case baCenter: Doc->TextCenter(E.X + E.W / 2, YY, S); break;
    case baRight: Doc->TextRight(E.X + E.W, YY, S); break;
    default: Doc->TextOut(E.X, YY, S); break;
    }
}

void TRenderer::DrawTextBlock(const TLayoutElement& E) {
    std::vector<std::string> lines = ExpandTextBlock(E.Text, Ctx);
    double yy = FirstBaseline(E.FontSize, E.Y);
    for (size_t i = 0; i < lines.size(); ++i) {
        double size = E.FontSize;
        if (E.Kind == ekTitle && i >= 1) {
            // Lines after the title's first are small, from 5.5 mm below its baseline.
            size = 8.5;
            Doc->SetFont(*FReg, size);
            if (i == 1) yy = yy - E.FontSize * kTextLineFactor + 5.5;
        } else {
            Doc->SetFont(F(E), size);
        }
        for (const std::string& piece : Doc->WrapText(lines[i], E.W)) {
            AlignedText(E, yy, piece);
            yy += size * kTextLineFactor;
        }
    }
}

void TRenderer::DrawInfoBlock(const TLayoutElement& E) {
    Doc->SetFont(F(E), E.FontSize);
    double yy = FirstBaseline(E.FontSize, E.Y);
    for (const TLabelValue& row : ExpandLabelValueLines(E.Text, Ctx)) {
        if (!Trim(row.Label + row.Value).empty()) {
            Doc->TextOut(E.X, yy, row.Label);
            Doc->TextRight(E.X + E.W, yy, row.Value);
        }
        yy += E.FontSize * kInfoLineFactor;
    }
}

void TRenderer::DrawColumns(const TLayoutElement& E) {
    Doc->SetStrokeColor(150, 150, 150);
    Doc->Line(E.X, E.Y, E.X + E.W, E.Y, 0.15);
    Doc->SetColor(70, 70, 70);
    Doc->SetFont(F(E), E.FontSize);
    const double step = E.FontSize * kColumnLineFactor;
    double yy = E.Y + step + 0.8;
    for (const std::vector<std::string>& cells : ExpandCellLines(E.Text, Ctx)) {
        const double colW = E.W / static_cast<double>(cells.size());
        for (size_t i = 0; i < cells.size(); ++i)
            if (!cells[i].empty()) Doc->TextOut(E.X + static_cast<double>(i) * colW, yy, cells[i]);
        yy += step;
    }
    Doc->SetColor(0, 0, 0);
}

} // namespace velkaro
