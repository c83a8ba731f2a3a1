#include "print/BodyHtmlCleaner.h"

#include "print/NestingLimit.h"

#include <gumbo.h>

#include <string>
#include <vector>

namespace {

// Below the depth at which the view's own parser stops nesting (512), with room for the
// elements the page wraps the body in. Deeper elements keep their content but lose their tags.
constexpr int kMaxDepth = 400;

enum class Handling { Keep, Drop, Unwrap, AsPre };

Handling handlingOf(const GumboNode &node)
{
    const GumboElement &e = node.v.element;
    if (node.type == GUMBO_NODE_TEMPLATE || e.tag_namespace != GUMBO_NAMESPACE_HTML)
        return Handling::Drop;
    switch (e.tag) {
    case GUMBO_TAG_SCRIPT: case GUMBO_TAG_META: case GUMBO_TAG_BASE: case GUMBO_TAG_LINK:
    case GUMBO_TAG_TITLE: case GUMBO_TAG_IFRAME: case GUMBO_TAG_FRAME: case GUMBO_TAG_FRAMESET:
    case GUMBO_TAG_OBJECT: case GUMBO_TAG_EMBED: case GUMBO_TAG_APPLET: case GUMBO_TAG_NOEMBED:
    case GUMBO_TAG_NOFRAMES: case GUMBO_TAG_PARAM: case GUMBO_TAG_TEMPLATE: case GUMBO_TAG_SVG:
    case GUMBO_TAG_MATH:
        return Handling::Drop;
    case GUMBO_TAG_NOSCRIPT: case GUMBO_TAG_HTML: case GUMBO_TAG_HEAD: case GUMBO_TAG_BODY:
        return Handling::Unwrap;
    case GUMBO_TAG_PLAINTEXT: case GUMBO_TAG_XMP: case GUMBO_TAG_LISTING:
        return Handling::AsPre;
    default:
        return Handling::Keep;
    }
}

bool isVoid(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_AREA: case GUMBO_TAG_BR: case GUMBO_TAG_COL: case GUMBO_TAG_HR:
    case GUMBO_TAG_IMG: case GUMBO_TAG_INPUT: case GUMBO_TAG_SOURCE: case GUMBO_TAG_TRACK:
    case GUMBO_TAG_WBR: case GUMBO_TAG_BASEFONT: case GUMBO_TAG_BGSOUND: case GUMBO_TAG_KEYGEN:
        return true;
    default:
        return false;
    }
}

bool isLower(char c) { return c >= 'a' && c <= 'z'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Names made only of the characters markup names are written with; anything else could end
// the tag or the attribute list early when read back.
bool plainName(const std::string &name)
{
    if (name.empty() || !(isLower(name[0]) || name[0] == '_' || name[0] == ':'))
        return false;
    for (char c : name) {
        if (!(isLower(c) || isDigit(c) || c == '-' || c == '_' || c == ':' || c == '.'))
            return false;
    }
    return true;
}

std::string lowered(const char *data, size_t length)
{
    std::string s(data, length);
    for (char &c : s) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return s;
}

// The element's name, or empty when it cannot be written as a plain name.
std::string elementName(const GumboElement &e)
{
    if (e.tag != GUMBO_TAG_UNKNOWN)
        return gumbo_normalized_tagname(e.tag);
    GumboStringPiece piece = e.original_tag;
    if (piece.data == nullptr || piece.length < 2)
        return {};
    gumbo_tag_from_original_text(&piece);
    const std::string name = lowered(piece.data, piece.length);
    return plainName(name) ? name : std::string();
}

// Text and attribute values alike: with < and > escaped too, no end tag can appear in either,
// whatever context the view's parser reads them in.
void appendEscaped(std::string &out, const char *text)
{
    for (const char *c = text; *c; ++c) {
        switch (*c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += *c;
        }
    }
}

// A style sheet is raw text: entities mean nothing there, so "</" is broken with a CSS escape
// instead, which leaves the sheet's meaning unchanged.
void appendStyleText(std::string &out, const char *text)
{
    for (const char *c = text; *c; ++c) {
        out += *c;
        if (*c == '<' && c[1] == '/')
            out += '\\';
    }
}

bool keptAttribute(const std::string &name)
{
    return plainName(name) && name.compare(0, 2, "on") != 0;
}

void appendAttributes(std::string &out, const GumboVector &attributes)
{
    for (unsigned i = 0; i < attributes.length; ++i) {
        const auto *a = static_cast<const GumboAttribute *>(attributes.data[i]);
        const std::string name = lowered(a->name, std::char_traits<char>::length(a->name));
        if (!keptAttribute(name))
            continue;
        out += ' ';
        out += name;
        out += "=\"";
        appendEscaped(out, a->value);
        out += '"';
    }
}

class Writer {
public:
    explicit Writer(std::string &out) : m_out(out) {}

    // Writes the children of `parent` and everything below them; `styleText`: they are the
    // text of a style sheet.
    void writeChildren(const GumboNode &parent, bool styleText = false)
    {
        push(parent, std::string(), styleText, 0);
        while (!m_stack.empty()) {
            Frame &top = m_stack.back();
            if (top.next == top.children->length) {
                m_out += top.close;
                m_stack.pop_back();
                continue;
            }
            const auto *child = static_cast<const GumboNode *>(top.children->data[top.next++]);
            writeNode(*child, top.styleText, top.depth);
        }
    }

private:
    struct Frame {
        const GumboVector *children;
        unsigned next;
        std::string close;
        bool styleText;
        int depth;
    };

    void push(const GumboNode &node, std::string close, bool styleText, int depth)
    {
        m_stack.push_back({&node.v.element.children, 0, std::move(close), styleText, depth});
    }

    void writeNode(const GumboNode &node, bool styleText, int depth)
    {
        switch (node.type) {
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_WHITESPACE:
        case GUMBO_NODE_CDATA:
            if (styleText)
                appendStyleText(m_out, node.v.text.text);
            else
                appendEscaped(m_out, node.v.text.text);
            return;
        case GUMBO_NODE_ELEMENT:
        case GUMBO_NODE_TEMPLATE:
            writeElement(node, depth);
            return;
        default:
            return;  // comments, and the document node that never appears below the root
        }
    }

    void writeElement(const GumboNode &node, int depth)
    {
        const GumboElement &e = node.v.element;
        Handling handling = handlingOf(node);
        if (handling == Handling::Drop)
            return;
        const std::string name = handling == Handling::AsPre ? std::string("pre") : elementName(e);
        if (handling == Handling::Keep && (name.empty() || depth >= kMaxDepth))
            handling = Handling::Unwrap;
        if (handling == Handling::Unwrap) {
            push(node, std::string(), false, depth);
            return;
        }
        m_out += '<';
        m_out += name;
        if (handling == Handling::Keep)
            appendAttributes(m_out, e.attributes);
        m_out += '>';
        if (isVoid(e.tag))
            return;
        // The parser drops one line break right after these start tags; a text that begins
        // with one keeps it this way.
        if (name == "pre" || name == "textarea")
            m_out += '\n';
        push(node, "</" + name + '>', e.tag == GUMBO_TAG_STYLE, depth + 1);
    }

    std::string &m_out;
    std::vector<Frame> m_stack;
};

const GumboNode *childElement(const GumboNode &parent, GumboTag tag)
{
    const GumboVector &children = parent.v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        const auto *child = static_cast<const GumboNode *>(children.data[i]);
        if (child->type == GUMBO_NODE_ELEMENT && child->v.element.tag == tag)
            return child;
    }
    return nullptr;
}

