// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/VCardReader.h"

#include "db/TextDecoding.h"

#include <map>
#include <optional>

namespace {

bool IsFoldBlank(char c) {
    return c == ' ' || c == '\t';
}

// One physical line of the text from `pos`: [begin, end) without its line end; `next` is
// where the following line starts. CR LF, LF and a lone CR all end a line.
struct Line {
    size_t begin, end, next;
};

Line NextLine(std::string_view text, size_t pos) {
    size_t end = pos;
    while (end < text.size() && text[end] != '\n' && text[end] != '\r')
        ++end;
    size_t next = end;
    if (next < text.size()) {
        if (text[next] == '\r' && next + 1 < text.size() && text[next + 1] == '\n')
            next += 2;
        else
            ++next;
    }
    return {pos, end, next};
}

struct Property {
    std::string sGroup;                                       // "item1" of "item1.TEL", lower case
    std::string sName;                                        // upper case, group taken off
    std::vector<std::pair<std::string, std::string>> aParams; // name upper case ("" for bare)
    std::string sValue;                                       // raw bytes
};

std::string AsciiUpper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return out;
}

// The property name of a line (without group), upper case; empty when the line has none.
std::string PeekName(std::string_view line) {
    size_t end = 0;
    while (end < line.size() && line[end] != ';' && line[end] != ':')
        ++end;
    std::string_view name = line.substr(0, end);
    if (const size_t dot = name.rfind('.'); dot != std::string_view::npos)
        name.remove_prefix(dot + 1);
    return AsciiUpper(TrimBlanks(name));
}

bool Interesting(const std::string& name) {
    static const char* const kNames[] = {"BEGIN", "END", "VERSION",   "FN",
                                         "N",     "ORG", "ADR",       "EMAIL",
                                         "NOTE",  "TEL", "X-ABLABEL", "RELATED"};
    for (const char* n : kNames)
        if (name == n) return true;
    return false;
}

// True when the property's head (before the value) asks for quoted-printable.
bool HeadSaysQuotedPrintable(std::string_view line) {
    const size_t colon = line.find(':');
    const std::string head = AsciiUpper(line.substr(0, colon));
    return head.find("QUOTED-PRINTABLE") != std::string::npos;
}

std::optional<Property> ParseProperty(std::string_view line) {
    // Parameter values may be quoted and hold ';' or ':'.
    size_t pos = 0;
    bool quoted = false;
    std::vector<std::string_view> parts;
    size_t partStart = 0;
    for (; pos < line.size(); ++pos) {
        const char c = line[pos];
        if (c == '"') quoted = !quoted;
        if (quoted) continue;
        if (c == ';') {
            parts.push_back(line.substr(partStart, pos - partStart));
            partStart = pos + 1;
        } else if (c == ':') {
            break;
        }
    }
    if (pos >= line.size()) return std::nullopt;
    parts.push_back(line.substr(partStart, pos - partStart));
    Property p;
    std::string_view name = TrimBlanks(parts[0]);
    if (const size_t dot = name.rfind('.'); dot != std::string_view::npos) {
        p.sGroup = AsciiLower(name.substr(0, dot));
        name.remove_prefix(dot + 1);
    }
    p.sName = AsciiUpper(name);
    if (p.sName.empty()) return std::nullopt;
    for (size_t i = 1; i < parts.size(); ++i) {
        std::string_view param = TrimBlanks(parts[i]);
        if (param.empty()) continue;
        const size_t eq = param.find('=');
        if (eq == std::string_view::npos) {
            p.aParams.emplace_back("", std::string(param));
        } else {
            std::string_view value = TrimBlanks(param.substr(eq + 1));
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                value = value.substr(1, value.size() - 2);
            p.aParams.emplace_back(AsciiUpper(TrimBlanks(param.substr(0, eq))), std::string(value));
        }
    }
    p.sValue = std::string(line.substr(pos + 1));
    return p;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string DecodeQuotedPrintable(std::string_view in) {
    std::string out;
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '=' && i + 2 < in.size()) {
            const int hi = HexDigit(in[i + 1]), lo = HexDigit(in[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out.push_back(char(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        out.push_back(in[i]);
    }
    return out;
}

// Splits a value at ';' not escaped by a backslash (N, ADR, ORG).
std::vector<std::string> SplitStructured(std::string_view value) {
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            parts.back().push_back(value[i]);
            parts.back().push_back(value[++i]);
        } else if (value[i] == ';') {
            parts.emplace_back();
        } else {
            parts.back().push_back(value[i]);
        }
    }
    return parts;
}

// vCard text escapes: \n \N \, \; \\ ; a lone backslash stays.
std::string Unescape(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            const char n = value[i + 1];
            if (n == 'n' || n == 'N') {
                out.push_back('\n');
                ++i;
                continue;
            }
            if (n == ',' || n == ';' || n == '\\' || n == ':') {
                out.push_back(n);
                ++i;
                continue;
            }
        }
        out.push_back(value[i]);
    }
    return std::string(TrimBlanks(out));
}

