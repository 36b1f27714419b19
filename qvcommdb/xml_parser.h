// A streaming XML 1.0 parser over one buffer.
//
// It reports element starts with their attributes in document order (references resolved),
// element ends and character data, and tells whether the document is well formed. One pass over
// the buffer, no recursion, no memory beyond a stack of open element names and scratch space
// for one tag.
//
// Where it differs from a general-purpose parser, on purpose:
// - Bytes 0x80 to 0xFF pass to the callbacks unchanged, whatever encoding is named, and count
//   as name characters. The store file is written in the system's narrow code page.
// - Character references to the control characters 0x01 to 0x1F are accepted (the store file
//   writer uses them for such bytes in texts). A reference to a code point of 0x80 or more
//   yields its UTF-8 bytes.
// - A document type declaration is checked for its structure and then ignored: its entities
//   are never expanded (a reference to one is an error, like any undefined entity), and its
//   attribute declarations add no defaults.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qv::xml {

using StartElementHandler = void (*)(void* user, const char* name, const char** attributes);
using EndElementHandler = void (*)(void* user, const char* name);
using CharacterDataHandler = void (*)(void* user, const char* text, int length);

enum class XmlError {
    kNone,
    kNoElement,           // no top element
    kSyntax,              // a construct that breaks the grammar
    kInvalidCharacter,    // a byte that XML does not allow where it stands
    kUnclosedToken,       // the document ends inside a tag, comment, section or reference
    kTagMismatch,         // an end tag that does not match the open element
    kDuplicateAttribute,  // two attributes of one name on an element
    kJunkAfterElement,    // something other than comments, instructions or blanks after the top element
    kUndefinedEntity,     // a reference to an entity other than the five predefined ones
    kBadCharacterReference,
    kMisplacedXmlDeclaration,
    kUnclosedElement,     // the document ends while elements are open
    kUnsupportedEncoding,
};

const char* XmlErrorText(XmlError error);

class XmlParser {
public:
    // Returns null for an encoding name other than ISO-8859-1, UTF-8 or US-ASCII (any case).
    static std::unique_ptr<XmlParser> Create(const char* encoding);

    void SetUserData(void* user) { user_ = user; }
    // May be called from inside a callback; the new handlers take effect at once.
    void SetElementHandlers(StartElementHandler start, EndElementHandler end) {
        start_ = start;
        end_ = end;
    }
    void SetCharacterDataHandler(CharacterDataHandler handler) { chars_ = handler; }
    bool SetEncoding(const char* encoding);

    // Parses the whole document. True when it is well formed.
    bool Parse(const char* data, size_t size);

    XmlError error() const { return error_; }
    size_t error_offset() const { return error_offset_; }
    // Line (from 1) and column (from 0) of the error, computed from the last parsed buffer.
    int error_line() const { return error_line_; }
    int error_column() const { return error_column_; }

private:
    XmlParser() = default;

    void* user_ = nullptr;
    StartElementHandler start_ = nullptr;
    EndElementHandler end_ = nullptr;
    CharacterDataHandler chars_ = nullptr;

    XmlError error_ = XmlError::kNone;
    size_t error_offset_ = 0;
    int error_line_ = 0;
    int error_column_ = 0;

    friend class ParseRun;
    // Scratch space reused from tag to tag.
    std::string scratch_;
    struct Span {
        size_t offset;
        size_t length;
    };
    std::vector<size_t> attr_offsets_;       // into scratch_: name, value, name, value ...
    std::vector<const char*> attr_pointers_;  // the list handed to the start handler
    std::vector<Span> attr_names_;            // into the document, for the duplicate check
    std::vector<Span> open_;                  // names of the open elements, into the document
};

// True when `name` may stand as an element or attribute name of a store file: a first byte
// that is a letter, "_", ":" or 0x80 and above, then letters, digits, ".", "-", "_", ":" or
// bytes of 0x80 and above.
bool IsXmlName(const char* name, size_t length);

}  // namespace qv::xml
