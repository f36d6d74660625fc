// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace cb {

// A write to the settings file failed; the text names the file as the user sees it.
class IniWriteError : public std::runtime_error {
public:
    explicit IniWriteError(const std::string& path);
};

// One key to set: [section] key=value.
struct IniEntry {
    std::string section;
    std::string key;
    std::string value;
};

// Private-profile style access to one INI file: section and key names compared without
// regard to ASCII case, single keys read and written, every other line kept as it is.
// Each write replaces the file atomically (scratch file, then rename), so an interrupted
// write leaves either the old or the new file, never a mix. The scratch file has its final
// permissions before it holds a byte: the old file's, but owner-only (0600) while a key
// marked secret has a value in it, and a forced end leaves no scratch file behind.
class CIniFile {
public:
    // Marks [section] key as a secret for every INI file of the process: a file that holds
    // it with a value is readable by its owner only.
    static void MarkSecretKey(const std::string& section, const std::string& key);

    explicit CIniFile(std::string path);

    const std::string& Path() const { return sPath; }

    // Value of [section] key=..., blanks around it removed; sDefault when the file, the
    // section or the key is missing or the file cannot be read.
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& sDefault) const;
    // Integer as the Windows profile functions read it: decimal with optional sign, or
    // hexadecimal after 0x/0X (more than two characters) or $; anything else gives iDefault.
    int ReadInteger(const std::string& section, const std::string& key, int iDefault) const;
    bool ReadBool(const std::string& section, const std::string& key, bool bDefault) const;

    // Sets the keys in order, each as WriteString would, and replaces the file once: a slow
    // disk or a forced end never leaves some keys new and others old. Throws IniWriteError.
    void WriteEntries(const std::vector<IniEntry>& entries);
    // Sets one key, appending section or key when missing. Throws IniWriteError on failure.
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, int value);
    void WriteBool(const std::string& section, const std::string& key, bool value);

    // Parses a profile integer; false when the text is not one.
    static bool ParseInteger(const std::string& text, int& result);

private:
    std::string sPath;
};

} // namespace cb