// TYPE values of a property, lower case: named (TYPE=cell,voice), repeated, and bare (CELL).
std::vector<std::string> TypesOf(const Property& p) {
    std::vector<std::string> types;
    for (const auto& [name, value] : p.aParams) {
        if (!name.empty() && name != "TYPE") continue;
        std::string_view v = value;
        while (!v.empty()) {
            const size_t comma = v.find(',');
            const std::string_view one = TrimBlanks(v.substr(0, comma));
            if (!one.empty()) types.push_back(AsciiLower(one));
            if (comma == std::string_view::npos) break;
            v.remove_prefix(comma + 1);
        }
    }
    return types;
}

NumberKind KindOfTypes(const std::vector<std::string>& types) {
    const auto has = [&](const char* t) {
        for (const auto& x : types)
            if (x == t) return true;
        return false;
    };
    if (has("fax")) return NumberKind::Fax;
    if (has("cell") || has("mobile") || has("iphone")) return NumberKind::Mobile;
    if (has("pager")) return NumberKind::Pager;
    if (has("work")) return NumberKind::Work;
    if (has("home")) return NumberKind::Home;
    return NumberKind::Other;
}

// Apple's and Google's item labels: "_$!<Mobile>!$_" stands for a kind; anything else is the
// user's own word for the number.
void ApplyLabel(tContactNumber& number, const std::string& label) {
    if (label.starts_with("_$!<") && label.ends_with(">!$_") && label.size() >= 8) {
        const std::string inner = AsciiLower(label.substr(4, label.size() - 8));
        if (inner == "mobile" || inner == "iphone")
            number.kind = NumberKind::Mobile;
        else if (inner == "home")
            number.kind = NumberKind::Home;
        else if (inner == "work")
            number.kind = NumberKind::Work;
        else if (inner.find("fax") != std::string::npos)
            number.kind = NumberKind::Fax;
        else if (inner == "pager")
            number.kind = NumberKind::Pager;
        return;
    }
    if (!label.empty()) number.sLabel = label;
}

std::string ParamValue(const Property& p, const char* name) {
    for (const auto& [n, v] : p.aParams)
        if (n == name) return v;
    return {};
}

bool HasBareParam(const Property& p, const char* value) {
    for (const auto& [n, v] : p.aParams)
        if (n.empty() && EqualsNoCase(v, value)) return true;
    return false;
}

// The number of a TEL value: a "tel:" URI loses its scheme and its parameters (";ext=").
std::string CleanNumber(std::string number) {
    std::string_view v = TrimBlanks(number);
    if (v.size() >= 4 && EqualsNoCase(v.substr(0, 4), "tel:")) {
        v.remove_prefix(4);
        v = v.substr(0, v.find(';'));
    }
    return std::string(TrimBlanks(v));
}

// Collects one card's properties.
class CardBuilder {
public:
    explicit CardBuilder(bool unicodeFile) : bUnicodeFile(unicodeFile) {}

    void Add(const Property& p) {
        if (p.sName == "VERSION" || p.sName == "BEGIN" || p.sName == "END") return;
        const std::string encoding = AsciiUpper(ParamValue(p, "ENCODING"));
        const bool qp = encoding == "QUOTED-PRINTABLE" || HasBareParam(p, "QUOTED-PRINTABLE");
        if (encoding == "B" || encoding == "BASE64" || HasBareParam(p, "BASE64")) return;
        const std::string charset = ParamValue(p, "CHARSET");
        std::string value;
        if (qp)
            value = CharsetToUtf8(DecodeQuotedPrintable(p.sValue), charset);
        else if (bUnicodeFile)
            value = p.sValue; // already UTF-8; a CHARSET here would describe the old file
        else
            value = CharsetToUtf8(p.sValue, charset);

        if (p.sName == "FN") {
            SetOnce(card.sFormattedName, Unescape(value));
        } else if (p.sName == "N") {
            const auto parts = SplitStructured(value);
            if (card.sFamilyName.empty() && card.sGivenName.empty()) {
                card.sFamilyName = Unescape(parts[0]);
                if (parts.size() > 1) card.sGivenName = Unescape(parts[1]);
            }
        } else if (p.sName == "ORG") {
            if (!card.sOrganization.empty()) return;
            std::string org;
            for (const auto& part : SplitStructured(value)) {
                const std::string one = Unescape(part);
                if (one.empty()) continue;
                if (!org.empty()) org += ", ";
                org += one;
            }
            card.sOrganization = org;
        } else if (p.sName == "ADR") {
            if (bHaveAddress) return;
            const auto parts = SplitStructured(value);
            const auto part = [&](size_t i) {
                return i < parts.size() ? Unescape(parts[i]) : std::string();
            };
            std::string street = part(2);
            if (street.empty()) street = part(1);
            for (char& c : street)
                if (c == '\n') c = ',';
            card.sStreet = street;
            card.sTown = part(3);
            card.sPostcode = part(5);
            bHaveAddress = !card.sStreet.empty() || !card.sTown.empty() || !card.sPostcode.empty();
        } else if (p.sName == "EMAIL") {
            SetOnce(card.sEmail, Unescape(value));
        } else if (p.sName == "NOTE") {
            SetOnce(card.sNote, Unescape(value));
        } else if (p.sName == "RELATED") {
            if (AsciiLower(ParamValue(p, "VALUE")) == "text")
                SetOnce(card.sContactPerson, Unescape(value));
        } else if (p.sName == "X-ABLABEL") {
            if (!p.sGroup.empty()) aLabels[p.sGroup] = Unescape(value);
        } else if (p.sName == "TEL") {
            tContactNumber number;
            number.sNumber = CleanNumber(Unescape(value));
            if (number.sNumber.empty()) return;
            number.kind = KindOfTypes(TypesOf(p));
            card.aNumbers.push_back(std::move(number));
            aNumberGroups.push_back(p.sGroup);
        }
    }

