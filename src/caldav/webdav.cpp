#include "caldav/webdav.h"

#include "caldav/engine.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <memory>

namespace wrenfold::caldav {
namespace {

constexpr int kMaxDepth = 64;

struct DocDeleter {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

struct ParserDeleter {
    void operator()(xmlParserCtxt* parser) const { xmlFreeParserCtxt(parser); }
};

std::string as_text(const xmlChar* text)
{
    return text ? reinterpret_cast<const char*>(text) : "";
}

std::string trimmed(const std::string& text)
{
    auto not_space = [](unsigned char c) { return !std::isspace(c); };
    auto begin = std::find_if(text.begin(), text.end(), not_space);
    auto end = std::find_if(text.rbegin(), text.rend(), not_space).base();
    return begin < end ? std::string(begin, end) : std::string();
}

bool is(const xmlNode* node, const char* ns, const char* name)
{
    return node->type == XML_ELEMENT_NODE && node->ns && as_text(node->ns->href) == ns && as_text(node->name) == name;
}

// The attribute's own text, without expanding any entity reference in it.
std::string attribute_text(const xmlAttr* attr)
{
    std::string text;
    for (const xmlNode* part = attr->children; part; part = part->next)
        if (part->type == XML_TEXT_NODE)
            text += as_text(part->content);
    return text;
}

// A document type is where entities are declared, and entities are how a
// small answer grows into gigabytes: a server answer has no use for either.
void refuse_document_type(void* context, const xmlChar*, const xmlChar*, const xmlChar*)
{
    auto* parser = static_cast<xmlParserCtxt*>(context);
    *static_cast<bool*>(parser->_private) = true;
    xmlStopParser(parser);
}

std::unique_ptr<xmlDoc, DocDeleter> read_untrusted_xml(const std::string& body)
{
    std::unique_ptr<xmlParserCtxt, ParserDeleter> parser(xmlNewParserCtxt());
    if (!parser)
        throw CalDavError("malformed server answer: out of memory");
    bool has_document_type = false;
    parser->_private = &has_document_type;
    parser->sax->internalSubset = refuse_document_type;
    parser->sax->externalSubset = refuse_document_type;
    // No network, no DTD loading, no entity substitution, and libxml2's own
    // limits on sizes and depth kept (no XML_PARSE_HUGE).
    std::unique_ptr<xmlDoc, DocDeleter> doc(
        xmlCtxtReadMemory(parser.get(), body.data(), static_cast<int>(body.size()), "multistatus.xml", nullptr,
                          XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    if (has_document_type)
        throw CalDavError("malformed server answer: a document type or entity declaration is not accepted");
    if (!doc)
        throw CalDavError("malformed server answer: not XML");
    return doc;
}

XmlElement copy_element(const xmlNode* node, int depth)
{
    if (depth > kMaxDepth)
        throw CalDavError("malformed server answer: XML nested too deeply");
    XmlElement element;
    element.ns = node->ns ? as_text(node->ns->href) : "";
    element.name = as_text(node->name);
    for (const xmlAttr* attr = node->properties; attr; attr = attr->next)
        element.attributes.emplace_back(as_text(attr->name), attribute_text(attr));
    for (const xmlNode* child = node->children; child; child = child->next) {
        if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE)
            element.text += as_text(child->content);
        else if (child->type == XML_ELEMENT_NODE)
            element.children.push_back(copy_element(child, depth + 1));
    }
    return element;
}

int status_code(const std::string& status_line)
{
    // The status line of a propstat or response (RFC 4918 §14.28): "HTTP/1.1 200 OK"
    auto space = status_line.find(' ');
    if (space == std::string::npos)
        return 0;
    int code = 0;
    if (std::sscanf(status_line.c_str() + space + 1, "%3d", &code) != 1)
        return 0;
    return code;
}

DavResponse read_response(const xmlNode* node)
{
    DavResponse response;
    response.status = 200;
    for (const xmlNode* child = node->children; child; child = child->next) {
        if (is(child, kDavNs, "href")) {
            if (response.href.empty())
                response.href = trimmed(copy_element(child, 0).text);
        } else if (is(child, kDavNs, "status")) {
            response.status = status_code(trimmed(copy_element(child, 0).text));
        } else if (is(child, kDavNs, "propstat")) {
            int propstat_status = 0;
            const xmlNode* prop = nullptr;
            for (const xmlNode* part = child->children; part; part = part->next) {
                if (is(part, kDavNs, "status"))
                    propstat_status = status_code(trimmed(copy_element(part, 0).text));
                if (is(part, kDavNs, "prop"))
                    prop = part;
            }
            if (propstat_status / 100 != 2 || !prop)
                continue;
            for (const xmlNode* p = prop->children; p; p = p->next)
                if (p->type == XML_ELEMENT_NODE)
                    response.props.push_back(copy_element(p, 1));
        }
    }
    return response;
}

}  // namespace

std::string escape_xml(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

const XmlElement* XmlElement::child(const char* child_ns, const char* child_name) const
{
    for (const auto& c : children)
        if (c.ns == child_ns && c.name == child_name)
            return &c;
    return nullptr;
}

std::string XmlElement::attribute(const char* local_name) const
{
    for (const auto& [key, value] : attributes)
        if (key == local_name)
            return value;
    return {};
}

std::vector<std::string> XmlElement::hrefs() const
{
    std::vector<std::string> out;
    for (const auto& c : children)
        if (c.ns == kDavNs && c.name == "href")
            out.push_back(trimmed(c.text));
    return out;
}

const XmlElement* DavResponse::prop(const char* prop_ns, const char* prop_name) const
{
    for (const auto& p : props)
        if (p.ns == prop_ns && p.name == prop_name)
            return &p;
    return nullptr;
}

std::vector<DavResponse> parse_multistatus(const std::string& body)
{
    static const bool parser_ready = [] {
        xmlInitParser();  // once, before any thread parses
        return true;
    }();
    (void)parser_ready;
    if (body.size() > INT_MAX)
        throw CalDavError("malformed server answer: too large");
    auto doc = read_untrusted_xml(body);
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    if (!root || !is(root, kDavNs, "multistatus"))
        throw CalDavError("malformed server answer: no multistatus");
    std::vector<DavResponse> responses;
    for (const xmlNode* child = root->children; child; child = child->next)
        if (is(child, kDavNs, "response"))
            responses.push_back(read_response(child));
    return responses;
}

std::string propfind_body(const std::vector<std::pair<const char*, const char*>>& props)
{
    std::string body = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                       "<d:propfind xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:caldav\" "
                       "xmlns:a=\"http://apple.com/ns/ical/\" xmlns:cs=\"http://calendarserver.org/ns/\"><d:prop>";
    for (const auto& [ns, name] : props) {
        std::string prefix = std::string(ns) == kDavNs ? "d"
            : std::string(ns) == kCalDavNs             ? "c"
            : std::string(ns) == kAppleNs              ? "a"
                                                       : "cs";
        body += "<" + prefix + ":" + name + "/>";
    }
    return body + "</d:prop></d:propfind>";
}

std::string calendar_query_body(const std::string& utc_start, const std::string& utc_end)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<c:calendar-query xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:caldav\">"
           "<d:prop><d:getetag/><c:calendar-data/></d:prop>"
           "<c:filter><c:comp-filter name=\"VCALENDAR\"><c:comp-filter name=\"VEVENT\">"
           "<c:time-range start=\"" +
        escape_xml(utc_start) + "\" end=\"" + escape_xml(utc_end) +
        "\"/>"
        "</c:comp-filter></c:comp-filter></c:filter></c:calendar-query>";
}

namespace {

std::string calendar_props(const std::optional<std::string>& name, const std::optional<std::string>& color)
{
    std::string props;
    if (name)
        props += "<d:displayname>" + escape_xml(*name) + "</d:displayname>";
    if (color)
        props += "<a:calendar-color>" + escape_xml(*color) + "</a:calendar-color>";
    return props;
}

const char* const kCalendarNamespaces = "xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:caldav\" "
                                        "xmlns:a=\"http://apple.com/ns/ical/\"";

}  // namespace

std::string mkcalendar_body(const std::string& name, const std::string& color)
{
    return std::string("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<c:mkcalendar ") + kCalendarNamespaces +
        "><d:set><d:prop>" + calendar_props(name, color.empty() ? std::nullopt : std::optional(color)) +
        "<c:supported-calendar-component-set><c:comp name=\"VEVENT\"/></c:supported-calendar-component-set>"
        "</d:prop></d:set></c:mkcalendar>";
}

std::string proppatch_calendar_body(const std::optional<std::string>& name, const std::optional<std::string>& color)
{
    return std::string("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<d:propertyupdate ") + kCalendarNamespaces +
        "><d:set><d:prop>" + calendar_props(name, color) + "</d:prop></d:set></d:propertyupdate>";
}

std::string caldav_utc_stamp(std::chrono::sys_seconds instant)
{
    auto day = std::chrono::floor<std::chrono::days>(instant);
    std::chrono::year_month_day ymd { day };
    std::chrono::hh_mm_ss hms { instant - day };
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02u%02uT%02d%02d%02dZ", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                  static_cast<int>(hms.hours().count()), static_cast<int>(hms.minutes().count()),
                  static_cast<int>(hms.seconds().count()));
    return text;
}

}  // namespace wrenfold::caldav
