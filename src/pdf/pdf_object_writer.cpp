#include "pdf/pdf_object_writer.h"

#include "pdf/pdf_format.h"

namespace velkaro {

void TPdfObjectWriter::BeginObject(int n) {
    if (FOffsets.size() <= static_cast<size_t>(n)) FOffsets.resize(n + 1, 0);
    FOffsets[n] = static_cast<int64_t>(FOut.size());
    FOut += std::to_string(n);
    FOut += " 0 obj\n";
}

void TPdfObjectWriter::WriteObject(int n, std::string_view text) {
    BeginObject(n);
    FOut.append(text);
}

void TPdfObjectWriter::WriteStreamObject(int n, std::string_view dict, bool compress, std::string_view data) {
    if (compress) {
        std::string deflated = DeflateBytes(data);
        WriteStream(n, dict, "/Filter /FlateDecode ", deflated);
    } else {
        WriteStream(n, dict, "", data);
    }
}

void TPdfObjectWriter::WriteDeflatedStreamObject(int n, std::string_view dict, std::string_view deflated) {
    WriteStream(n, dict, "/Filter /FlateDecode ", deflated);
}

void TPdfObjectWriter::WriteStream(int n, std::string_view dict, std::string_view filter, std::string_view data) {
    BeginObject(n);
    FOut += "<< ";
    FOut.append(dict);
    FOut += " ";
    FOut.append(filter);
    FOut += "/Length " + std::to_string(data.size()) + " >>\nstream\n";
    FOut.append(data);
    FOut += "\nendstream\nendobj\n";
}

} // namespace velkaro
