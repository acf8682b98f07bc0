#pragma once
// Writes numbered PDF objects into an in-memory buffer and records their offsets.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velkaro {

class TPdfObjectWriter {
public:
    // Records the current offset for object n and writes "n 0 obj\n".
    void BeginObject(int n);
    // A dictionary object: text is everything after the object header.
    void WriteObject(int n, std::string_view text);
    // "<< dict [/Filter /FlateDecode ]/Length len >>\nstream\n" data "\nendstream\nendobj\n";
    // with compress the data is deflated (DeflateBytes) first.
    void WriteStreamObject(int n, std::string_view dict, bool compress, std::string_view data);
    // The same for data that has already been deflated with DeflateBytes or DeflateConstant.
    void WriteDeflatedStreamObject(int n, std::string_view dict, std::string_view deflated);

    void Write(std::string_view text) { FOut.append(text); }
    std::string& Buffer() { return FOut; }
    const std::vector<int64_t>& Offsets() const { return FOffsets; }

private:
    void WriteStream(int n, std::string_view dict, std::string_view filter, std::string_view data);

    std::string FOut;
    std::vector<int64_t> FOffsets;
};

} // namespace velkaro
