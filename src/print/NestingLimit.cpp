#include "print/NestingLimit.h"

#include <QHash>
#include <QList>

#include <vector>

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

class NestingLimiter {
public:
    static constexpr int kMaxScanDepth = 2000;

    QByteArray limited(const QByteArray &in)
    {
        m_lower = in.toLower();
        QByteArray out;
        out.reserve(in.size());
        qsizetype at = 0;
        while (at < in.size()) {
            const qsizetype open = in.indexOf('<', at);
            if (open < 0)
                break;
            out.append(in.constData() + at, open - at);
            at = tag(in, open, out);
        }
        out.append(in.constData() + at, in.size() - at);
        return out;
    }

private:
    struct Open {
        QByteArray name;
        bool removed;
    };

    static bool letter(char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }

    static QByteArray nameAt(const QByteArray &in, qsizetype from)
    {
        qsizetype end = from;
        while (end < in.size() && (letter(in[end]) || isDigit(in[end]) || in[end] == '-' || in[end] == ':'))
            ++end;
        return in.mid(from, end - from).toLower();
    }

    // Elements that never hold themselves or hold nothing: they add no depth.
    static bool flat(const QByteArray &name)
    {
        static const QList<QByteArray> names = {
            "area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "param", "source",
            "track", "wbr", "basefont", "bgsound", "frame", "keygen", "image", "p", "li", "dt", "dd", "tr",
            "td", "th", "option", "optgroup", "rb", "rt", "rp", "tbody", "thead", "tfoot", "colgroup",
            "html", "head", "body"};
        return names.contains(name);
    }

    // Elements whose text holds no tags. Inside <svg> and <math> none is: there, counting a
    // little too deep is safe, counting too shallow is not.
    bool rawText(const QByteArray &name) const
    {
        static const QList<QByteArray> names = {"script", "style", "xmp", "textarea", "title", "iframe",
                                                "noembed", "noframes"};
        return names.contains(name) && m_openByName.value("svg") == 0 && m_openByName.value("math") == 0;
    }

    // Handles the markup at `open` (a '<'); answers where the scan goes on.
    qsizetype tag(const QByteArray &in, qsizetype open, QByteArray &out)
    {
        if (in.mid(open, 4) == "<!--")
            return copyThrough(in, open, commentEnd(in, open), out);
        const bool endTag = open + 1 < in.size() && in[open + 1] == '/';
        const qsizetype nameFrom = open + (endTag ? 2 : 1);
        if (nameFrom >= in.size() || !letter(in[nameFrom]))
            return copyThrough(in, open, open + 1, out);
        const QByteArray name = nameAt(in, nameFrom);
        const qsizetype close = tagEnd(in, nameFrom);
        if (close < 0)
            return copyThrough(in, open, in.size(), out);
        if (name == "plaintext")
            return copyThrough(in, open, in.size(), out);
        const bool keep = endTag ? endTagKept(name) : startTagKept(name, in[close - 1] == '/');
        if (keep)
            out.append(in.constData() + open, close + 1 - open);
        if (endTag || !rawText(name))
            return close + 1;
        // Raw text runs to its end tag, which the scan handles next.
        const qsizetype textEnd = m_lower.indexOf("</" + name, close + 1);
        return copyThrough(in, close + 1, textEnd < 0 ? in.size() : textEnd, out);
    }

    // Where a comment ends as the parser sees it ("<!-->" and "--!>" included).
    static qsizetype commentEnd(const QByteArray &in, qsizetype open)
    {
        qsizetype end = in.size();
        for (const char *close : {"-->", "--!>"}) {
            const qsizetype at = in.indexOf(close, open + 2);
            if (at >= 0)
                end = qMin(end, at + qsizetype(qstrlen(close)));
        }
        return end;
    }

    // The '>' that ends the tag whose name starts at `from`, past any quoted attribute value
    // (which may hold '>' or another tag); -1 when the tag never ends.
    static qsizetype tagEnd(const QByteArray &in, qsizetype from)
    {
        bool afterEquals = false;
        for (qsizetype i = from; i < in.size(); ++i) {
            const char c = in[i];
            if (c == '>')
                return i;
            if ((c == '"' || c == '\'') && afterEquals) {
                i = in.indexOf(c, i + 1);
                if (i < 0)
                    return -1;
                afterEquals = false;
            } else if (c == '=') {
                afterEquals = true;
            } else if (c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\f') {
                afterEquals = false;
            }
        }
        return -1;
    }

    static qsizetype copyThrough(const QByteArray &in, qsizetype from, qsizetype to, QByteArray &out)
    {
        out.append(in.constData() + from, to - from);
        return to;
    }

    bool startTagKept(const QByteArray &name, bool selfClosing)
    {
        if (selfClosing || flat(name))
            return true;
        const bool removed = int(m_open.size()) >= kMaxScanDepth;
        m_open.push_back({name, removed});
        ++m_openByName[name];
        return !removed;
    }

    // An end tag closes the innermost open element of its name and those inside it; one with
    // nothing to close is left for the parser to ignore.
    bool endTagKept(const QByteArray &name)
    {
        if (m_openByName.value(name) == 0)
            return true;
        while (true) {
            const Open top = m_open.back();
            m_open.pop_back();
            --m_openByName[top.name];
            if (top.name == name)
                return !top.removed;
        }
    }

    QByteArray m_lower;
    std::vector<Open> m_open;
    QHash<QByteArray, int> m_openByName;
};

}  // namespace

QByteArray withNestingLimit(const QByteArray &html)
{
    return NestingLimiter().limited(html);
}
