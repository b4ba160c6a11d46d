#include "TIniFile.h"

#include <fstream>
#include <sstream>

#include "Conversoes.h"
#include "Diretorios.h"
#include "Errors.h"
#include "Texto.h"

namespace kova {

TIniFile::TIniFile(const std::string& fileName) {
    path_ = fileName.find_first_of("/\\") == std::string::npos ? DiretorioWindows() + fileName
                                                               : fileName;
}

TIniFile::TIniFile(const std::string& fileName, const std::string& padroes) : TIniFile(fileName) {
    if (!padroes.empty() && padroes != path_) padroes_ = padroes;
}

std::vector<std::string> TIniFile::ReadLines() const {
    std::vector<std::string> lines;
    std::ifstream in(path_, std::ios::binary);
    if (!in) return lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

namespace {

// The section named by a "[name]" line, or false for other lines.
bool Secao(const std::string& line, std::string& name) {
    std::string t = Trim(line);
    if (t.size() < 2 || t.front() != '[') return false;
    size_t fim = t.find(']');
    if (fim == std::string::npos) return false;
    name = Trim(t.substr(1, fim - 1));
    return true;
}

bool Chave(const std::string& line, std::string& key, std::string& value) {
    std::string t = TrimLeft(line);
    if (t.empty() || t[0] == ';') return false;
    size_t eq = t.find('=');
    if (eq == std::string::npos) return false;
    key = Trim(t.substr(0, eq));
    value = Trim(t.substr(eq + 1));
    return true;
}

}  // namespace

int TIniFile::FindKey(const std::vector<std::string>& lines, const std::string& section,
                      const std::string& key, int& sectionEnd) const {
    sectionEnd = -1;
    bool dentro = false;
    int achada = -1;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string nome, k, v;
        if (Secao(lines[i], nome)) {
            if (dentro) {
                sectionEnd = int(i);
                return achada;
            }
            dentro = SameText(nome, section);
            if (dentro) sectionEnd = int(lines.size());
            continue;
        }
        if (dentro && achada < 0 && Chave(lines[i], k, v) && SameText(k, key)) achada = int(i);
    }
    return achada;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& def) const {
    std::vector<std::string> lines = ReadLines();
    int fim;
    int i = FindKey(lines, section, key, fim);
    if (i < 0) return padroes_.empty() ? def : TIniFile(padroes_).ReadString(section, key, def);
    std::string k, v;
    Chave(lines[size_t(i)], k, v);
    return v;
}

int TIniFile::ReadInteger(const std::string& section, const std::string& key, int def) const {
    std::string v = ReadString(section, key, "");
    int32_t r;
    return TryStrToInt(v, r) ? r : def;
}

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const {
    int fim;
    return FindKey(ReadLines(), section, key, fim) >= 0 ||
           (!padroes_.empty() && TIniFile(padroes_).ValueExists(section, key));
}

void TIniFile::WriteLines(const std::vector<std::string>& lines) const {
    std::string texto;
    for (const auto& l : lines) texto += l + "\r\n";
    EscreverArquivoAtomico(path_, texto);
}

void TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value) {
    std::vector<std::string> lines = ReadLines();
    int fim;
    int i = FindKey(lines, section, key, fim);
    std::string linha = key + "=" + value;
    if (i >= 0) {
        lines[size_t(i)] = linha;
    } else if (fim >= 0) {
        // Before the blank lines that end the section.
        size_t pos = size_t(fim);
        while (pos > 0 && Trim(lines[pos - 1]).empty()) --pos;
        lines.insert(lines.begin() + long(pos), linha);
    } else {
        if (!lines.empty() && !Trim(lines.back()).empty()) lines.push_back("");
        lines.push_back("[" + section + "]");
        lines.push_back(linha);
    }
    WriteLines(lines);
}

void TIniFile::DeleteKey(const std::string& section, const std::string& key) {
    std::vector<std::string> lines = ReadLines();
    int fim;
    int i = FindKey(lines, section, key, fim);
    if (i < 0) return;
    lines.erase(lines.begin() + i);
    WriteLines(lines);
}

}  // namespace kova
