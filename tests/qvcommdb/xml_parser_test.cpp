#include <gtest/gtest.h>

#include "xml_events.h"

namespace qv::test {
namespace {

using xml::XmlError;

TEST(XmlParser, ReportsElementsAttributesAndTextInOrder) {
    EventLog log;
    ASSERT_TRUE(ParseWithOurs("<?xml version=\"1.0\" ?>\n<!-- c --><r b='2' a=\"1\">x<e/>y&amp;<![CDATA[<z>]]>"
                              "<?pi data?></r>\n",
                              &log));
    EXPECT_EQ(log.events, "<r b=2 a=1>[x]<e></e>[y&<z>]</r>");
}

TEST(XmlParser, ResolvesReferencesAndNormalisesAttributeBlanks) {
    struct Case {
        const char* doc;
        const char* events;
    } cases[] = {
        {"<r v=\"&lt;&gt;&amp;&quot;&apos;\"/>", "<r v=<>&\"'></r>"},
        {"<r v=\"&#65;&#x42;&#x00E7;\"/>", "<r v=AB\xC3\xA7></r>"},
        {"<r v=\"a\tb\nc\r\nd\"/>", "<r v=a b c d></r>"},
        {"<r v=\"a&#x09;b&#x0A;c\"/>", "<r v=a\tb\nc></r>"},
        {"<r v=\"&#x01;&#x1F;\"/>", "<r v=\x01\x1F></r>"},  // the writer's control characters
        {"<r>a\r\nb\rc</r>", "<r>[a\nb\nc]</r>"},
        {"<r v=\"\xE9\xFF\"/>", "<r v=\xE9\xFF></r>"},  // bytes 0x80-0xFF arrive unchanged
        {"\xEF\xBB\xBF<r/>", "<r></r>"},
    };
    for (const auto& c : cases) {
        EventLog log;
        EXPECT_TRUE(ParseWithOurs(c.doc, &log)) << c.doc;
        EXPECT_EQ(log.events, c.events) << c.doc;
    }
}

TEST(XmlParser, AcceptsWellFormedProlog) {
    for (const char* doc : {
             "<?xml version=\"1.0\"?><r/>",
             "<?xml version='1.0' encoding='ISO-8859-1' standalone='yes' ?><r/>",
             "<!DOCTYPE r><r/>",
             "<!DOCTYPE r SYSTEM \"r.dtd\"><r/>",
             "<!DOCTYPE r PUBLIC \"-//x//y\" 'r.dtd' [ <!ELEMENT r ANY> <!ATTLIST r a CDATA '>'> "
             "<!ENTITY e \"<x/>\"> %pe; <!-- c --> <?pi x?> ]><r/>",
             "<!-- a --><?pi?>\n<r/><!-- b -->\n<?pi?>\n",
         }) {
        EventLog log;
        EXPECT_TRUE(ParseWithOurs(doc, &log)) << doc;
    }
}

TEST(XmlParser, RejectsWhatIsNotWellFormed) {
    struct Case {
        const char* doc;
        XmlError error;
    } cases[] = {
        {"", XmlError::kNoElement},
        {"   ", XmlError::kNoElement},
        {"<!-- only -->", XmlError::kNoElement},
        {"<a>", XmlError::kUnclosedElement},
        {"<a></b>", XmlError::kTagMismatch},
        {"<a><b></a></b>", XmlError::kTagMismatch},
        {"<a/><b/>", XmlError::kJunkAfterElement},
        {"<a/>text", XmlError::kJunkAfterElement},
        {"text<a/>", XmlError::kSyntax},
        {"<a x=\"1\" x=\"2\"/>", XmlError::kDuplicateAttribute},
        {"<a x=\"1\"y=\"2\"/>", XmlError::kSyntax},
        {"<a x=1/>", XmlError::kSyntax},
        {"<a x/>", XmlError::kSyntax},
        {"<1a/>", XmlError::kSyntax},
        {"<a x=\"<\"/>", XmlError::kSyntax},
        {"<a x=\"&nope;\"/>", XmlError::kUndefinedEntity},
        {"<!DOCTYPE a [<!ENTITY e \"x\">]><a>&e;</a>", XmlError::kUndefinedEntity},  // never expanded
        {"<a x=\"&amp\"/>", XmlError::kSyntax},
        {"<a>&#0;</a>", XmlError::kBadCharacterReference},
        {"<a>&#xD800;</a>", XmlError::kBadCharacterReference},
        {"<a>&#x110000;</a>", XmlError::kBadCharacterReference},
        {"<a>&#xFFFE;</a>", XmlError::kBadCharacterReference},
        {"<a>&#;</a>", XmlError::kSyntax},
        {"<a>&#x;</a>", XmlError::kSyntax},
        {"<a>]]></a>", XmlError::kSyntax},
        {"<a>\x01</a>", XmlError::kInvalidCharacter},
        {"<a x=\"\x0B\"/>", XmlError::kInvalidCharacter},
        {"<a><!-- a -- b --></a>", XmlError::kSyntax},
        {"<a><!-- a ---></a>", XmlError::kSyntax},
        {"<a><!-- open</a>", XmlError::kUnclosedToken},
        {"<a><![CDATA[ open</a>", XmlError::kUnclosedToken},
        {"<a><?xml version=\"1.0\"?></a>", XmlError::kMisplacedXmlDeclaration},
        {" <?xml version=\"1.0\"?><a/>", XmlError::kMisplacedXmlDeclaration},
        {"<?xml encoding=\"UTF-8\"?><a/>", XmlError::kSyntax},
        {"<?xml version=\"\"?><a/>", XmlError::kSyntax},
        {"<?xml version=\"1 0\"?><a/>", XmlError::kSyntax},
        {"<?xml version=\"1.0\" standalone=\"maybe\"?><a/>", XmlError::kSyntax},
        {"<a><!DOCTYPE a></a>", XmlError::kSyntax},
        {"<a/><!DOCTYPE a>", XmlError::kSyntax},
        {"<!DOCTYPE a [<!BOGUS>]><a/>", XmlError::kSyntax},
        {"<!DOCTYPE a [<!ELEMENT a ANY>", XmlError::kUnclosedToken},
        {"<a", XmlError::kUnclosedToken},
        {"<a x=\"1", XmlError::kUnclosedToken},
        {"<a>&amp", XmlError::kUnclosedToken},
    };
    for (const auto& c : cases) {
        EventLog log;
        XmlError error = XmlError::kNone;
        EXPECT_FALSE(ParseWithOurs(c.doc, &log, &error)) << c.doc;
        EXPECT_EQ(static_cast<int>(error), static_cast<int>(c.error)) << c.doc << ": " << xml::XmlErrorText(error);
    }
}

TEST(XmlParser, EmbeddedZeroIsRejected) {
    EventLog log;
    XmlError error;
    EXPECT_FALSE(ParseWithOurs(std::string("<a>x\0y</a>", 10), &log, &error));
    EXPECT_EQ(error, XmlError::kInvalidCharacter);
}

TEST(XmlParser, ErrorPositionIsItsLineAndColumn) {
    auto parser = xml::XmlParser::Create("ISO-8859-1");
    const std::string doc = "<a>\n  <b>\n  </c>\n</a>";
    EXPECT_FALSE(parser->Parse(doc.data(), doc.size()));
    EXPECT_EQ(parser->error(), XmlError::kTagMismatch);
    EXPECT_EQ(parser->error_line(), 3);
    EXPECT_EQ(parser->error_column(), 4);
}

TEST(XmlParser, DeepNestingAndManyAttributesNeedNoRecursion) {
    const int kDepth = 200000;
    std::string doc;
    doc.reserve(kDepth * 8);
    for (int i = 0; i < kDepth; ++i) doc += "<e>";
    for (int i = 0; i < kDepth; ++i) doc += "</e>";
    auto parser = xml::XmlParser::Create("UTF-8");
    EXPECT_TRUE(parser->Parse(doc.data(), doc.size()));

    std::string wide = "<e";
    for (int i = 0; i < 50000; ++i) wide += " a" + std::to_string(i) + "=\"\"";
    EXPECT_TRUE(parser->Parse((wide + "/>").data(), wide.size() + 2));
    wide += " a49999=\"\"/>";
    EXPECT_FALSE(parser->Parse(wide.data(), wide.size()));
    EXPECT_EQ(parser->error(), XmlError::kDuplicateAttribute);
}

TEST(XmlParser, HandlersMaySwitchThemselvesOffDuringTheParse) {
    struct State {
        xml::XmlParser* parser;
        int starts = 0;
    } state;
    auto parser = xml::XmlParser::Create("ISO-8859-1");
    state.parser = parser.get();
    parser->SetUserData(&state);
    parser->SetElementHandlers(
        [](void* u, const char*, const char**) {
            auto* s = static_cast<State*>(u);
            if (++s->starts == 2) s->parser->SetElementHandlers(nullptr, nullptr);
        },
        nullptr);
    const std::string doc = "<a><b/><c/><d/></a>";
    EXPECT_TRUE(parser->Parse(doc.data(), doc.size()));
    EXPECT_EQ(state.starts, 2);
}

TEST(XmlParser, OnlyKnownEncodingNamesAreTaken) {
    EXPECT_NE(xml::XmlParser::Create("iso-8859-1"), nullptr);
    EXPECT_EQ(xml::XmlParser::Create("EBCDIC"), nullptr);
    EXPECT_EQ(xml::XmlParser::Create(nullptr), nullptr);
}

}  // namespace
}  // namespace qv::test