void writeHeadStyles(std::string &out, const GumboNode &head)
{
    const GumboVector &children = head.v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        const auto *child = static_cast<const GumboNode *>(children.data[i]);
        if (child->type != GUMBO_NODE_ELEMENT || child->v.element.tag != GUMBO_TAG_STYLE)
            continue;
        out += "<style>";
        Writer(out).writeChildren(*child, true);
        out += "</style>";
    }
}

// Style sheets written for the page's <body> find no body inside the wrapper; the colours the
// body element sets as attributes go onto the wrapper as style.
void appendBodyColours(std::string &out, const GumboElement &body)
{
    std::string style;
    for (unsigned i = 0; i < body.attributes.length; ++i) {
        const auto *a = static_cast<const GumboAttribute *>(body.attributes.data[i]);
        const std::string name = lowered(a->name, std::char_traits<char>::length(a->name));
        const char *property = name == "bgcolor" ? "background-color" : name == "text" ? "color" : nullptr;
        if (property == nullptr)
            continue;
        std::string value(a->value);
        bool plain = !value.empty();
        for (char c : value)
            plain = plain && (isLower(c | 0x20) || isDigit(c) || c == '#');
        if (plain)
            style += std::string(property) + ':' + value + ';';
    }
    if (!style.empty())
        out += " style=\"" + style + '"';
}

void writeBody(std::string &out, const GumboNode &body)
{
    out += "<div";
    std::string attributes;
    appendAttributes(attributes, body.v.element.attributes);
    // A body with a style attribute of its own keeps that one instead.
    if (attributes.find(" style=\"") == std::string::npos)
        appendBodyColours(out, body.v.element);
    out += attributes;
    out += '>';
    Writer(out).writeChildren(body);
    out += "</div>";
}

}  // namespace

QString cleanBodyHtml(const QString &html)
{
    const QByteArray utf8 = withNestingLimit(html.toUtf8());
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0;  // the errors are not read; keeping them costs time
    GumboOutput *parsed = gumbo_parse_with_options(&options, utf8.constData(), size_t(utf8.size()));
    std::string out;
    out.reserve(size_t(utf8.size()) + 256);
    if (const GumboNode *head = childElement(*parsed->root, GUMBO_TAG_HEAD))
        writeHeadStyles(out, *head);
    if (const GumboNode *body = childElement(*parsed->root, GUMBO_TAG_BODY))
        writeBody(out, *body);
    gumbo_destroy_output(&options, parsed);
    return QString::fromStdString(out);
}
