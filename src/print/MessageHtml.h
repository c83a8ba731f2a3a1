#pragma once
// Filling the message page template: plain functions, no files and no widgets.
//
// The template carries nine markers: %From%, %Name%, %Address%, %Subject%, %Date%, %To%, %Cc%,
// %Attachments% and %Message%. %To%, %Cc% and %Attachments% stand for a whole row of the header
// table (label and value), or for nothing when the message has no such entries. All are replaced in one pass over the template, so a marker that appears inside
// a message's own text stays as written. Header fields and a plain-text body are HTML-escaped
// (a From such as "Ann <ann@example.com>" keeps its address); the body goes in as given, made
// into markup by one of the two functions below.

#include "mail/MessageEntry.h"

#include <QString>

// A size as a reader takes it in: "512 bytes", "12 KB", "1.4 MB" (units of 1024, the same in
// every locale).
QString shownSize(qint64 bytes);

// A plain-text body as HTML: escaped, line breaks kept, long lines wrapped.
QString plainTextAsHtml(const QString &text);

// An HTML body as markup that stays inside its own box on the page: re-serialised (see
// BodyHtmlCleaner.h) into a shadow tree, two hosts deep, so that its style sheets style only
// itself (the inner host is all that its :host rules reach), and everything it draws or
// positions is clipped to the outer host, which nothing of the message can style. The outer host
// grows to the width of content that cannot wrap (a wide table), so that the page reports that
// width and printing can scale the page to fit.
QString isolatedHtmlBody(const QString &html);

// `pageTemplate` with every marker replaced, `body` for %Message%.
QString fillMessageTemplate(const QString &pageTemplate, const MessageEntry &entry, const QString &body);
