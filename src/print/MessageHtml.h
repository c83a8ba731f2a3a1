#pragma once
// Filling the message page template: plain functions, no files and no widgets.
//
// The template carries six markers: %From%, %Name%, %Address%, %Subject%, %Date% and
// %Message%. All are replaced in one pass over the template, so a marker that appears inside
// a message's own text stays as written. Header fields and a plain-text body are HTML-escaped
// (a From such as "Ann <ann@example.com>" keeps its address); an HTML body goes in as it is.

#include "mail/MessageEntry.h"

#include <QString>

// A plain-text body as HTML: escaped, line breaks kept, long lines wrapped.
QString plainTextAsHtml(const QString &text);

// `pageTemplate` with every marker replaced, `body` for %Message%.
QString fillMessageTemplate(const QString &pageTemplate, const MessageEntry &entry, const QString &body);
