// A fresh folder under the system's temporary folder for one test, removed
// with everything in it when the test ends (read-only files included).
// Names are GBK text, like every path inside the program.
#pragma once

#include <string>
#include <string_view>

namespace ferro::testing {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder itself, without a trailing separator.
    const std::string& path() const { return path_; }
    // path() + "/" + relative.
    std::string operator/(std::string_view relative) const;

    // Writes bytes to a file (creating parent folders); returns its path.
    std::string Write(std::string_view relative, std::string_view bytes = {}) const;
    std::string MakeFolder(std::string_view relative) const;
    std::string Read(std::string_view relative) const;
    bool Exists(std::string_view relative) const;
    void SetMode(std::string_view relative, unsigned mode) const;
    // Sets the modification (and access) time of a file, seconds since 1970.
    void SetModified(std::string_view relative, long long unixSeconds) const;

private:
    std::string path_;
};

// UTF-8 source text to GBK bytes, for Chinese text in tests.
std::string Gbk(std::string_view utf8);
// The same text as a UTF-16 LE file holds it, with its byte-order mark.
std::string Utf16LeFile(std::string_view utf8);

}  // namespace ferro::testing