    tContact Finish() {
        for (size_t i = 0; i < card.aNumbers.size(); ++i) {
            if (aNumberGroups[i].empty()) continue;
            const auto it = aLabels.find(aNumberGroups[i]);
            if (it != aLabels.end()) ApplyLabel(card.aNumbers[i], it->second);
        }
        return std::move(card);
    }

private:
    static void SetOnce(std::string& field, std::string value) {
        if (field.empty()) field = std::move(value);
    }

    bool bUnicodeFile;
    bool bHaveAddress = false;
    tContact card;
    std::map<std::string, std::string> aLabels;
    std::vector<std::string> aNumberGroups;
};

} // namespace

std::vector<tContact> ReadVCards(std::string_view bytes) {
    bool unicode = false;
    std::string converted;
    std::string_view text = bytes;
    // UTF-16 is turned into UTF-8 first; other files stay bytes, since vCard 2.1 declares the
    // character set per property and only the undeclared values fall back to the file's.
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
        converted = FileTextToUtf8(bytes, &unicode);
        text = converted;
    } else if (bytes.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }

    std::vector<tContact> cards;
    std::optional<CardBuilder> card;
    int nestedDepth = 0; // cards inside a card (2.1 AGENT) are passed over
    bool version21 = false;
    std::string logical;
    size_t pos = 0;
    while (pos < text.size()) {
        Line line = NextLine(text, pos);
        pos = line.next;
        std::string_view first = text.substr(line.begin, line.end - line.begin);
        if (TrimBlanks(first).empty()) continue;
        const std::string name = PeekName(first);
        const bool keep = Interesting(name);
        const bool qp = keep && HeadSaysQuotedPrintable(first);
        if (keep) logical.assign(first);
        // Continuation lines: folded ones begin with a blank; quoted-printable soft breaks end
        // the line with '=' and go on at the start of the next.
        while (pos < text.size()) {
            if (qp && !logical.empty() && logical.back() == '=') {
                const Line more = NextLine(text, pos);
                logical.pop_back();
                logical.append(text.substr(more.begin, more.end - more.begin));
                pos = more.next;
                continue;
            }
            if (!IsFoldBlank(text[pos])) break;
            const Line more = NextLine(text, pos);
            // vCard 2.1 unfolds by taking out the line break alone; later versions also take
            // the blank that marks the continuation.
            const size_t skip = version21 ? 0 : 1;
            if (keep) logical.append(text.substr(more.begin + skip, more.end - more.begin - skip));
            pos = more.next;
        }
        if (!keep) continue;

        if (name == "BEGIN" || name == "END") {
            const auto p = ParseProperty(logical);
            if (!p || !EqualsNoCase(TrimBlanks(p->sValue), "VCARD")) continue;
            if (name == "BEGIN") {
                if (card)
                    ++nestedDepth;
                else {
                    card.emplace(unicode);
                    version21 = false;
                }
            } else if (nestedDepth > 0) {
                --nestedDepth;
            } else if (card) {
                cards.push_back(card->Finish());
                card.reset();
            }
            continue;
        }
        if (!card || nestedDepth > 0) continue;
        if (const auto p = ParseProperty(logical)) {
            if (p->sName == "VERSION") version21 = TrimBlanks(p->sValue).starts_with("2.");
            card->Add(*p);
        }
    }
    if (card) cards.push_back(card->Finish()); // a last card without END
    return cards;
}

bool LooksLikeVCard(std::string_view bytes) {
    const std::string head = AsciiLower(bytes.substr(0, 4096));
    // UTF-16 puts NULs between the letters.
    std::string letters;
    for (char c : head)
        if (c != '\0') letters.push_back(c);
    return letters.find("begin:vcard") != std::string::npos;
}
