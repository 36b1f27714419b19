// Records what a parser reports as one text, so that two parsers can be compared.
#pragma once

#include <string>

#include "qvcommdb/xml_parser.h"

namespace qv::test {

// "<name a=v ...>" for a start, "</name>" for an end, "[text]" for each run of character
// data (adjacent runs joined).
struct EventLog {
    std::string events;
    std::string pending_text;
    void Flush() {
        if (!pending_text.empty()) events += "[" + pending_text + "]";
        pending_text.clear();
    }
    void Start(const char* name, const char** attributes) {
        Flush();
        events += std::string("<") + name;
        for (const char** a = attributes; a[0]; a += 2) events += std::string(" ") + a[0] + "=" + a[1];
        events += ">";
    }
    void End(const char* name) {
        Flush();
        events += std::string("</") + name + ">";
    }
    void Text(const char* s, int n) { pending_text.append(s, static_cast<size_t>(n)); }
};

// Our parser's verdict and events for a document.
inline bool ParseWithOurs(const std::string& doc, EventLog* log, xml::XmlError* error = nullptr) {
    auto parser = xml::XmlParser::Create("UTF-8");
    parser->SetUserData(log);
    parser->SetElementHandlers(
        [](void* u, const char* n, const char** a) { static_cast<EventLog*>(u)->Start(n, a); },
        [](void* u, const char* n) { static_cast<EventLog*>(u)->End(n); });
    parser->SetCharacterDataHandler([](void* u, const char* s, int n) { static_cast<EventLog*>(u)->Text(s, n); });
    const bool ok = parser->Parse(doc.data(), doc.size());
    log->Flush();
    if (error) *error = parser->error();
    return ok;
}

}  // namespace qv::test
