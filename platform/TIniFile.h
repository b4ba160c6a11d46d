#pragma once
// A settings file in the INI form: "[Section]" lines open sections, "Key=Value" lines follow.
// Section and key names compare without regard to case; the text is Windows-1252; a missing file
// or key gives the default. Writing keeps every other line of the file as it was and replaces the
// file atomically.

#include <string>
#include <vector>

namespace kova {

class TIniFile {
public:
    // A name without a directory is looked for in the Windows directory.
    explicit TIniFile(const std::string& fileName);
    // Read over another file (the machine's setting under a user's own): a key this file lacks is
    // read from `padroes`; writing and deleting touch this file alone. An empty `padroes` is none.
    TIniFile(const std::string& fileName, const std::string& padroes);

    const std::string& FileName() const { return path_; }
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& def) const;
    int ReadInteger(const std::string& section, const std::string& key, int def) const;
    bool ValueExists(const std::string& section, const std::string& key) const;

    // Throws kova::Exception when the file cannot be written.
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void DeleteKey(const std::string& section, const std::string& key);

private:
    std::vector<std::string> ReadLines() const;
    void WriteLines(const std::vector<std::string>& lines) const;
    // Index of the key's line, or -1; sectionEnd receives the line after the section (or -1).
    int FindKey(const std::vector<std::string>& lines, const std::string& section,
                const std::string& key, int& sectionEnd) const;

    std::string path_;
    std::string padroes_;
};

}  // namespace kova
