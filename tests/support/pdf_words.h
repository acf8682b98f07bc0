#pragma once
// The words of a saved PDF as poppler's pdftotext sees them: its reading-order text and
// its word boxes (pdftotext -bbox), for tests of the text layer.
#include <string>
#include <vector>

namespace velkaro::test {

struct TWordBox {
    std::string Text; // the characters in the order they stand on the page
    int Page = 0;     // from 1
    double XMin = 0, YMin = 0, XMax = 0;
};

// pdftotext's text in reading order, without the directional marks it puts around
// right-to-left lines.
std::string PdfReadingText(const std::string& pdf);
// Every word box of every page.
std::vector<TWordBox> PdfWordBoxes(const std::string& pdf);
// The text with its characters turned round (code points), as a right-to-left word's
// box gives it.
std::string ReversedText(const std::string& s);
// The boxes of the words of `line` (split at blanks) in logical order, found on one
// line of the page (the same page and top within 1 pt) either as they are or reversed;
// empty when no line of the page holds all of them.
std::vector<TWordBox> LineWordBoxes(const std::string& line, const std::vector<TWordBox>& boxes);

} // namespace velkaro::test
