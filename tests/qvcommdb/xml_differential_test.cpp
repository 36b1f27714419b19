// Our parser against libexpat as the reference: on hand-written documents and on many
// mutations of them, both give the same verdict and, for well-formed documents, the same
// events. The deliberate differences are recognised and listed in IsDeliberateDifference.
#include <expat.h>
#include <gtest/gtest.h>

#include <random>
#include <regex>

#include "xml_events.h"

namespace qv::test {
namespace {

bool ParseWithExpat(const std::string& doc, EventLog* log) {
    XML_Parser p = XML_ParserCreate("UTF-8");
    XML_SetUserData(p, log);
    XML_SetElementHandler(
        p, [](void* u, const XML_Char* n, const XML_Char** a) { static_cast<EventLog*>(u)->Start(n, a); },
        [](void* u, const XML_Char* n) { static_cast<EventLog*>(u)->End(n); });
    XML_SetCharacterDataHandler(p, [](void* u, const XML_Char* s, int n) { static_cast<EventLog*>(u)->Text(s, n); });
    const bool ok = XML_Parse(p, doc.data(), static_cast<int>(doc.size()), 1) == XML_STATUS_OK;
    XML_ParserFree(p);
    log->Flush();
    return ok;
}

// Where our parser differs on purpose: references to control characters load (the store
// writer uses them), and a document type declaration is never applied (no entity expansion,
// no default attributes).
bool IsDeliberateDifference(const std::string& doc) {
    static const std::regex control_ref("&#(x0*[0-1]?[0-9A-Fa-f]|0*([1-9]|[12][0-9]|3[01]));");
    return doc.find("<!DOCTYPE") != std::string::npos || std::regex_search(doc, control_ref);
}

// Compares the two parsers on one document; returns a description of a disagreement.
std::string Compare(const std::string& doc) {
    EventLog ours, theirs;
    const bool our_ok = ParseWithOurs(doc, &ours);
    const bool their_ok = ParseWithExpat(doc, &theirs);
    if (our_ok != their_ok) {
        if (IsDeliberateDifference(doc)) return {};
        return std::string("verdict: ours ") + (our_ok ? "accepts" : "rejects") + ", expat " +
               (their_ok ? "accepts" : "rejects");
    }
    if (our_ok && ours.events != theirs.events && !IsDeliberateDifference(doc))
        return "events: ours " + ours.events + " expat " + theirs.events;
    return {};
}

const char* const kCorpus[] = {
    "<a/>",
    "<a></a>",
    "<?xml version=\"1.0\" ?>\n<QVCDB:QVCommDB>\n  <Plugins PATH=\"C:\\x\"/>\n</QVCDB:QVCommDB>\n",
    "<?xml version='1.0' encoding='UTF-8' standalone='no'?><a/>",
    "<?xml version=\"1.1\"?><a/>",
    "<?xml version=\"1.0\"?>\n<!-- c --><?pi x y?>\n<a/>\n<!-- d -->",
    "<a b=\"1\" c='2' d = \"3\"/>",
    "<a b=\"&lt;&gt;&amp;&quot;&apos;&#65;&#x42;\"/>",
    "<a b=\"x\ty\nz\r\nw\"/>",
    "<a>x&amp;y<![CDATA[<&>]]>z</a>",
    "<a>\r\n\r</a>",
    "<a><b><c/></b><b/></a>",
    "<a:b:c x:y=\"1\"/>",
    "<_a.b-c/>",
    "<a>]</a>",
    "<a>]]</a>",
    "<a>]]></a>",
    "<a><?pi?></a>",
    "<a><?xml-stylesheet href='x'?></a>",
    "<a><!----></a>",
    "<a><!-- - --></a>",
    "<a><!-- -- --></a>",
    "<a><!-- ---></a>",
    "<a>&#x10FFFF;&#xFFFD;&#xE000;</a>",
    "<a>&#0;</a>",
    "<a>&#x1;</a>",
    "<a>&#xD800;</a>",
    "<a>&#xFFFE;</a>",
    "<a>&#99999999999;</a>",
    "<a>&bogus;</a>",
    "<a>&#x;</a>",
    "<a>&amp</a>",
    "<a b=\"&\"/>",
    "<a b=\"<\"/>",
    "<a b=\">\"/>",
    "<a b='\"'/>",
    "<a b=\"'\"/>",
    "<a b=\"1\" b=\"2\"/>",
    "<a b=\"1\"c=\"2\"/>",
    "<a b/>",
    "<a b=/>",
    "<a b=1/>",
    "< a/>",
    "<a / >",
    "<a/ >",
    "<a></a >",
    "<a></ a>",
    "<1/>",
    "<-a/>",
    "<.a/>",
    "<a/><b/>",
    "<a/>x",
    "x<a/>",
    "<a>",
    "</a>",
    "<a></b>",
    "",
    " ",
    "<!-- x -->",
    "<?pi?>",
    " <?xml version=\"1.0\"?><a/>",
    "<?xml version=\"1.0\"?><?xml version=\"1.0\"?><a/>",
    "<?XML version=\"1.0\"?><a/>",
    "<?xml?><a/>",
    "<?xml version=\"1.0\" encoding=\"\"?><a/>",
    "<?xml version=\"1.0\" encoding=\"1x\"?><a/>",
    "<?xml version=\"1.0\" standalone=\"yes\" encoding=\"UTF-8\"?><a/>",
    "<?xml version=\"1.0\"standalone=\"yes\"?><a/>",
    "<a>\x01</a>",
    "<a>\x7F</a>",
    "<a>\t\n\r </a>",
    "<a b=\"\x0C\"/>",
    "<a><![CDATA[]]></a>",
    "<a><![CDATA[x]]]></a>",
    "<a><![CDATA[x</a>",
    "<a><![cdata[x]]></a>",
    "<a><!DOCTYPE a></a>",
    "<a><!ELEMENT a ANY></a>",
    "<!DOCTYPE a><a/>",
    "<!DOCTYPE a [<!ELEMENT a ANY>]><a/>",
};

TEST(XmlDifferential, HandWrittenDocumentsAgreeWithExpat) {
    for (const char* doc : kCorpus) EXPECT_EQ(Compare(doc), "") << doc;
}

TEST(XmlDifferential, DeliberateDifferencesAreTheDocumentedOnes) {
    EventLog ours, theirs;
    // A reference to a control character loads, as the store file writer needs.
    EXPECT_TRUE(ParseWithOurs("<a v=\"&#x01;\"/>", &ours));
    EXPECT_FALSE(ParseWithExpat("<a v=\"&#x01;\"/>", &theirs));
    // An entity a document declares is not expanded.
    const std::string with_entity = "<!DOCTYPE a [<!ENTITY e \"x\">]><a>&e;</a>";
    EXPECT_FALSE(ParseWithOurs(with_entity, &ours));
    EXPECT_TRUE(ParseWithExpat(with_entity, &theirs));
}

// Mutations of the corpus over the bytes that matter to markup.
TEST(XmlDifferential, MutatedDocumentsAgreeWithExpat) {
    const std::string alphabet = "<>/=\"'&;#x!?-[]abAB019 \t\n\r:._";
    std::mt19937 rng(42);
    int disagreements = 0;
    const int kRounds = 200000;
    for (int round = 0; round < kRounds; ++round) {
        std::string doc = kCorpus[rng() % (sizeof kCorpus / sizeof kCorpus[0])];
        const int edits = 1 + static_cast<int>(rng() % 4);
        for (int e = 0; e < edits; ++e) {
            const size_t at = doc.empty() ? 0 : rng() % (doc.size() + 1);
            const char c = alphabet[rng() % alphabet.size()];
            switch (rng() % 3) {
                case 0: doc.insert(doc.begin() + static_cast<long>(at), c); break;
                case 1: if (at < doc.size()) doc.erase(at, 1); break;
                default: if (at < doc.size()) doc[at] = c; break;
            }
        }
        const std::string why = Compare(doc);
        if (!why.empty() && ++disagreements <= 10) ADD_FAILURE() << why << "\n  document: " << doc;
    }
    EXPECT_EQ(disagreements, 0);
}

}  // namespace
}  // namespace qv::test
