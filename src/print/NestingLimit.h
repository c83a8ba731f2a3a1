#pragma once
// A limit on how deep a message body's elements nest, applied before the body goes to the HTML
// parser (gumbo). That parser checks the whole stack of open elements at many start tags, so a
// body nested tens of thousands deep would hold the window for minutes. A quick scan takes out
// the tags nested deeper than any page needs (2,000), keeping their content. It follows start
// and end tags, comments and raw text much as the parser will; where the two read markup
// differently, the scan counts deeper, never shallower.

#include <QByteArray>

// `html` (UTF-8) without the tags nested deeper than the limit.
QByteArray withNestingLimit(const QByteArray &html);
