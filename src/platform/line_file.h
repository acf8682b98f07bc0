#pragma once
// A text file written line by line as things happen (logs, result lists): UTF-8 with
// byte-order mark, CR LF, every line handed to the system at once, so that a killed
// process leaves every line it wrote.
#include <cstdio>
#include <string>
#include <string_view>

namespace velkaro {

class TLineFile {
public:
    // Starts the file afresh (replacing an old one) and writes the byte-order mark. A new
    // file gets kOwnDataFileMode less the umask. A symbolic link at the path is replaced by
    // the new file; its target is never opened.
    // Raises with the German message when it cannot be created.
    explicit TLineFile(const std::string& path);
    ~TLineFile();
    TLineFile(const TLineFile&) = delete;
    TLineFile& operator=(const TLineFile&) = delete;

    // Appends the text and CR LF; raises when the write fails.
    void WriteLine(const std::string& text);
    const std::string& Path() const { return FPath; }

private:
    std::string FPath;
    std::FILE* FFile = nullptr;

    void Put(std::string_view bytes);
};

// Keeps the previous generations of a file: path.(keep-1) becomes path.keep, …, path
// becomes path.1; the oldest falls away. Missing generations are skipped. Raises when a
// file cannot be renamed.
void RotateFileGenerations(const std::string& path, int keep);

} // namespace velkaro
