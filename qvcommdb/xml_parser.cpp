#include "qvcommdb/xml_parser.h"

#include <cstring>
#include <string_view>
#include <unordered_set>

namespace qv::xml {

namespace {

// Byte classes.
enum : uint8_t {
    kNameStart = 1,   // may begin a name
    kNameChar = 2,    // may continue a name
    kSpace = 4,       // white space of the grammar
    kInvalid = 8,     // never allowed as a raw byte
    kAttrStop = 16,   // ends a run of plain bytes in an attribute value
    kTextStop = 32,   // ends a run of plain bytes in character data
};

struct ByteClasses {
    uint8_t c[256];
    constexpr ByteClasses() : c() {
        for (int b = 0; b < 256; ++b) {
            uint8_t v = 0;
            const bool letter = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
            if (letter || b == '_' || b == ':' || b >= 0x80) v |= kNameStart | kNameChar;
            if ((b >= '0' && b <= '9') || b == '.' || b == '-') v |= kNameChar;
            if (b == ' ' || b == '\t' || b == '\n' || b == '\r') v |= kSpace;
            if (b < 0x20 && b != '\t' && b != '\n' && b != '\r') v |= kInvalid | kAttrStop | kTextStop;
            if (b == '<' || b == '&' || b == '"' || b == '\'' || b == '\t' || b == '\n' || b == '\r')
                v |= kAttrStop;
            if (b == '<' || b == '&' || b == ']' || b == '\r') v |= kTextStop;
            c[b] = v;
        }
    }
};
constexpr ByteClasses kClasses;

inline uint8_t ClassOf(const char* p) { return kClasses.c[static_cast<unsigned char>(*p)]; }

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | cp >> 6));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | cp >> 12));
        out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | cp >> 18));
        out.push_back(static_cast<char>(0x80 | (cp >> 12 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

bool IsSupportedEncoding(const char* name) {
    if (!name) return false;
    for (const char* known : {"ISO-8859-1", "UTF-8", "US-ASCII"})
        if (EqualsIgnoringAsciiCase(name, known)) return true;
    return false;
}

}  // namespace

// One parse of one buffer. Every routine returns false after recording an error.
class ParseRun {
public:
    ParseRun(XmlParser& parser, const char* data, size_t size)
        : x_(parser), base_(data), p_(data), e_(data + size) {}

    bool Run();

private:
    bool Fail(XmlError error, const char* at) {
        if (x_.error_ == XmlError::kNone) {
            x_.error_ = error;
            x_.error_offset_ = static_cast<size_t>(at - base_);
        }
        return false;
    }
    bool AtEnd() const { return p_ >= e_; }
    bool StartsWith(const char* s, size_t n) const {
        return static_cast<size_t>(e_ - p_) >= n && std::memcmp(p_, s, n) == 0;
    }
    // Skips white space; true when at least one byte was skipped.
    bool SkipSpaces() {
        const char* s = p_;
        while (p_ < e_ && (ClassOf(p_) & kSpace)) ++p_;
        return p_ != s;
    }
    bool ScanName() {
        if (AtEnd()) return Fail(XmlError::kUnclosedToken, p_);
        if (!(ClassOf(p_) & kNameStart)) return Fail(XmlError::kSyntax, p_);
        ++p_;
        while (p_ < e_ && (ClassOf(p_) & kNameChar)) ++p_;
        return true;
    }
    // Checks that [from, to) holds only bytes that XML allows.
    bool CheckChars(const char* from, const char* to) {
        for (const char* q = from; q < to; ++q)
            if (ClassOf(q) & kInvalid) return Fail(XmlError::kInvalidCharacter, q);
        return true;
    }
    const char* Find(const char* what, size_t n) const {
        if (static_cast<size_t>(e_ - p_) < n) return nullptr;
        const char* last = e_ - n;
        for (const char* q = p_; q <= last;) {
            q = static_cast<const char*>(std::memchr(q, what[0], static_cast<size_t>(last - q) + 1));
            if (!q) return nullptr;
            if (std::memcmp(q, what, n) == 0) return q;
            ++q;
        }
        return nullptr;
    }

    bool ParseXmlDeclaration();
    bool ParsePseudoAttribute(const char* name, std::string_view* value);
    bool ParseComment();
    bool ParseProcessingInstruction();
    bool ParseDoctype();
    bool ParseMarkupDeclaration();
    bool ParseQuoted(std::string_view* value);
    bool ParseElement();
    bool ParseStartTag(bool* empty);
    bool ParseEndTag();
    bool ParseAttributeValue(bool decode);
    bool ParseReference(std::string* out);
    bool ParseCData();
    bool ParseText();
    void EmitText(const char* s, size_t n) {
        if (x_.chars_ && n) x_.chars_(x_.user_, s, static_cast<int>(n));
    }
    bool ParseMisc(bool* handled);

    XmlParser& x_;
    const char* const base_;
    const char* p_;
    const char* const e_;
    std::string ref_text_;  // the bytes of one resolved reference in character data
};

bool ParseRun::Run() {
    if (StartsWith("\xEF\xBB\xBF", 3)) p_ += 3;
    if (StartsWith("<?xml", 5) && p_ + 5 < e_ && (ClassOf(p_ + 5) & kSpace)) {
        if (!ParseXmlDeclaration()) return false;
    }
    bool seen_doctype = false;
    bool seen_root = false;
    for (;;) {
        SkipSpaces();
        if (AtEnd()) break;
        if (*p_ != '<') {
            if (ClassOf(p_) & kInvalid) return Fail(XmlError::kInvalidCharacter, p_);
            return Fail(seen_root ? XmlError::kJunkAfterElement : XmlError::kSyntax, p_);
        }
        bool handled = false;
        if (!ParseMisc(&handled)) return false;
        if (handled) continue;
        if (StartsWith("<!DOCTYPE", 9)) {
            if (seen_doctype || seen_root) return Fail(XmlError::kSyntax, p_);
            seen_doctype = true;
            if (!ParseDoctype()) return false;
            continue;
        }
        if (seen_root) return Fail(XmlError::kJunkAfterElement, p_);
        if (StartsWith("<!", 2) || StartsWith("</", 2)) return Fail(XmlError::kSyntax, p_);
        if (!ParseElement()) return false;
        seen_root = true;
    }
    if (!seen_root) return Fail(XmlError::kNoElement, p_);
    return true;
}

// Comments and processing instructions, wherever they may stand.
bool ParseRun::ParseMisc(bool* handled) {
    if (StartsWith("<!--", 4)) {
        *handled = true;
        return ParseComment();
    }
    if (StartsWith("<?", 2)) {
        *handled = true;
        return ParseProcessingInstruction();
    }
    *handled = false;
    return true;
}

bool ParseRun::ParsePseudoAttribute(const char* name, std::string_view* value) {
    const size_t n = std::strlen(name);
    if (!StartsWith(name, n)) return false;
    p_ += n;
    SkipSpaces();
    if (AtEnd() || *p_ != '=') return Fail(XmlError::kSyntax, p_);
    ++p_;
    SkipSpaces();
    return ParseQuoted(value);
}

bool ParseRun::ParseQuoted(std::string_view* value) {
    if (AtEnd()) return Fail(XmlError::kUnclosedToken, p_);
    const char quote = *p_;
    if (quote != '"' && quote != '\'') return Fail(XmlError::kSyntax, p_);
    const char* start = ++p_;
    const char* close = static_cast<const char*>(std::memchr(p_, quote, static_cast<size_t>(e_ - p_)));
    if (!close) return Fail(XmlError::kUnclosedToken, e_);
    if (!CheckChars(start, close)) return false;
    *value = std::string_view(start, static_cast<size_t>(close - start));
    p_ = close + 1;
    return true;
}

bool ParseRun::ParseXmlDeclaration() {
    p_ += 5;
    SkipSpaces();
    std::string_view version;
    if (!ParsePseudoAttribute("version", &version)) return Fail(XmlError::kSyntax, p_);
    // A version number is one or more letters, digits, "_", "." or "-".
    if (version.empty()) return Fail(XmlError::kSyntax, p_);
    for (char c : version) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                        c == '_' || c == '.' || c == '-';
        if (!ok) return Fail(XmlError::kSyntax, p_);
    }
    bool space = SkipSpaces();
    std::string_view encoding;
    if (space && StartsWith("encoding", 8)) {
        if (!ParsePseudoAttribute("encoding", &encoding)) return false;
        if (encoding.empty()) return Fail(XmlError::kSyntax, p_);
        for (size_t i = 0; i < encoding.size(); ++i) {
            const char c = encoding[i];
            const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
            const bool other = (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
            if (!(letter || (i > 0 && other))) return Fail(XmlError::kSyntax, p_);
        }
        space = SkipSpaces();
    }
    std::string_view standalone;
    if (space && StartsWith("standalone", 10)) {
        if (!ParsePseudoAttribute("standalone", &standalone)) return false;
        if (standalone != "yes" && standalone != "no") return Fail(XmlError::kSyntax, p_);
        SkipSpaces();
    }
    if (!StartsWith("?>", 2)) return Fail(AtEnd() ? XmlError::kUnclosedToken : XmlError::kSyntax, p_);
    p_ += 2;
    return true;
}

bool ParseRun::ParseComment() {
    const char* start = p_;
    p_ += 4;
    for (const char* q = p_; q < e_; ++q) {
        if (ClassOf(q) & kInvalid) return Fail(XmlError::kInvalidCharacter, q);
        if (*q == '-' && q + 1 < e_ && q[1] == '-') {
            if (q + 2 < e_ && q[2] == '>') {
                p_ = q + 3;
                return true;
            }
            return Fail(q + 2 < e_ ? XmlError::kSyntax : XmlError::kUnclosedToken, q);
        }
    }
    return Fail(XmlError::kUnclosedToken, start);
}

bool ParseRun::ParseProcessingInstruction() {
    const char* start = p_;
    p_ += 2;
    const char* target = p_;
    if (!ScanName()) return false;
    if (EqualsIgnoringAsciiCase(std::string_view(target, static_cast<size_t>(p_ - target)), "xml"))
        return Fail(XmlError::kMisplacedXmlDeclaration, start);
    if (StartsWith("?>", 2)) {
        p_ += 2;
        return true;
    }
    if (!SkipSpaces()) return Fail(AtEnd() ? XmlError::kUnclosedToken : XmlError::kSyntax, p_);
    const char* close = Find("?>", 2);
    if (!close) return Fail(XmlError::kUnclosedToken, start);
    if (!CheckChars(p_, close)) return false;
    p_ = close + 2;
    return true;
}

bool ParseRun::ParseDoctype() {
    const char* start = p_;
    p_ += 9;
    if (!SkipSpaces()) return Fail(XmlError::kSyntax, p_);
    if (!ScanName()) return false;
    bool space = SkipSpaces();
    std::string_view literal;
    if (space && StartsWith("SYSTEM", 6)) {
        p_ += 6;
        if (!SkipSpaces() || !ParseQuoted(&literal)) return Fail(XmlError::kSyntax, p_);
        space = SkipSpaces();
    } else if (space && StartsWith("PUBLIC", 6)) {
        p_ += 6;
        if (!SkipSpaces() || !ParseQuoted(&literal)) return Fail(XmlError::kSyntax, p_);
        if (!SkipSpaces() || !ParseQuoted(&literal)) return Fail(XmlError::kSyntax, p_);
        space = SkipSpaces();
    }
    if (!AtEnd() && *p_ == '[') {
        ++p_;
        for (;;) {
            SkipSpaces();
            if (AtEnd()) return Fail(XmlError::kUnclosedToken, start);
            if (*p_ == ']') {
                ++p_;
                SkipSpaces();
                break;
            }
            if (*p_ == '%') {
                ++p_;
                if (!ScanName()) return false;
                if (AtEnd() || *p_ != ';') return Fail(XmlError::kSyntax, p_);
                ++p_;
                continue;
            }
            bool handled = false;
            if (!ParseMisc(&handled)) return false;
            if (handled) continue;
            if (!ParseMarkupDeclaration()) return false;
        }
    }
    if (AtEnd()) return Fail(XmlError::kUnclosedToken, start);
    if (*p_ != '>') return Fail(XmlError::kSyntax, p_);
    ++p_;
    return true;
}

// <!ELEMENT ...>, <!ATTLIST ...>, <!ENTITY ...> or <!NOTATION ...>: checked for its keyword,
// its quoted literals and its end; its content is not interpreted.
bool ParseRun::ParseMarkupDeclaration() {
    const char* start = p_;
    static const char* const kKeywords[] = {"<!ELEMENT", "<!ATTLIST", "<!ENTITY", "<!NOTATION"};
    bool known = false;
    for (const char* k : kKeywords) {
        const size_t n = std::strlen(k);
        if (StartsWith(k, n)) {
            p_ += n;
            known = true;
            break;
        }
    }
    if (!known) return Fail(XmlError::kSyntax, p_);
    if (!SkipSpaces()) return Fail(XmlError::kSyntax, p_);
    while (!AtEnd()) {
        const char c = *p_;
        if (c == '>') {
            ++p_;
            return true;
        }
        if (c == '"' || c == '\'') {
            std::string_view literal;
            if (!ParseQuoted(&literal)) return false;
            continue;
        }
        if (c == '<') return Fail(XmlError::kSyntax, p_);
        if (ClassOf(p_) & kInvalid) return Fail(XmlError::kInvalidCharacter, p_);
        ++p_;
    }
    return Fail(XmlError::kUnclosedToken, start);
}

// The top element and everything inside it, without recursion: open elements are kept on a stack.
bool ParseRun::ParseElement() {
    x_.open_.clear();
    bool empty = false;
    if (!ParseStartTag(&empty)) return false;
    while (!x_.open_.empty()) {
        if (AtEnd()) return Fail(XmlError::kUnclosedElement, p_);
        if (*p_ == '<') {
            if (p_ + 1 < e_ && p_[1] == '/') {
                if (!ParseEndTag()) return false;
            } else if (p_ + 1 < e_ && p_[1] == '!') {
                if (StartsWith("<!--", 4)) {
                    if (!ParseComment()) return false;
                } else if (StartsWith("<![CDATA[", 9)) {
                    if (!ParseCData()) return false;
                } else {
                    return Fail(static_cast<size_t>(e_ - p_) < 9 ? XmlError::kUnclosedToken
                                                                 : XmlError::kSyntax,
                                p_);
                }
            } else if (p_ + 1 < e_ && p_[1] == '?') {
                if (!ParseProcessingInstruction()) return false;
            } else {
                if (!ParseStartTag(&empty)) return false;
            }
        } else if (*p_ == '&') {
            ref_text_.clear();
            if (!ParseReference(&ref_text_)) return false;
            EmitText(ref_text_.data(), ref_text_.size());
        } else {
            if (!ParseText()) return false;
        }
    }
    return true;
}

bool ParseRun::ParseText() {
    const char* run = p_;
    for (;;) {
        const char* q = p_;
        while (q < e_ && !(ClassOf(q) & kTextStop)) ++q;
        p_ = q;
        if (AtEnd()) break;
        const char c = *p_;
        if (c == ']') {
            if (static_cast<size_t>(e_ - p_) >= 3 && p_[1] == ']' && p_[2] == '>')
                return Fail(XmlError::kSyntax, p_);
            ++p_;
            continue;
        }
        if (c == '\r') {
            // A line end is one line feed, whether written as CR LF or as a lone CR.
            EmitText(run, static_cast<size_t>(p_ - run));
            EmitText("\n", 1);
            ++p_;
            if (p_ < e_ && *p_ == '\n') ++p_;
            run = p_;
            continue;
        }
        if (ClassOf(p_) & kInvalid) return Fail(XmlError::kInvalidCharacter, p_);
        break;  // '<' or '&'
    }
    EmitText(run, static_cast<size_t>(p_ - run));
    return true;
}

bool ParseRun::ParseCData() {
    const char* start = p_;
    p_ += 9;
    const char* close = Find("]]>", 3);
    if (!close) return Fail(XmlError::kUnclosedToken, start);
    const char* run = p_;
    for (const char* q = p_; q < close; ++q) {
        if (ClassOf(q) & kInvalid) return Fail(XmlError::kInvalidCharacter, q);
        if (*q == '\r') {
            EmitText(run, static_cast<size_t>(q - run));
            EmitText("\n", 1);
            if (q + 1 < close && q[1] == '\n') ++q;
            run = q + 1;
        }
    }
    EmitText(run, static_cast<size_t>(close - run));
    p_ = close + 3;
    return true;
}

bool ParseRun::ParseReference(std::string* out) {
    const char* start = p_;
    ++p_;
    if (AtEnd()) return Fail(XmlError::kUnclosedToken, start);
    if (*p_ == '#') {
        ++p_;
        uint32_t value = 0;
        bool hex = false;
        if (p_ < e_ && *p_ == 'x') {
            hex = true;
            ++p_;
        }
        const char* digits = p_;
        bool too_big = false;
        for (; p_ < e_ && *p_ != ';'; ++p_) {
            const char c = *p_;
            int d;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (hex && c >= 'a' && c <= 'f')
                d = c - 'a' + 10;
            else if (hex && c >= 'A' && c <= 'F')
                d = c - 'A' + 10;
            else
                return Fail(XmlError::kSyntax, p_);
            value = value * (hex ? 16u : 10u) + static_cast<uint32_t>(d);
            if (value > 0x10FFFF) {
                too_big = true;
                value = 0x110000;
            }
        }
        if (AtEnd()) return Fail(XmlError::kUnclosedToken, start);
        if (p_ == digits) return Fail(XmlError::kSyntax, p_);
        ++p_;  // ';'
        if (too_big || value == 0 || (value >= 0xD800 && value <= 0xDFFF) || value == 0xFFFE ||
            value == 0xFFFF)
            return Fail(XmlError::kBadCharacterReference, start);
        AppendUtf8(*out, value);
        return true;
    }
    const char* name = p_;
    if (!ScanName()) return false;
    if (AtEnd()) return Fail(XmlError::kUnclosedToken, start);
    if (*p_ != ';') return Fail(XmlError::kSyntax, p_);
    const std::string_view n(name, static_cast<size_t>(p_ - name));
    ++p_;
    char c;
    if (n == "lt")
        c = '<';
    else if (n == "gt")
        c = '>';
    else if (n == "amp")
        c = '&';
    else if (n == "quot")
        c = '"';
    else if (n == "apos")
        c = '\'';
    else
        return Fail(XmlError::kUndefinedEntity, start);
    out->push_back(c);
    return true;
}

bool ParseRun::ParseAttributeValue(bool decode) {
    if (AtEnd()) return Fail(XmlError::kUnclosedToken, p_);
    const char quote = *p_;
    if (quote != '"' && quote != '\'') return Fail(XmlError::kSyntax, p_);
    const char* start = p_;
    ++p_;
    std::string& out = x_.scratch_;
    for (;;) {
        const char* q = p_;
        while (q < e_ && !(ClassOf(q) & kAttrStop)) ++q;
        if (decode) out.append(p_, static_cast<size_t>(q - p_));
        p_ = q;
        if (AtEnd()) return Fail(XmlError::kUnclosedToken, start);
        const char c = *p_;
        if (c == quote) {
            ++p_;
            if (decode) out.push_back('\0');
            return true;
        }
        switch (c) {
            case '"':
            case '\'':
                if (decode) out.push_back(c);
                ++p_;
                break;
            case '\t':
            case '\n':
                if (decode) out.push_back(' ');
                ++p_;
                break;
            case '\r':
                if (decode) out.push_back(' ');
                ++p_;
                if (p_ < e_ && *p_ == '\n') ++p_;
                break;
            case '&':
                if (decode) {
                    if (!ParseReference(&out)) return false;
                } else {
                    ref_text_.clear();
                    if (!ParseReference(&ref_text_)) return false;
                }
                break;
            case '<':
                return Fail(XmlError::kSyntax, p_);
            default:
                return Fail(XmlError::kInvalidCharacter, p_);
        }
    }
}

bool ParseRun::ParseStartTag(bool* empty) {
    ++p_;  // '<'
    const char* name = p_;
    if (!ScanName()) return false;
    const size_t name_len = static_cast<size_t>(p_ - name);
    const bool report = x_.start_ != nullptr || x_.end_ != nullptr;
    if (report) {
        x_.scratch_.assign(name, name_len);
        x_.scratch_.push_back('\0');
        x_.attr_offsets_.clear();
    }
    x_.attr_names_.clear();
    for (;;) {
        const bool space = SkipSpaces();
        if (AtEnd()) return Fail(XmlError::kUnclosedToken, p_);
        if (*p_ == '>') {
            ++p_;
            *empty = false;
            break;
        }
        if (*p_ == '/') {
            if (p_ + 1 >= e_) return Fail(XmlError::kUnclosedToken, p_);
            if (p_[1] != '>') return Fail(XmlError::kSyntax, p_);
            p_ += 2;
            *empty = true;
            break;
        }
        if (!space) return Fail(XmlError::kSyntax, p_);
        const char* attr = p_;
        if (!ScanName()) return false;
        const size_t attr_len = static_cast<size_t>(p_ - attr);
        x_.attr_names_.push_back({static_cast<size_t>(attr - base_), attr_len});
        SkipSpaces();
        if (AtEnd()) return Fail(XmlError::kUnclosedToken, p_);
        if (*p_ != '=') return Fail(XmlError::kSyntax, p_);
        ++p_;
        SkipSpaces();
        if (report) {
            x_.attr_offsets_.push_back(x_.scratch_.size());
            x_.scratch_.append(attr, attr_len);
            x_.scratch_.push_back('\0');
            x_.attr_offsets_.push_back(x_.scratch_.size());
        }
        if (!ParseAttributeValue(report)) return false;
    }
    // Two attributes of one name make the document not well formed.
    const auto& names = x_.attr_names_;
    if (names.size() > 1) {
        if (names.size() <= 16) {
            for (size_t i = 1; i < names.size(); ++i)
                for (size_t j = 0; j < i; ++j)
                    if (names[i].length == names[j].length &&
                        std::memcmp(base_ + names[i].offset, base_ + names[j].offset,
                                    names[i].length) == 0)
                        return Fail(XmlError::kDuplicateAttribute, base_ + names[i].offset);
        } else {
            std::unordered_set<std::string_view> seen;
            seen.reserve(names.size());
            for (const auto& n : names)
                if (!seen.insert(std::string_view(base_ + n.offset, n.length)).second)
                    return Fail(XmlError::kDuplicateAttribute, base_ + n.offset);
        }
    }
    if (!*empty) x_.open_.push_back({static_cast<size_t>(name - base_), name_len});
    if (report) {
        auto& ptrs = x_.attr_pointers_;
        ptrs.clear();
        for (size_t off : x_.attr_offsets_) ptrs.push_back(x_.scratch_.data() + off);
        ptrs.push_back(nullptr);
        if (x_.start_) x_.start_(x_.user_, x_.scratch_.data(), ptrs.data());
        // The handler may have switched element handling off; read the end handler afresh.
        if (*empty && x_.end_) x_.end_(x_.user_, x_.scratch_.data());
    }
    return true;
}

bool ParseRun::ParseEndTag() {
    const char* start = p_;
    p_ += 2;
    const char* name = p_;
    if (!ScanName()) return false;
    const size_t len = static_cast<size_t>(p_ - name);
    SkipSpaces();
    if (AtEnd()) return Fail(XmlError::kUnclosedToken, start);
    if (*p_ != '>') return Fail(XmlError::kSyntax, p_);
    ++p_;
    const auto top = x_.open_.back();
    if (top.length != len || std::memcmp(base_ + top.offset, name, len) != 0)
        return Fail(XmlError::kTagMismatch, name);
    x_.open_.pop_back();
    if (x_.end_) {
        x_.scratch_.assign(name, len);
        x_.end_(x_.user_, x_.scratch_.c_str());
    }
    return true;
}

std::unique_ptr<XmlParser> XmlParser::Create(const char* encoding) {
    if (!IsSupportedEncoding(encoding)) return nullptr;
    return std::unique_ptr<XmlParser>(new XmlParser());
}

bool XmlParser::SetEncoding(const char* encoding) { return IsSupportedEncoding(encoding); }

bool XmlParser::Parse(const char* data, size_t size) {
    error_ = XmlError::kNone;
    error_offset_ = 0;
    error_line_ = 0;
    error_column_ = 0;
    if (!data && size) size = 0;
    ParseRun run(*this, data ? data : "", size);
    const bool ok = run.Run();
    if (!ok) {
        int line = 1;
        size_t line_start = 0;
        for (size_t i = 0; i < error_offset_ && i < size; ++i)
            if (data[i] == '\n') {
                ++line;
                line_start = i + 1;
            }
        error_line_ = line;
        error_column_ = static_cast<int>(error_offset_ - line_start);
    }
    open_.clear();
    return ok;
}

const char* XmlErrorText(XmlError error) {
    switch (error) {
        case XmlError::kNone: return "no error";
        case XmlError::kNoElement: return "no element found";
        case XmlError::kSyntax: return "syntax error";
        case XmlError::kInvalidCharacter: return "character not allowed here";
        case XmlError::kUnclosedToken: return "document ends inside a token";
        case XmlError::kTagMismatch: return "mismatched tag";
        case XmlError::kDuplicateAttribute: return "duplicate attribute";
        case XmlError::kJunkAfterElement: return "junk after document element";
        case XmlError::kUndefinedEntity: return "undefined entity";
        case XmlError::kBadCharacterReference: return "reference to an invalid character";
        case XmlError::kMisplacedXmlDeclaration: return "XML declaration not at start of document";
        case XmlError::kUnclosedElement: return "document ends before its elements are closed";
        case XmlError::kUnsupportedEncoding: return "unsupported encoding";
    }
    return "unknown error";
}

bool IsXmlName(const char* name, size_t length) {
    if (!name || length == 0) return false;
    if (!(ClassOf(name) & kNameStart)) return false;
    for (size_t i = 1; i < length; ++i)
        if (!(ClassOf(name + i) & kNameChar)) return false;
    return true;
}

}  // namespace qv::xml
