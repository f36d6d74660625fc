// SPDX-License-Identifier: GPL-3.0-or-later
#include "IniFile.h"

#include "AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace cb {

namespace {

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r' || s[b] == '\n'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r' || s[e - 1] == '\n'))
        --e;
    return s.substr(b, e - b);
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// Splits the file into lines without their line ends; remembers whether it used CRLF.
std::vector<std::string> SplitLines(const std::string& content) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < content.size()) {
        size_t nl = content.find('\n', start);
        if (nl == std::string::npos) {
            lines.push_back(content.substr(start));
            break;
        }
        std::string line = content.substr(start, nl - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = nl + 1;
    }
    return lines;
}

// Section name of a "[name]" line, or false for any other line.
bool SectionOf(const std::string& line, std::string& name) {
    std::string t = Trim(line);
    if (t.size() < 2 || t.front() != '[') return false;
    size_t close = t.find(']');
    if (close == std::string::npos) return false;
    name = Trim(t.substr(1, close - 1));
    return true;
}

// Key of a "key=value" line; comments (';' or '#') and other lines have none.
bool KeyOf(const std::string& line, std::string& key, std::string& value) {
    std::string t = Trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '#' || t[0] == '[') return false;
    size_t eq = t.find('=');
    if (eq == std::string::npos) return false;
    key = Trim(t.substr(0, eq));
    value = Trim(t.substr(eq + 1));
    return true;
}

bool ReadFile(const std::string& path, std::string& content) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    content = ss.str();
    return true;
}

std::vector<IniEntry>& SecretKeys() {
    static std::vector<IniEntry> keys;
    return keys;
}

// Sets one key in the lines as the profile functions do: in place when the key exists, after
// the section's last entry when only the section does, else in a new section at the end.
void SetEntry(std::vector<std::string>& lines, const IniEntry& entry) {
    long sectionLine = -1, keyLine = -1, lastEntry = -1;
    bool inSection = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string name, k, v;
        if (SectionOf(lines[i], name)) {
            if (inSection) break;
            inSection = EqualNoCase(name, entry.section);
            if (inSection) {
                sectionLine = static_cast<long>(i);
                lastEntry = static_cast<long>(i);
            }
        } else if (inSection) {
            if (!Trim(lines[i]).empty()) lastEntry = static_cast<long>(i);
            if (KeyOf(lines[i], k, v) && EqualNoCase(k, entry.key)) {
                keyLine = static_cast<long>(i);
                break;
            }
        }
    }
    const std::string text = entry.key + "=" + entry.value;
    if (keyLine >= 0) {
        lines[static_cast<size_t>(keyLine)] = text;
    } else if (sectionLine >= 0) {
        lines.insert(lines.begin() + lastEntry + 1, text);
    } else {
        if (!lines.empty() && !Trim(lines.back()).empty()) lines.push_back("");
        lines.push_back("[" + entry.section + "]");
        lines.push_back(text);
    }
}

// True when a key marked secret has a value in the lines.
bool HoldsSecret(const std::vector<std::string>& lines) {
    std::string section;
    for (const std::string& line : lines) {
        std::string name, k, v;
        if (SectionOf(line, name)) {
            section = name;
        } else if (KeyOf(line, k, v) && !v.empty()) {
            for (const IniEntry& secret : SecretKeys())
                if (EqualNoCase(section, secret.section) && EqualNoCase(k, secret.key)) return true;
        }
    }
    return false;
}

} // namespace

IniWriteError::IniWriteError(const std::string& path)
    : std::runtime_error("nach " + path + " kann nicht geschrieben werden") {}

CIniFile::CIniFile(std::string path) : sPath(std::move(path)) {}

std::string CIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& sDefault) const {
    std::string content;
    if (!ReadFile(sPath, content)) return sDefault;
    bool inSection = false;
    for (const std::string& line : SplitLines(content)) {
        std::string name, k, v;
        if (SectionOf(line, name)) {
            inSection = EqualNoCase(name, section);
        } else if (inSection && KeyOf(line, k, v) && EqualNoCase(k, key)) {
            // Windows strips one pair of surrounding quotes.
            if (v.size() >= 2 &&
                ((v.front() == '"' && v.back() == '"') || (v.front() == '\'' && v.back() == '\'')))
                v = v.substr(1, v.size() - 2);
            return v;
        }
    }
    return sDefault;
}

bool CIniFile::ParseInteger(const std::string& raw, int& result) {
    std::string text = Trim(raw);
    if (text.empty()) return false;
    int base = 10;
    size_t pos = 0;
    bool negative = false;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        pos = 2;
    } else if (text[0] == '$') {
        base = 16;
        pos = 1;
    } else if (text[0] == '+' || text[0] == '-') {
        negative = text[0] == '-';
        pos = 1;
    }
    if (pos >= text.size()) return false;
    long long value = 0;
    for (; pos < text.size(); ++pos) {
        char c = text[pos];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        value = value * base + digit;
        // Out of 32-bit range (hex up to 0xFFFFFFFF wraps as the Windows reader does).
        if (value > 0xFFFFFFFFLL) return false;
    }
    if (base == 10) {
        if (negative) value = -value;
        if (value < INT32_MIN || value > INT32_MAX) return false;
        result = static_cast<int>(value);
    } else {
        result = static_cast<int>(static_cast<uint32_t>(value));
    }
    return true;
}

int CIniFile::ReadInteger(const std::string& section, const std::string& key, int iDefault) const {
    int value = 0;
    return ParseInteger(ReadString(section, key, std::string()), value) ? value : iDefault;
}

bool CIniFile::ReadBool(const std::string& section, const std::string& key, bool bDefault) const {
    return ReadInteger(section, key, bDefault ? 1 : 0) != 0;
}

void CIniFile::MarkSecretKey(const std::string& section, const std::string& key) {
    SecretKeys().push_back({section, key, std::string()});
}

void CIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value) {
    WriteEntries({{section, key, value}});
}

void CIniFile::WriteEntries(const std::vector<IniEntry>& entries) {
    std::string content;
    ReadFile(sPath, content);
    const bool crlf = content.find("\r\n") != std::string::npos;
    std::vector<std::string> lines = SplitLines(content);
    for (const IniEntry& entry : entries)
        SetEntry(lines, entry);

    std::string out;
    for (const std::string& line : lines)
        out += line + (crlf ? "\r\n" : "\n");
    if (!ReplaceFileContent(sPath, out, HoldsSecret(lines))) throw IniWriteError(sPath);
}

void CIniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
    WriteString(section, key, std::to_string(value));
}

void CIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

} // namespace cb
